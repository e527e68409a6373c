// Comparison of expression values: the ordering of two values by their types (strings by a
// locale's collation, or bytewise for language 0), the NULL rule of = and <>, and the string
// comparison of compare nodes with a partial length and case-insensitivity.
#pragma once

#include <cstdint>

#include "engine/expr/expression_value.h"

namespace tarnel {

enum class TOrder { Less, Equal, Greater, Unordered };

// The order of two values; Unordered for a pair of types that does not compare (and for a NaN).
// `lcid` is SortOrder × 65536 + Language; language 0 compares strings bytewise.
TOrder CompareValues(const TExpressionValue& left, const TExpressionValue& right, uint32_t lcid);
// A comparison operator (3 to 8) applied to two values. = and <> test NULLs first; the ordered
// comparisons do not consult IsNull. An unordered pair gives false.
bool CompareWith(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                 uint32_t lcid);
// A compare node's test (= or <>) of two String values over `partialLength` leading characters
// (0: whole strings), ignoring case on request; false for any other operand types.
bool CompareStrings(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                    uint32_t lcid, uint8_t partialLength, bool caseInsensitive);

}  // namespace tarnel
