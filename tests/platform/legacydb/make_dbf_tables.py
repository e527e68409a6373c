"""Writes the self-made dBase tables of dbase_table_test.cpp into the folder given, with
python3-dbf: a dBase III table with a memo file and a Visual FoxPro table with its binary
types, nullable fields and a memo file."""
import datetime
import os
import sys

import dbf


def write(path, fields, kind, rows, codepage=None):
    table = dbf.Table(path, fields, dbf_type=kind, codepage=codepage)
    table.open(dbf.READ_WRITE)
    for row in rows:
        table.append(row)
    table.close()


def main():
    folder = sys.argv[1]
    write(os.path.join(folder, "MEMO3.DBF"), "NAME C(12); AMOUNT N(9,2); BIG N(14,0); SMALL N(4,0); "
          "WHEN D; OK L; NOTE M", "db3", [
              ("Ann", 1.25, 123456789012, -999, datetime.date(2020, 1, 31), True, "short"),
              ("M\u00fcller", -0.5, 0, 7, datetime.date(1900, 2, 28), False, "line\r\n" * 300),
              ("", None, None, None, None, None, ""),
          ], codepage="cp437")
    write(os.path.join(folder, "VFP.DBF"), "NAME C(10) null; QTY I; PRICE Y; STAMP T; RATIO B; "
          "NOTE M; BORN D null", "vfp", [
              ("Ann", 3, 12.5, datetime.datetime(2001, 2, 3, 4, 5, 6), 0.25, "memo text",
               datetime.date(1999, 1, 2)),
              (None, -7, -0.0001, None, -1.5, "", None),
          ])


if __name__ == "__main__":
    main()
