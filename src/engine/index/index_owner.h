// What an index file asks of its table beyond the common table context: the definitions of the
// fields its keys are made of and the table's language, which orders the string parts of keys.
#pragma once

#include <cstdint>

#include "engine/base/field_desc.h"
#include "engine/base/table_context.h"

namespace tarnel {

class TIndexOwner : public TTableContext {
 public:
  // The stored definition of field `fieldNo` (1-based), or nullptr when there is none.
  virtual const TFieldDesc* StoredField(uint16_t fieldNo) const = 0;
  virtual uint16_t LanguageId() const = 0;
  virtual uint16_t SortId() const = 0;
};

}  // namespace tarnel
