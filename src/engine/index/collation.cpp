#include "engine/index/collation.h"

#include <cstring>

#include "platform/locale/case_mapping.h"
#include "platform/locale/collation.h"
#include "platform/locale/language_table.h"

namespace tarnel {

namespace {

int TextLength(const uint8_t* text, int length) {
  const void* zero = std::memchr(text, 0, static_cast<size_t>(length));
  return zero == nullptr ? length : static_cast<int>(static_cast<const uint8_t*>(zero) - text);
}

}  // namespace

int CompareCollated(uint16_t languageId, uint16_t sortId, const uint8_t* a, int lengthA,
                    const uint8_t* b, int lengthB) {
  return locale::CompareString(locale::MakeLcid(languageId, sortId), locale::kSortStringSort,
                               reinterpret_cast<const char*>(a), TextLength(a, lengthA),
                               reinterpret_cast<const char*>(b), TextLength(b, lengthB));
}

int MapKeyText(uint16_t languageId, uint16_t sortId, bool upperCase, const uint8_t* text, int length,
               uint8_t* out) {
  int n = TextLength(text, length);
  if (n == 0) return 0;
  uint32_t flags = locale::kLcmapHalfWidth | (upperCase ? locale::kLcmapUpperCase : 0);
  if (languageId == 0 && !upperCase) {
    std::memcpy(out, text, static_cast<size_t>(n));
    return n;
  }
  return locale::LCMapString(locale::MakeLcid(languageId, sortId), flags, reinterpret_cast<const char*>(text), n,
                             reinterpret_cast<char*>(out), n);
}

}  // namespace tarnel
