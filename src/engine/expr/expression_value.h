// TExpressionValue: the value part of an expression node (value area, NULL flag and type data)
// without names or children, so that evaluation can keep its intermediate values on the stack.
// Helpers read the value area by type, and turn a value back into a value node.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/expr/expression_node.h"

namespace tarnel {

using TValueArea = std::array<uint8_t, kValueSize>;

// A string in a value area holds at most this many characters and its terminator.
constexpr size_t kMaxValueString = kValueSize - 1;

struct TExpressionValue {
  TValueArea Value{};
  bool IsNull = false;
  uint8_t DataType = kUntyped;
  uint8_t SubType = 0;
  uint8_t Size = 0;
  uint8_t Scale = 0;
};

// The characters of a String value up to its terminator, at most kMaxValueString of them.
std::string_view StringOf(const TValueArea& area);
// Writes `text`, cut to kMaxValueString characters, and its terminator; returns the size
// (length + 1).
uint8_t PutString(TValueArea& area, std::string_view text);

// The value of an integer-like value (SmallInt sign-extended, Word zero-extended, Integer, Date
// and Time as 32 bits, Boolean as 16 bits); 0 for other types.
int64_t IntegerOf(const TExpressionValue& value);
// The value of a numeric value, a Timestamp or an integer-like value as a double.
double DoubleOf(const TExpressionValue& value);
// Truncated toward zero; a NaN or a value beyond 64 bits gives INT64_MIN, as the processor's
// conversion does.
int64_t TruncateToInt64(double value);
// The day number and the milliseconds of the day of a Timestamp.
int32_t DateOfTimestamp(double timestamp);
int32_t TimeOfTimestamp(double timestamp);

// The value and type data of a node, as the node holds them.
TExpressionValue ValueOf(const TExpressionNode& node);
// A value node: a copy of `node` without children, with NodeKind nkConstant and the value and
// type data of `value`.
TExpressionPtr ValueNode(const TExpressionNode& node, const TExpressionValue& value);
// Whether a condition's value reads as true: its 16-bit value is not 0.
bool IsTrue(const TExpressionValue& value);

}  // namespace tarnel
