// Comparing two keys of an index: as unsigned bytes, reversed for a descending index, and with
// the string parts compared in the table's language when it has one.
#include "engine/base/field_desc.h"
#include "engine/index/collation.h"
#include "engine/index/index_file.h"
#include "engine/index/key.h"

namespace tarnel {

int TIndexFile::CompareKeys(const uint8_t* key1, const uint8_t* key2, int length) const {
  return CompareKeys(key1, key2, FCurrent, FCurrentIndex, length);
}

int TIndexFile::CompareKeys(const uint8_t* key1, const uint8_t* key2, const TIndexDescriptor& index,
                            uint8_t indexNo, int length) const {
  bool descending = index.Descending;
  uint16_t languageId = FOwner.LanguageId();
  if (indexNo == kSysDeletedIndex || languageId == 0) {
    return CompareBytes(key1, key2, length, descending);
  }
  int flag = 0;   // position of the current field's flag byte
  int begin = 0;  // first byte not compared yet
  for (int i = 0; i < index.FieldCount && flag < length; ++i) {
    const TFieldDesc* field = FOwner.StoredField(index.FieldNumbers[static_cast<size_t>(i)]);
    if (field == nullptr) break;
    int physSize = field->PhysSize;
    if (field->FieldType == dtString) {
      int result = CompareBytes(key1 + begin, key2 + begin, flag - begin + 1, descending);
      if (result != 0) return result;
      begin = flag + 1;
      int count = physSize < length - begin ? physSize : length - begin;
      if (count > 0) {
        bool inverted = !descending && index.FieldDescending[static_cast<size_t>(i)] != 0;
        if (inverted) {
          // A field sorting descending holds its text inverted; the language orders the text
          // itself, and the order is then turned round.
          // Only the first PhysSize - 1 bytes are inverted; the last is the terminating zero.
          int n = count < physSize ? count : physSize - 1;
          uint8_t a[256];
          uint8_t b[256];
          for (int k = 0; k < n; ++k) {
            a[k] = static_cast<uint8_t>(~key1[begin + k]);
            b[k] = static_cast<uint8_t>(~key2[begin + k]);
          }
          int order = CompareCollated(languageId, FOwner.SortId(), a, n, b, n);
          if (order != 0) return -order;
        } else {
          int order = CompareCollated(languageId, FOwner.SortId(), key1 + begin, count, key2 + begin, count);
          if (order != 0) return order;
        }
      }
      begin += physSize;
    }
    flag += physSize + 1;
  }
  if (begin < length) return CompareBytes(key1 + begin, key2 + begin, length - begin, descending);
  return 0;
}

}  // namespace tarnel
