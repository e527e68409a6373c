// The repair of a table from its records. What the records hold is kept; what the files derive
// from them is rebuilt: every index and "Sys Deleted" from the live records, the free list of
// deleted records, the BLOB free list from the blocks no chain uses, and the counts in the three
// headers. Damage inside a record is corrected where the record still says what it meant (a
// Deleted or null byte other than 0 or 1, a text without its terminator, a BCD value stored at
// another scale, an identifier used twice); a BLOB chain is cut where it stops being sound, and a
// BLOB field whose reference leads nowhere becomes null. Every correction is reported through
// the table's OnRepairMessage, in the engine's own words where it has them.
//
// REQUIRES: the table is open Exclusive with RepairMode set, and `found` is what CheckTable
// reported for it. A repair that is interrupted can be run again: it starts from the records.
#pragma once

#include <vector>

#include "engine/table/table_check.h"

namespace tarnel {

struct TRepairReport {
  int Corrections = 0;
  // What could not be repaired: a record whose key in the primary or a unique index duplicates
  // another record's (it stays out of that index), a BCD value that cannot be read at its
  // field's scale, index definitions that are themselves damaged.
  std::vector<TTableProblem> Unrepaired;
};

TRepairReport RepairTable(TDataFile& table, const TTableCheckReport& found);

}  // namespace tarnel
