// The table's side of its filters: records handed to the filters' tests and the live slots of
// a table without a slot-status index.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "engine/expr/evaluate.h"
#include "engine/index/bitmap.h"
#include "engine/table/data_file.h"

namespace tarnel {

const TFieldDesc* TDataFile::FieldByName(const std::string& name) const {
  for (const TFieldDesc& field : FStoredFields) {
    if (field.FieldName.size() == name.size() && ::strcasecmp(field.FieldName.c_str(), name.c_str()) == 0) {
      return &field;
    }
  }
  return nullptr;
}

const uint8_t* TDataFile::FilterRecord(int32_t recordNo, int32_t lastWanted) {
  TRecord* record = GetRecordBuffer(recordNo, true, 1, false, std::max(lastWanted - recordNo + 1, 1));
  if (record == nullptr) return nullptr;
  FFilterImage.assign(record->Buffer.begin(), record->Buffer.end());
  record->Unpin();
  return FFilterImage.data();
}

bool TDataFile::MarkLiveSlots(TBitmap& live) {
  int32_t slots = RecordSlotCount();
  for (int32_t n = 1; n <= slots; ++n) {
    const uint8_t* image = FilterRecord(n, slots);
    if (image == nullptr) return false;
    if (image[kRecordDeleted] == 0) live.Set(n);
  }
  return true;
}

void TDataFile::FetchColumn(const TExpressionNode& column, const void* record, TExpressionValue& value) const {
  uint8_t bytes[256];
  value.IsNull = GetField(true, column.FieldNo, static_cast<const uint8_t*>(record), bytes);
  const TFieldDesc& field = GetFieldDesc(true, column.FieldNo);
  value.Value.fill(0);
  std::memcpy(value.Value.data(), bytes, std::min<size_t>(field.PhysSize, kValueSize));
}

bool TDataFile::RecordPasses(const TExpressionNode& condition, const uint8_t* image) {
  ++FRecordsTested;
  return IsTrue(EvaluateExpression(condition, image, FHeader.LanguageId, FHeader.SortId, &FFetchColumn));
}

}  // namespace tarnel
