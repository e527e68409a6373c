// The string and date functions of expressions and the LIKE pattern match, working on value
// records in place: UPPER and LOWER by a locale's case mapping (or a to z for language 0),
// SUBSTRING, TRIM, and the year, month or day of a Date or Timestamp.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/expr/expression_value.h"

namespace tarnel {

// UPPER (34) or LOWER (35) of the String in `value`; `lcid` as for comparisons.
void MapCase(int32_t op, uint32_t lcid, TExpressionValue& value);
// The characters from position `from` (1-based) on; with `count` >= 0 at most that many.
void Substring(TExpressionValue& value, int64_t from, int64_t count);
// Strips leading (44), trailing (45) or both (46) runs of `character`.
void TrimString(int32_t op, char character, TExpressionValue& value);
// The calendar year (48), month (49) or day (50) of a Date or Timestamp; 0 for other types.
int32_t ExtractPart(int32_t op, const TExpressionValue& moment);
// Byte by byte and case-sensitively: % any run, _ one character, no escape. At the end of the
// text only an exhausted pattern, or one that is exactly %, matches.
bool MatchLike(std::string_view text, std::string_view pattern);

}  // namespace tarnel
