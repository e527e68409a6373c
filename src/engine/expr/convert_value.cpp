#include "engine/expr/convert_value.h"

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/bcd.h"
#include "engine/expr/type_rules.h"
#include "platform/rtl/date_time.h"

namespace tarnel {

namespace {

// The value of an integer, Float or BCD value truncated toward zero.
int64_t TruncatedOf(const TExpressionValue& value) {
  if (value.DataType == dtFloat) return TruncateToInt64(DoubleOf(value));
  if (value.DataType == dtBCD) return BcdToFixed(GetI64(value.Value.data())) / kFixedScale;
  return IntegerOf(value);
}

// Writes the converted value; false for a pair that does not convert.
bool Convert(const TExpressionValue& value, uint8_t target, uint8_t scale, TValueArea& out) {
  uint8_t source = value.DataType;
  switch (target) {
    case dtDate:
      if (source != dtTimeStamp) return false;
      PutI32(out.data(), DateOfTimestamp(DoubleOf(value)));
      return true;
    case dtTimeStamp:
      if (source != dtDate) return false;
      PutF64(out.data(), static_cast<double>(IntegerOf(value)) * kMSecsPerDay);
      return true;
    case dtSmallInt:
    case dtWord:
      if (!IsNumericType(source)) return false;
      PutU16(out.data(), static_cast<uint16_t>(TruncatedOf(value)));
      return true;
    case dtInteger:
      if (!IsNumericType(source)) return false;
      PutI32(out.data(), static_cast<int32_t>(TruncatedOf(value)));
      return true;
    case dtFloat:
      if (!IsNumericType(source)) return false;
      PutF64(out.data(), DoubleOf(value));
      return true;
    case dtBCD:
      if (source == dtFloat) {
        PutI64(out.data(), FloatToBcd(DoubleOf(value), scale));
        return true;
      }
      if (!IsIntegerType(source)) return false;
      PutI64(out.data(), FixedToBcd(IntegerOf(value) * kFixedScale, scale));
      return true;
    default:
      return false;
  }
}

}  // namespace

void ConvertValue(TExpressionValue& value, const TExpressionNode& column) {
  if (value.IsNull || value.DataType == dtString || value.DataType == column.DataType) return;
  TValueArea converted{};
  if (!Convert(value, column.DataType, column.Scale, converted)) return;
  value.Value = converted;
  value.DataType = column.DataType;
  value.SubType = column.SubType;
  value.Size = column.Size;
  value.Scale = column.Scale;
}

}  // namespace tarnel
