// Building the keys of a record for the table's indexes.
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/index/key_encoding.h"
#include "engine/table/data_file.h"

namespace tarnel {

void TDataFile::BuildKey(const uint8_t* image, uint8_t number, uint8_t* key) const {
  if (number == kSysDeletedIndex) {
    BuildStatusKey(image, key);
    return;
  }
  const TIndexDescriptor& index = FIndexFile->GetDescriptor(number);
  std::memset(key, 0, index.KeyLength);
  TKeyLanguage language{FHeader.LanguageId, FHeader.SortId};
  uint8_t value[256];
  int position = 0;
  for (int i = 0; i < index.FieldCount; ++i) {
    const TFieldDesc& field = GetFieldDesc(false, index.FieldNumbers[static_cast<size_t>(i)]);
    if (position + field.PhysSize + 1 > index.KeyLength) break;
    bool isNull = GetField(false, field.FieldNo, image, value);
    bool invert = !index.Descending && index.FieldDescending[static_cast<size_t>(i)] != 0;
    EncodeKeyField(field, isNull ? nullptr : value, invert, index.CaseInsensitive, language, key + position);
    position += field.PhysSize + 1;
  }
  bool suffix = number != kPrimaryIndex && !index.Unique;
  if (suffix) EncodeKeyInteger(GetI32(image + kRecordId), key + index.KeyLength - kKeySuffixLength);
}

void TDataFile::BuildStatusKey(const uint8_t* image, uint8_t* key) const {
  key[0] = image[kRecordDeleted];
  EncodeKeyInteger(GetI32(image + kRecordId), key + 1);
}

}  // namespace tarnel
