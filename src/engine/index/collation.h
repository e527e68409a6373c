// The string order of a table with a language: the locale's string sort over texts in the
// table's code page, each taken up to its first zero byte.
#pragma once

#include <cstdint>

namespace tarnel {

// -1, 0 or 1 for the texts a (at most lengthA bytes) and b under the locale
// sortId * 65536 + languageId.
int CompareCollated(uint16_t languageId, uint16_t sortId, const uint8_t* a, int lengthA,
                    const uint8_t* b, int lengthB);

}  // namespace tarnel
