// The index definitions of a dBase IV and later multiple-index file (.MDX): one tag per index,
// each with its name, key expression, unique and descending options and an optional FOR
// condition. The file is made of 512-byte pages; the tag table starts at byte 544 with 32 bytes
// per tag (the page of the tag's header, then its name), and each tag header holds the key
// options at byte 8, the key expression from byte 24, the FOR flag at byte 245 and the FOR
// condition from byte 762.
#pragma once

#include <string>
#include <vector>

#include "platform/legacydb/source_table.h"

namespace tarnel::legacydb {

// `fields` are the table's fields: a key expression that is just a field name becomes that
// field's index, any other expression an ixExpression index.
std::vector<TSourceIndex> ReadMdxIndexes(const std::string& path, const std::vector<TSourceField>& fields);

// The index definition of a dBase III single-index file (.NDX): the file's base name, its key
// expression (from byte 24) and unique byte (23).
TSourceIndex ReadNdxIndex(const std::string& path, const std::vector<TSourceField>& fields);

}  // namespace tarnel::legacydb
