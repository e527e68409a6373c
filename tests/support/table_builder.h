// Small builders for table definitions in tests.
#pragma once

#include <initializer_list>
#include <string>

#include "engine/base/field_desc.h"
#include "engine/index/index_header.h"
#include "engine/table/table_definition.h"

namespace tarnel::test {

inline TFieldDesc Field(uint16_t fieldNo, const std::string& name, uint8_t type, uint8_t size = 0,
                        uint8_t subType = stNone, uint8_t decimals = 0) {
  TFieldDesc field;
  field.FieldNo = fieldNo;
  field.FieldName = name;
  field.FieldType = type;
  field.FieldSize = size;
  field.SubType = subType;
  field.Decimals = decimals;
  return field;
}

struct TIndexOptions {
  bool Unique = false;
  bool CaseInsensitive = false;
  bool Descending = false;
  uint8_t Compression = cmNone;
};

inline TIndexDescriptor Index(const std::string& name, std::initializer_list<uint16_t> fields,
                              TIndexOptions options = {}) {
  TIndexDescriptor index;
  index.IndexName = name;
  index.Unique = options.Unique;
  index.CaseInsensitive = options.CaseInsensitive;
  index.Descending = options.Descending;
  index.Compression = options.Compression;
  size_t i = 0;
  for (uint16_t field : fields) index.FieldNumbers[i++] = field;
  index.FieldCount = static_cast<uint8_t>(fields.size());
  return index;
}

// A definition with the given fields, a primary index on `primary` (none when empty) and no
// secondary indexes.
inline TTableDefinition Definition(std::initializer_list<TFieldDesc> fields,
                                   std::initializer_list<uint16_t> primary) {
  TTableDefinition definition;
  definition.Fields = fields;
  definition.Indexes.push_back(Index("", primary));
  definition.AllowNoPrimaryIndex = primary.size() == 0;
  return definition;
}

}  // namespace tarnel::test
