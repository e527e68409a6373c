// The type rules of expression operators: which operand types an operator accepts and which
// type it yields. Pure functions of operator codes and type codes, consulted by the type
// checker and, for a pair of types, by the evaluator.
#pragma once

#include <cstdint>

namespace tarnel {

// SmallInt, Integer, Float, BCD and Word.
bool IsNumericType(uint8_t type);
// SmallInt, Integer and Word.
bool IsIntegerType(uint8_t type);
// Date, Time and Timestamp.
bool IsDateTimeType(uint8_t type);

bool UnaryTypeValid(int32_t op, uint8_t type);
// The type of a unary result; 0 when the operator does not accept the type.
uint8_t UnaryResultType(int32_t op, uint8_t type);
bool BinaryTypesValid(int32_t op, uint8_t leftType, uint8_t rightType);
// The type of a binary result; 0 when the operator does not accept the pair.
uint8_t BinaryResultType(int32_t op, uint8_t leftType, uint8_t rightType);
// 21 (money) or 0.
uint8_t ResultSubType(int32_t op, uint8_t leftType, uint8_t leftSubType, uint8_t rightSubType,
                      uint8_t rightType);

}  // namespace tarnel
