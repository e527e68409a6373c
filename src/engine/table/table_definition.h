// Everything a new table is created from: its locale, its indexes (the first is the primary
// index), its fields, its BLOB block size, description, password and version numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/field_desc.h"
#include "engine/index/index_header.h"

namespace tarnel {

struct TTableDefinition {
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
  // The primary index definition may name no fields; the table is then kept in record-number
  // order.
  bool AllowNoPrimaryIndex = false;
  std::vector<TIndexDescriptor> Indexes;  // [0] the primary index, then the secondary indexes
  std::vector<TFieldDesc> Fields;         // in field-number order
  uint16_t BlobBlockSize = 512;
  std::string Description;
  std::string Password;
  bool Encrypted = false;
  uint16_t UserMinorVersion = 0;
  uint16_t UserMajorVersion = 1;
};

}  // namespace tarnel
