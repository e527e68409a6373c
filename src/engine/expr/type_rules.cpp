#include "engine/expr/type_rules.h"

#include "engine/base/field_desc.h"
#include "engine/expr/expression_node.h"

namespace tarnel {

namespace {

bool IsComparison(int32_t op) { return op >= opEqual && op <= opLessOrEqual; }
bool IsArithmetic(int32_t op) { return op >= opAdd && op <= opDivide; }

// Whether a comparison accepts the pair; = and <> also take an untyped right operand.
bool ComparisonValid(int32_t op, uint8_t left, uint8_t right) {
  bool equality = op == opEqual || op == opNotEqual;
  if (right == kUntyped) {
    return equality && (left == dtString || left == dtDate || left == dtTimeStamp ||
                        left == dtTime || left == dtBoolean || IsNumericType(left));
  }
  switch (left) {
    case dtString:
    case dtTime:
      return right == left;
    case dtDate:
    case dtTimeStamp:
      return right == dtDate || right == dtTimeStamp;
    case dtBoolean:
      return equality && right == dtBoolean;
    default:
      return IsNumericType(left) && IsNumericType(right);
  }
}

// Float before BCD before the integer types; Word minus an integer type stays Word.
uint8_t NumericResult(int32_t op, uint8_t left, uint8_t right) {
  if (left == dtFloat || right == dtFloat) return dtFloat;
  if (left == dtBCD || right == dtBCD) return dtBCD;
  if (op == opDivide) return dtFloat;
  if (op == opSubtract && left == dtWord) return dtWord;
  return dtInteger;
}

uint8_t AdditionResult(uint8_t left, uint8_t right) {
  if (left == dtString) return right == dtString ? left : kUntyped;
  if (IsIntegerType(right) && (left == dtDate || left == dtTime || left == dtTimeStamp)) {
    return left;
  }
  if (IsIntegerType(left) && (right == dtDate || right == dtTime || right == dtTimeStamp)) {
    return right;
  }
  return kUntyped;
}

uint8_t SubtractionResult(uint8_t left, uint8_t right) {
  switch (left) {
    case dtDate:
      if (right == dtDate) return dtInteger;
      break;
    case dtTime:
      if (right == dtTime) return dtInteger;
      break;
    case dtTimeStamp:
      if (right == dtDate || right == dtTime) return dtInteger;
      if (right == dtTimeStamp) return dtFloat;
      break;
    default:
      return kUntyped;
  }
  return IsIntegerType(right) ? left : kUntyped;
}

}  // namespace

bool IsNumericType(uint8_t type) {
  return type == dtSmallInt || type == dtInteger || type == dtFloat || type == dtBCD ||
         type == dtWord;
}

bool IsIntegerType(uint8_t type) {
  return type == dtSmallInt || type == dtInteger || type == dtWord;
}

bool IsDateTimeType(uint8_t type) {
  return type == dtDate || type == dtTime || type == dtTimeStamp;
}

bool UnaryTypeValid(int32_t op, uint8_t type) {
  switch (op) {
    case opIsNull:
    case opNotNull:
      return true;
    case opNot:
      return type == dtBoolean;
    case opPlus:
      if (type == dtWord) return true;
      [[fallthrough]];
    case opNegate:
      return type == dtDate || type == dtSmallInt || type == dtInteger || type == dtFloat ||
             type == dtBCD || type == dtTime || type == dtTimeStamp;
    default:
      return false;
  }
}

uint8_t UnaryResultType(int32_t op, uint8_t type) {
  if (!UnaryTypeValid(op, type)) return kUntyped;
  return op == opNegate || op == opPlus ? type : static_cast<uint8_t>(dtBoolean);
}

bool BinaryTypesValid(int32_t op, uint8_t leftType, uint8_t rightType) {
  return BinaryResultType(op, leftType, rightType) != kUntyped;
}

uint8_t BinaryResultType(int32_t op, uint8_t leftType, uint8_t rightType) {
  if (IsComparison(op)) {
    return ComparisonValid(op, leftType, rightType) ? static_cast<uint8_t>(dtBoolean) : kUntyped;
  }
  if (op == opAnd || op == opOr) {
    return leftType == dtBoolean && rightType == dtBoolean ? static_cast<uint8_t>(dtBoolean)
                                                           : kUntyped;
  }
  if (!IsArithmetic(op)) return kUntyped;
  if (IsNumericType(leftType) && IsNumericType(rightType)) {
    return NumericResult(op, leftType, rightType);
  }
  if (op == opAdd) return AdditionResult(leftType, rightType);
  if (op == opSubtract) return SubtractionResult(leftType, rightType);
  return kUntyped;
}

uint8_t ResultSubType(int32_t op, uint8_t leftType, uint8_t leftSubType, uint8_t rightSubType,
                      uint8_t rightType) {
  if (!IsArithmetic(op) || !IsNumericType(rightType)) return stNone;
  if (leftSubType == stMoney) return stMoney;
  bool keepsRightMoney = op == opAdd || op == opMultiply;
  if (keepsRightMoney && leftSubType == stNone && rightSubType == stMoney &&
      IsNumericType(leftType)) {
    return stMoney;
  }
  return stNone;
}

}  // namespace tarnel
