// The unary and arithmetic operators on expression values: integers in 32 bits with wrap-around,
// Float in double, BCD in the fixed-point form, Date, Time and Timestamp moved by days or
// milliseconds, and string concatenation. Operands' IsNull is not consulted.
#pragma once

#include <cstdint>

#include "engine/expr/expression_value.h"

namespace tarnel {

// NOT, negation, unary plus and the null tests. `result` arrives with its type data and a zero
// value area; a type the operator does not take leaves it zero.
void ApplyUnary(int32_t op, const TExpressionValue& operand, TExpressionValue& result);
// +, -, * and /, computed by the operand types. `result` arrives as for ApplyUnary; division by
// zero makes it NULL with a zero value.
void ApplyArithmetic(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                     TExpressionValue& result);

}  // namespace tarnel
