// Routines on keys as plain byte strings: comparison, stepping by one, filling a tail.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarnel {

// Unsigned byte comparison up to the first difference; negated when `reversed`.
inline int CompareBytes(const uint8_t* a, const uint8_t* b, int length, bool reversed) {
  if (length <= 0) return 0;
  int result = std::memcmp(a, b, static_cast<size_t>(length));
  result = result < 0 ? -1 : (result > 0 ? 1 : 0);
  return reversed ? -result : result;
}

// The key as one big-endian number of `length` bytes, plus or minus one; all 0xFF stays all
// 0xFF, all zero stays all zero.
void IncrementKey(uint8_t* key, int length);
void DecrementKey(uint8_t* key, int length);

// Bytes from..keyLength-1 become `value`.
inline void FillKeyTail(uint8_t* key, int from, int keyLength, uint8_t value) {
  if (from < keyLength) std::memset(key + from, value, static_cast<size_t>(keyLength - from));
}

}  // namespace tarnel
