// Locale case mapping and half-width folding of byte strings, as table keys (case-insensitive
// indexes) and the UPPER and LOWER functions use them: per character in the locale's code page,
// never making a text longer, or ASCII letters only for language 0 (no locale).
#pragma once

#include <cstdint>

namespace tarnel::locale {

constexpr uint32_t kLcmapLowerCase = 0x00000100;
constexpr uint32_t kLcmapUpperCase = 0x00000200;
constexpr uint32_t kLcmapHalfWidth = 0x00400000;

// Maps `length` bytes at `source` into `destination` (room for `capacity` >= `length` bytes; it
// may be `source` itself) and returns the mapped length, never more than `length`.
// - Language 0: kLcmapUpperCase changes a-z to A-Z, kLcmapLowerCase A-Z to a-z; no other byte
//   changes and kLcmapHalfWidth does nothing.
// - Otherwise each character is mapped: kLcmapHalfWidth folds full-width forms (Latin letters,
//   digits and signs, the ideographic space, katakana, Hangul letters) to half-width ones, then
//   the case changes (Turkish: i and İ, ı and I). A character whose mapping the code page cannot
//   hold in as many bytes as the original, or fewer, keeps its bytes.
// A locale that is not installed, upper and lower case together, another flag or too small a
// capacity raise ELocaleError.
int LCMapString(uint32_t lcid, uint32_t flags, const char* source, int length, char* destination,
                int capacity);

}  // namespace tarnel::locale
