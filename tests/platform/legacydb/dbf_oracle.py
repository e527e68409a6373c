"""Prints a dBase table as python3-dbfread reads it, one line per live record, in the tokens
dbase_table_test.cpp compares with: "-" null, "s:" hex of a text (in UTF-8, or in the
encoding given), "i:" integer,
"f:" float, "b:" logical, "d:" date, "t:" date and time with milliseconds, "x:" hex of bytes.
The first line is "encoding <name> records <count>", the count -1 when the texts do not
decode. A second argument names the encoding to
decode texts with instead of the table's own; "latin-1" gives the stored bytes."""
import datetime
import decimal
import sys

import dbfread


def token(value, encoding):
    if value is None:
        return "-"
    if isinstance(value, bool):
        return "b:%d" % value
    if isinstance(value, int):
        return "i:%d" % value
    if isinstance(value, (float, decimal.Decimal)):
        return "f:%r" % float(value)
    if isinstance(value, datetime.datetime):
        return "t:" + value.strftime("%Y-%m-%dT%H:%M:%S.") + "%03d" % (value.microsecond // 1000)
    if isinstance(value, datetime.date):
        return "d:" + value.isoformat()
    if isinstance(value, str):
        return "s:" + value.encode(encoding).hex()
    if isinstance(value, (bytes, bytearray)):
        return "x:" + bytes(value).hex()
    return "?" + type(value).__name__


def main():
    encoding = sys.argv[2] if len(sys.argv) > 2 else None
    # Records as lists: a table may name two fields alike.
    try:
        table = dbfread.DBF(sys.argv[1], load=False, encoding=encoding, char_decode_errors="strict",
                            recfactory=lambda items: [value for _, value in items])
        records = list(table)
    except UnicodeDecodeError as error:
        print("encoding %s records -1" % error.encoding)
        return
    # Visual FoxPro's hidden null flags are no field of the table.
    shown = [i for i, field in enumerate(table.fields) if field.type != "0"]
    print("encoding %s records %d" % (table.encoding, len(records)))
    for record in records:
        print("\t".join(token(record[i], encoding or "utf-8") for i in shown))


if __name__ == "__main__":
    main()
