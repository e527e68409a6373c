#include "engine/expr/expression_value.h"

#include <cmath>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/bcd.h"
#include "platform/rtl/date_time.h"

namespace tarnel {

std::string_view StringOf(const TValueArea& area) {
  const char* text = reinterpret_cast<const char*>(area.data());
  return std::string_view(text, strnlen(text, kMaxValueString));
}

uint8_t PutString(TValueArea& area, std::string_view text) {
  size_t length = text.size() < kMaxValueString ? text.size() : kMaxValueString;
  std::memmove(area.data(), text.data(), length);
  area[length] = 0;
  return static_cast<uint8_t>(length + 1);
}

int64_t IntegerOf(const TExpressionValue& value) {
  const uint8_t* area = value.Value.data();
  switch (value.DataType) {
    case dtSmallInt:
      return GetI16(area);
    case dtWord:
    case dtBoolean:
      return GetU16(area);
    case dtInteger:
    case dtDate:
    case dtTime:
      return GetI32(area);
    default:
      return 0;
  }
}

double DoubleOf(const TExpressionValue& value) {
  switch (value.DataType) {
    case dtFloat:
    case dtTimeStamp:
      return GetF64(value.Value.data());
    case dtBCD:
      return BcdToFloat(GetI64(value.Value.data()));
    default:
      return static_cast<double>(IntegerOf(value));
  }
}

int64_t TruncateToInt64(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(value);
}

int32_t DateOfTimestamp(double timestamp) {
  return static_cast<int32_t>(TruncateToInt64(std::floor(timestamp / kMSecsPerDay)));
}

int32_t TimeOfTimestamp(double timestamp) {
  double day = std::floor(timestamp / kMSecsPerDay);
  return static_cast<int32_t>(TruncateToInt64(timestamp - day * kMSecsPerDay));
}

TExpressionValue ValueOf(const TExpressionNode& node) {
  TExpressionValue value;
  value.Value = node.Value;
  value.IsNull = node.IsNull;
  value.DataType = node.DataType;
  value.SubType = node.SubType;
  value.Size = node.Size;
  value.Scale = node.Scale;
  return value;
}

TExpressionPtr ValueNode(const TExpressionNode& node, const TExpressionValue& value) {
  TExpressionPtr result = CopyNode(node);
  result->NodeKind = nkConstant;
  result->Operator = opNone;
  result->Value = value.Value;
  result->IsNull = value.IsNull;
  result->DataType = value.DataType;
  result->SubType = value.SubType;
  result->Size = value.Size;
  result->Scale = value.Scale;
  return result;
}

bool IsTrue(const TExpressionValue& value) { return GetU16(value.Value.data()) != 0; }

}  // namespace tarnel
