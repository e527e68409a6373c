// Builders of expression nodes for the tests: typed constants, columns that read a test record,
// and operator nodes typed by the type rules as the checker would type them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/bcd.h"
#include "engine/expr/expression_node.h"
#include "engine/expr/expression_value.h"
#include "engine/expr/type_rules.h"
#include "platform/rtl/date_time.h"

namespace tarnel::test {

inline int32_t DayNumber(int year, int month, int day) {
  return DateTimeToTimeStamp(EncodeDate(year, month, day)).Date;
}

inline double Moment(int year, int month, int day, int32_t milliseconds) {
  return static_cast<double>(DayNumber(year, month, day)) * kMSecsPerDay + milliseconds;
}

inline TExpressionPtr Typed(uint8_t type, uint8_t size, uint8_t scale = 0, uint8_t subType = 0) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkConstant;
  node->DataType = type;
  node->Size = size;
  node->Scale = scale;
  node->SubType = subType;
  return node;
}

inline TExpressionPtr Int(int32_t value) {
  TExpressionPtr node = Typed(dtInteger, 4);
  PutI32(node->Value.data(), value);
  node->Name = std::to_string(value);
  return node;
}

inline TExpressionPtr Small(int16_t value) {
  TExpressionPtr node = Typed(dtSmallInt, 2);
  PutU16(node->Value.data(), static_cast<uint16_t>(value));
  return node;
}

inline TExpressionPtr Word(uint16_t value) {
  TExpressionPtr node = Typed(dtWord, 2);
  PutU16(node->Value.data(), value);
  return node;
}

inline TExpressionPtr Float(double value, uint8_t subType = stNone) {
  TExpressionPtr node = Typed(dtFloat, 8, 0, subType);
  PutF64(node->Value.data(), value);
  return node;
}

// A BCD value given as its amount × 10,000.
inline TExpressionPtr Bcd(TFixed fixed, uint8_t scale, uint8_t subType = stNone) {
  TExpressionPtr node = Typed(dtBCD, 8, scale, subType);
  PutI64(node->Value.data(), FixedToBcd(fixed, scale));
  return node;
}

inline TExpressionPtr Str(const std::string& text) {
  TExpressionPtr node = Typed(dtString, 0);
  node->Size = PutString(node->Value, text);
  node->IsNull = text.empty();
  node->Name = text;
  return node;
}

inline TExpressionPtr Bool(uint16_t value) {
  TExpressionPtr node = Typed(dtBoolean, 2);
  PutU16(node->Value.data(), value);
  return node;
}

inline TExpressionPtr Date(int year, int month, int day) {
  TExpressionPtr node = Typed(dtDate, 4);
  PutI32(node->Value.data(), DayNumber(year, month, day));
  return node;
}

inline TExpressionPtr Time(int32_t milliseconds) {
  TExpressionPtr node = Typed(dtTime, 4);
  PutI32(node->Value.data(), milliseconds);
  return node;
}

inline TExpressionPtr Stamp(int year, int month, int day, int32_t milliseconds) {
  TExpressionPtr node = Typed(dtTimeStamp, 8);
  PutF64(node->Value.data(), Moment(year, month, day, milliseconds));
  return node;
}

// A NULL value of a type whose value area still holds `stored`.
inline TExpressionPtr Null(TExpressionPtr node) {
  node->IsNull = true;
  return node;
}

inline TExpressionPtr Column(TExpressionPtr typed, uint16_t fieldNo) {
  typed->NodeKind = nkColumn;
  typed->FieldNo = fieldNo;
  return typed;
}

inline TExpressionPtr Unary(int32_t op, TExpressionPtr operand) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkUnary;
  node->Operator = op;
  node->DataType = UnaryResultType(op, operand->DataType);
  node->SubType = op == opNot ? 0 : operand->SubType;
  node->Size = operand->Size;
  node->Scale = operand->Scale;
  node->Left = std::move(operand);
  return node;
}

inline TExpressionPtr Binary(int32_t op, TExpressionPtr left, TExpressionPtr right) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkBinary;
  node->Operator = op;
  node->DataType = BinaryResultType(op, left->DataType, right->DataType);
  node->SubType = ResultSubType(op, left->DataType, left->SubType, right->SubType,
                                right->DataType);
  node->Size = left->Size > right->Size ? left->Size : right->Size;
  node->Scale = left->Scale > right->Scale ? left->Scale : right->Scale;
  node->Left = std::move(left);
  node->Right = std::move(right);
  return node;
}

// A function or predicate node; `right` heads the chain of further operands.
inline TExpressionPtr Call(int32_t kind, int32_t op, uint8_t type, TExpressionPtr left,
                           TExpressionPtr right = nullptr) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = kind;
  node->Operator = op;
  node->DataType = type;
  node->Size = left->Size;
  node->Left = std::move(left);
  node->Right = std::move(right);
  return node;
}

// Links `next` behind `head` through Right and gives `head` back.
inline TExpressionPtr Chain(TExpressionPtr head, TExpressionPtr next) {
  TExpressionNode* last = head.get();
  while (last->Right) last = last->Right.get();
  last->Right = std::move(next);
  return head;
}

}  // namespace tarnel::test
