// The validity checks of a Paradox table, kept in its .VAL file: per field whether a value is
// required, and its minimum, maximum and default values in the field's own encoding, besides
// pictures, lookup tables and referential integrity (which the transfer does not carry over).
//
// File layout: a 0x35-byte header (byte 2: number of checks; bytes 9-12: offset of the field
// list at the end), then one entry per check: the field's 0-based position, the picture's
// length, the required flag, lookup flags, then 4-byte markers at +4 (lookup table), +12
// (minimum), +16 (maximum), +20 (default) and +24 (picture), each non-zero when that part is
// given; after the 28 fixed bytes come the given parts in that order: an 80-byte lookup table
// reference, the minimum, maximum and default values (as many bytes as the field takes in a
// record), and the zero-terminated picture.
#pragma once

#include <string>
#include <vector>

#include "platform/legacydb/paradox_format.h"
#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

std::vector<TValidityCheck> ReadParadoxValidityChecks(const std::string& path,
                                                      const std::vector<TParadoxFieldInfo>& fields);

}  // namespace tarnel::legacydb
