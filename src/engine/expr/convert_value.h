// Conversion of a value to the type of a column, as SQL does with a constant before comparing it
// with a column, or with a parent row's value before it filters a child table.
#pragma once

#include "engine/expr/expression_node.h"
#include "engine/expr/expression_value.h"

namespace tarnel {

// Converts `value` to the type of `column` and gives it the column's type, subtype, size and
// scale. A NULL value, a String, a value of the column's type already, and a pair the type
// rules never bring together are left unchanged. Raises EConvertError only where a BCD value
// does not fit its form.
void ConvertValue(TExpressionValue& value, const TExpressionNode& column);

}  // namespace tarnel
