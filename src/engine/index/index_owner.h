// What an index file asks of its table beyond the common table context: the definitions of the
// fields its keys are made of, the table's language, and, for ranges and filters, the record
// slots, keys built from records and the test of a record against a condition.
#pragma once

#include <cstdint>
#include <string>

#include "engine/base/field_desc.h"
#include "engine/base/table_context.h"

namespace tarnel {

class TBitmap;
struct TExpressionNode;

class TIndexOwner : public TTableContext {
 public:
  // The stored definition of field `fieldNo` (1-based), or nullptr when there is none.
  virtual const TFieldDesc* StoredField(uint16_t fieldNo) const = 0;
  // The stored field of that name (case-insensitive), or nullptr.
  virtual const TFieldDesc* FieldByName(const std::string& name) const = 0;
  virtual uint16_t LanguageId() const = 0;
  virtual uint16_t SortId() const = 0;
  // Record slots 1 to NextRecordNo - 1.
  virtual int32_t RecordSlotCount() const = 0;
  virtual void BuildKey(const uint8_t* image, uint8_t number, uint8_t* key) const = 0;
  // Sets the bit of every slot whose record is not deleted. False when another program's change
  // was detected meanwhile (the caller restarts).
  virtual bool MarkLiveSlots(TBitmap& live) = 0;
  // The image of record `recordNo` for a filter's test, valid until the next call; nullptr when
  // another program's change was detected (the caller restarts). A read from the file reads ahead
  // no further than record `lastWanted`, the last one the caller is going to test nearby.
  virtual const uint8_t* FilterRecord(int32_t recordNo, int32_t lastWanted) = 0;
  // Whether the record satisfies the condition, evaluated in the table's language.
  virtual bool RecordPasses(const TExpressionNode& condition, const uint8_t* image) = 0;
  // How many records one read ahead takes at most.
  virtual int ReadAheadCount() const = 0;
  // The table is a source table of an SQL statement (not its result table).
  virtual bool IsSqlSource() const = 0;
};

}  // namespace tarnel
