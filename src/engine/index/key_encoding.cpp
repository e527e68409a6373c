#include "engine/index/key_encoding.h"

#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/index/collation.h"

namespace tarnel {

namespace {

void BigEndian(uint64_t value, int bytes, uint8_t* out) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

}  // namespace

void EncodeKeyInteger(int32_t value, uint8_t* destination) {
  BigEndian(static_cast<uint32_t>(value) ^ 0x80000000u, 4, destination);
}

void EncodeKeyField(const TFieldDesc& field, const uint8_t* value, bool invert, bool caseInsensitive,
                    const TKeyLanguage& language, uint8_t* destination) {
  uint8_t* out = destination + 1;
  int size = field.PhysSize;
  destination[0] = value == nullptr ? 0 : 1;
  if (value != nullptr) {
    switch (field.FieldType) {
      case dtString:
        if (language.LanguageId != 0 || caseInsensitive) {
          MapKeyText(language.LanguageId, language.SortId, caseInsensitive, value, size, out);
        } else {
          size_t length = strnlen(reinterpret_cast<const char*>(value), static_cast<size_t>(size));
          std::memcpy(out, value, length);
        }
        break;
      case dtDate:
      case dtInteger:
      case dtTime:
        EncodeKeyInteger(GetI32(value), out);
        break;
      case dtSmallInt:
        BigEndian(static_cast<uint16_t>(GetU16(value) ^ 0x8000u), 2, out);
        break;
      case dtBoolean:
      case dtWord:
        BigEndian(GetU16(value), 2, out);
        break;
      case dtFloat:
      case dtTimeStamp: {
        uint64_t bits = GetU64(value);
        double number = GetF64(value);
        // Zero of either sign is one key; negative numbers have every bit inverted.
        bool negative = (bits >> 63) != 0 && number != 0.0;
        if (number == 0.0) bits = 0;
        BigEndian(negative ? ~bits : bits | (uint64_t{1} << 63), 8, out);
        break;
      }
      case dtBCD:
        BigEndian(GetU64(value) ^ (uint64_t{1} << 63), 8, out);
        break;
      default:
        std::memcpy(out, value, static_cast<size_t>(size));
        break;
    }
  }
  if (invert) {
    int inverted = field.FieldType == dtString ? size : size + 1;
    for (int i = 0; i < inverted; ++i) destination[i] = static_cast<uint8_t>(~destination[i]);
  }
}

}  // namespace tarnel
