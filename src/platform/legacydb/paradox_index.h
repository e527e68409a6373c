// The index definitions of a Paradox table: the primary key that the table header declares
// (checked against the .PX file when there is one) and the secondary indexes, one .Xnn file per
// single-field index (nn = the field number in hex) and one .XGn file per composite or named
// index. The .Ynn and .YGn files only hold the upper levels of those indexes' trees.
#pragma once

#include <string>
#include <vector>

#include "platform/legacydb/paradox_format.h"
#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

// `baseName` is the table's file name without its extension.
std::vector<TSourceIndex> ReadParadoxIndexes(const std::string& directory, const std::string& baseName,
                                             const TParadoxHeader& table);

}  // namespace tarnel::legacydb
