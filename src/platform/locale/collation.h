// Locale string comparison, as table keys, expressions and validity checks use it: two byte
// strings in the code page of a locale compared by that locale's collation, or bytewise for
// language 0 (no locale).
#pragma once

#include <cstdint>

namespace tarnel::locale {

constexpr uint32_t kNormIgnoreCase = 0x00000001;
constexpr uint32_t kSortStringSort = 0x00001000;

// Compares `lengthA` bytes at `a` with `lengthB` bytes at `b` (lengths >= 0; zero bytes count as
// characters that collate as nothing): -1, 0 or 1.
// - Language 0: unsigned bytes, a proper prefix first; kNormIgnoreCase compares a-z as A-Z.
// - Otherwise the locale's collation. kSortStringSort: every character counts, punctuation
//   included; without it (word sort) punctuation and spaces count only where letters, accents
//   and case are equal. kNormIgnoreCase ignores case (and width).
// A locale that is not installed, or a flag other than these two, raises ELocaleError. After a
// locale's first use the comparison allocates nothing for strings of up to 256 bytes.
int CompareString(uint32_t lcid, uint32_t flags, const char* a, int lengthA, const char* b,
                  int lengthB);

}  // namespace tarnel::locale
