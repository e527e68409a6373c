// The table's side of its filters: records handed to the filters' tests and the live slots of
// a table without a slot-status index.
#include <strings.h>

#include <cstring>

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

const uint8_t* TDataFile::FilterRecord(int32_t recordNo) {
  TRecord* record = GetRecordBuffer(recordNo, true, 1, false);
  if (record == nullptr) return nullptr;
  FFilterImage.assign(record->Buffer.begin(), record->Buffer.end());
  record->Unpin();
  return FFilterImage.data();
}

bool TDataFile::MarkLiveSlots(TBitmap& live) {
  int32_t slots = RecordSlotCount();
  for (int32_t n = 1; n <= slots; ++n) {
    const uint8_t* image = FilterRecord(n);
    if (image == nullptr) return false;
    if (image[kRecordDeleted] == 0) live.Set(n);
  }
  return true;
}

bool TDataFile::RecordPasses(const TExpressionNode& condition, const uint8_t* image) {
  (void)condition;
  (void)image;
  return true;
}

}  // namespace tarnel
