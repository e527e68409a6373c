#include "engine/index/collation.h"

#include <cstring>

namespace tarnel {

namespace {

int TextLength(const uint8_t* text, int length) {
  const void* zero = std::memchr(text, 0, static_cast<size_t>(length));
  return zero == nullptr ? length : static_cast<int>(static_cast<const uint8_t*>(zero) - text);
}

}  // namespace

int CompareCollated(uint16_t languageId, uint16_t sortId, const uint8_t* a, int lengthA,
                    const uint8_t* b, int lengthB) {
  (void)languageId;
  (void)sortId;
  int na = TextLength(a, lengthA);
  int nb = TextLength(b, lengthB);
  int result = std::memcmp(a, b, static_cast<size_t>(na < nb ? na : nb));
  if (result == 0) result = na - nb;
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int MapKeyText(uint16_t languageId, uint16_t sortId, bool upperCase, const uint8_t* text, int length,
               uint8_t* out) {
  (void)languageId;
  (void)sortId;
  int n = TextLength(text, length);
  for (int i = 0; i < n; ++i) {
    uint8_t c = text[i];
    out[i] = upperCase && c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
  }
  return n;
}

}  // namespace tarnel
