#include "engine/expr/arithmetic.h"

#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/bcd.h"
#include "engine/expr/type_rules.h"
#include "platform/rtl/date_time.h"

namespace tarnel {

namespace {

uint32_t Bits32(int64_t value) { return static_cast<uint32_t>(value); }

// Integer arithmetic in 32 bits, wrapping on overflow.
int32_t WrapInteger(int32_t op, int64_t left, int64_t right) {
  switch (op) {
    case opAdd:
      return static_cast<int32_t>(Bits32(left) + Bits32(right));
    case opSubtract:
      return static_cast<int32_t>(Bits32(left) - Bits32(right));
    case opMultiply:
      return static_cast<int32_t>(Bits32(left) * Bits32(right));
    default:
      return 0;
  }
}

void Concatenate(const TExpressionValue& left, const TExpressionValue& right,
                 TExpressionValue& result) {
  std::string_view a = StringOf(left.Value);
  std::string_view b = StringOf(right.Value);
  size_t length = PutString(result.Value, a) - 1;
  size_t room = kMaxValueString - length;
  size_t appended = b.size() < room ? b.size() : room;
  std::memcpy(result.Value.data() + length, b.data(), appended);
  result.Value[length + appended] = 0;
}

// Integer results: differences of dates, times and timestamp parts, and integer arithmetic.
int32_t IntegerResult(int32_t op, const TExpressionValue& left, const TExpressionValue& right) {
  if (left.DataType == dtTimeStamp) {
    double stamp = DoubleOf(left);
    int64_t part = right.DataType == dtDate ? DateOfTimestamp(stamp) : TimeOfTimestamp(stamp);
    return WrapInteger(opSubtract, part, IntegerOf(right));
  }
  return WrapInteger(op, IntegerOf(left), IntegerOf(right));
}

double FloatResult(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                   TExpressionValue& result) {
  double a = DoubleOf(left);
  double b = DoubleOf(right);
  switch (op) {
    case opAdd:
      return a + b;
    case opSubtract:
      return a - b;
    case opMultiply:
      return a * b;
    case opDivide:
      if (b == 0.0) {
        result.IsNull = true;
        return 0.0;
      }
      return a / b;
    default:
      return 0.0;
  }
}

// BCD arithmetic in the fixed-point form: an integer operand counts × 10,000 in sums and
// differences and as it stands in products and quotients. The result is rounded to an integer
// (ties to even) and stored at the scale of the BCD operand, the left one's when both are BCD.
void BcdResult(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
               TExpressionValue& result) {
  bool leftBcd = left.DataType == dtBCD;
  bool rightBcd = right.DataType == dtBCD;
  TInt128 a = leftBcd ? BcdToFixed(GetI64(left.Value.data())) : IntegerOf(left);
  TInt128 b = rightBcd ? BcdToFixed(GetI64(right.Value.data())) : IntegerOf(right);
  TInt128 numerator = 0;
  TInt128 denominator = 1;
  switch (op) {
    case opAdd:
    case opSubtract:
      if (!leftBcd) a *= kFixedScale;
      if (!rightBcd) b *= kFixedScale;
      numerator = op == opAdd ? a + b : a - b;
      break;
    case opMultiply:
      numerator = a * b;
      if (leftBcd && rightBcd) denominator = kFixedScale;
      break;
    case opDivide:
      if (b == 0) {
        result.IsNull = true;
        return;
      }
      numerator = a;
      if (leftBcd && rightBcd) numerator *= kFixedScale;
      if (!leftBcd) numerator *= kFixedScale * kFixedScale;
      denominator = b;
      break;
    default:
      return;
  }
  int scale = leftBcd ? left.Scale : right.Scale;
  PutI64(result.Value.data(), FixedToBcd(RoundQuotient(numerator, denominator), scale));
}

}  // namespace

void ApplyUnary(int32_t op, const TExpressionValue& operand, TExpressionValue& result) {
  uint8_t* out = result.Value.data();
  switch (op) {
    case opIsNull:
      PutU16(out, operand.IsNull ? 1 : 0);
      return;
    case opNotNull:
      PutU16(out, operand.IsNull ? 0 : 1);
      return;
    case opNot:
      // Whatever the operand's declared type: filters build conditions without result types.
      PutU16(out, GetU16(operand.Value.data()) == 0 ? 1 : 0);
      return;
    case opNegate:
    case opPlus:
      break;
    default:
      return;
  }
  if (!UnaryTypeValid(op, operand.DataType)) return;
  bool negate = op == opNegate;
  switch (operand.DataType) {
    case dtSmallInt:
    case dtWord:
      PutU16(out, static_cast<uint16_t>(negate ? -IntegerOf(operand) : IntegerOf(operand)));
      break;
    case dtDate:
    case dtInteger:
    case dtTime:
      PutU32(out, negate ? 0u - Bits32(IntegerOf(operand)) : Bits32(IntegerOf(operand)));
      break;
    case dtFloat:
    case dtTimeStamp:
      PutF64(out, negate ? -DoubleOf(operand) : DoubleOf(operand));
      break;
    case dtBCD: {
      TFixed fixed = BcdToFixed(GetI64(operand.Value.data()));
      PutI64(out, FixedToBcd(negate ? -fixed : fixed, operand.Scale));
      break;
    }
    default:
      break;
  }
}

void ApplyArithmetic(int32_t op, const TExpressionValue& left, const TExpressionValue& right,
                     TExpressionValue& result) {
  uint8_t* out = result.Value.data();
  switch (BinaryResultType(op, left.DataType, right.DataType)) {
    case dtString:
      Concatenate(left, right, result);
      break;
    case dtInteger:
      PutI32(out, IntegerResult(op, left, right));
      break;
    case dtWord:
      PutU16(out, static_cast<uint16_t>(IntegerOf(left) - IntegerOf(right)));
      break;
    case dtFloat:
      PutF64(out, FloatResult(op, left, right, result));
      break;
    case dtBCD:
      BcdResult(op, left, right, result);
      break;
    case dtDate:
    case dtTime: {
      // Days or milliseconds, from whichever side holds the date or time.
      bool leftMoves = left.DataType == dtDate || left.DataType == dtTime;
      int64_t moment = leftMoves ? IntegerOf(left) : IntegerOf(right);
      int64_t offset = leftMoves ? IntegerOf(right) : IntegerOf(left);
      PutI32(out, WrapInteger(op, moment, offset));
      break;
    }
    case dtTimeStamp: {
      bool leftMoves = left.DataType == dtTimeStamp;
      double stamp = leftMoves ? DoubleOf(left) : DoubleOf(right);
      double days = static_cast<double>(leftMoves ? IntegerOf(right) : IntegerOf(left));
      PutF64(out, op == opAdd ? stamp + days * kMSecsPerDay : stamp - days * kMSecsPerDay);
      break;
    }
    default:
      break;
  }
}

}  // namespace tarnel
