// The string order of a table with a language: the locale's string sort over texts in the
// table's code page, each taken up to its first zero byte.
#pragma once

#include <cstdint>

namespace tarnel {

// -1, 0 or 1 for the texts a (at most lengthA bytes) and b under the locale
// sortId * 65536 + languageId.
int CompareCollated(uint16_t languageId, uint16_t sortId, const uint8_t* a, int lengthA,
                    const uint8_t* b, int lengthB);

// Maps the text of a string key part (up to its first zero byte, at most `length` bytes) into
// `out`: with a language, full-width letters folded to half-width and, for a case-insensitive
// index, upper-cased by the locale; without one, ASCII letters upper-cased when asked. Answers
// the mapped length, which is never longer than the text.
int MapKeyText(uint16_t languageId, uint16_t sortId, bool upperCase, const uint8_t* text, int length,
               uint8_t* out);

}  // namespace tarnel
