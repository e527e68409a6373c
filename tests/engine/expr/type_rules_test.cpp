#include "engine/expr/type_rules.h"

#include <gtest/gtest.h>

#include "engine/base/field_desc.h"
#include "engine/expr/expression_node.h"

namespace tarnel {
namespace {

TEST(TypeRulesTest, UnaryOperators) {
  struct TCase {
    int32_t Op;
    uint8_t Type, Result;
  };
  const TCase cases[] = {
      {opNot, dtBoolean, dtBoolean},   {opNot, dtInteger, kUntyped},
      {opNegate, dtDate, dtDate},      {opNegate, dtBCD, dtBCD},
      {opNegate, dtTime, dtTime},      {opNegate, dtTimeStamp, dtTimeStamp},
      {opNegate, dtWord, kUntyped},    {opPlus, dtWord, dtWord},
      {opNegate, dtString, kUntyped},  {opPlus, dtBoolean, kUntyped},
      {opIsNull, dtBlob, dtBoolean},   {opNotNull, dtString, dtBoolean},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Op << " " << int{c.Type});
    EXPECT_EQ(UnaryResultType(c.Op, c.Type), c.Result);
    EXPECT_EQ(UnaryTypeValid(c.Op, c.Type), c.Result != kUntyped);
  }
}

TEST(TypeRulesTest, ComparisonsYieldBoolean) {
  struct TCase {
    int32_t Op;
    uint8_t Left, Right;
    bool Valid;
  };
  const TCase cases[] = {
      {opEqual, dtString, kUntyped, true},     {opEqual, kUntyped, dtString, false},
      {opLess, dtString, kUntyped, false},     {opLess, dtString, dtString, true},
      {opEqual, dtString, dtInteger, false},   {opEqual, dtDate, dtTimeStamp, true},
      {opGreater, dtTimeStamp, dtDate, true},  {opEqual, dtDate, dtTime, false},
      {opLess, dtTime, dtTime, true},          {opEqual, dtBoolean, dtBoolean, true},
      {opNotEqual, dtBoolean, kUntyped, true}, {opLess, dtBoolean, dtBoolean, false},
      {opEqual, dtBCD, dtWord, true},          {opGreaterOrEqual, dtFloat, dtSmallInt, true},
      {opEqual, dtInteger, dtDate, false},     {opEqual, dtBlob, dtBlob, false},
      {opEqual, dtBytes, kUntyped, false},     {opEqual, kUntyped, kUntyped, false},
      {opAnd, dtBoolean, dtBoolean, true},     {opOr, dtBoolean, dtInteger, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Op << " " << int{c.Left} << " " << int{c.Right});
    EXPECT_EQ(BinaryTypesValid(c.Op, c.Left, c.Right), c.Valid);
    EXPECT_EQ(BinaryResultType(c.Op, c.Left, c.Right), c.Valid ? uint8_t{dtBoolean} : kUntyped);
  }
}

TEST(TypeRulesTest, Arithmetic) {
  struct TCase {
    int32_t Op;
    uint8_t Left, Right, Result;
  };
  const TCase cases[] = {
      {opAdd, dtString, dtString, dtString},        {opAdd, dtString, dtInteger, kUntyped},
      {opAdd, dtDate, dtWord, dtDate},              {opAdd, dtSmallInt, dtDate, dtDate},
      {opAdd, dtDate, dtDate, kUntyped},            {opAdd, dtWord, dtSmallInt, dtInteger},
      {opAdd, dtInteger, dtFloat, dtFloat},         {opAdd, dtInteger, dtBCD, dtBCD},
      {opAdd, dtBCD, dtFloat, dtFloat},             {opAdd, dtInteger, dtTime, dtTime},
      {opAdd, dtTimeStamp, dtSmallInt, dtTimeStamp}, {opAdd, dtTime, dtFloat, kUntyped},
      {opSubtract, dtDate, dtDate, dtInteger},      {opSubtract, dtDate, dtTimeStamp, kUntyped},
      {opSubtract, dtWord, dtInteger, dtWord},      {opSubtract, dtInteger, dtWord, dtInteger},
      {opSubtract, dtWord, dtBCD, dtBCD},           {opSubtract, dtTime, dtTime, dtInteger},
      {opSubtract, dtTimeStamp, dtDate, dtInteger}, {opSubtract, dtTimeStamp, dtTime, dtInteger},
      {opSubtract, dtTimeStamp, dtTimeStamp, dtFloat}, {opSubtract, dtInteger, dtDate, kUntyped},
      {opSubtract, dtString, dtString, kUntyped},   {opMultiply, dtWord, dtWord, dtInteger},
      {opMultiply, dtBCD, dtBCD, dtBCD},            {opMultiply, dtDate, dtInteger, kUntyped},
      {opDivide, dtInteger, dtInteger, dtFloat},    {opDivide, dtWord, dtBCD, dtBCD},
      {opDivide, dtBCD, dtFloat, dtFloat},          {opDivide, dtBoolean, dtInteger, kUntyped},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Op << " " << int{c.Left} << " " << int{c.Right});
    EXPECT_EQ(BinaryResultType(c.Op, c.Left, c.Right), c.Result);
  }
}

TEST(TypeRulesTest, MoneySubtype) {
  struct TCase {
    int32_t Op;
    uint8_t LeftType, LeftSub, RightSub, RightType, Result;
  };
  const TCase cases[] = {
      {opAdd, dtFloat, stMoney, stNone, dtInteger, stMoney},
      {opSubtract, dtFloat, stMoney, stNone, dtInteger, stMoney},
      {opDivide, dtBCD, stMoney, stNone, dtBCD, stMoney},
      {opSubtract, dtInteger, stNone, stMoney, dtFloat, stNone},
      {opDivide, dtInteger, stNone, stMoney, dtFloat, stNone},
      {opAdd, dtInteger, stNone, stMoney, dtFloat, stMoney},
      {opMultiply, dtSmallInt, stNone, stMoney, dtBCD, stMoney},
      {opAdd, dtInteger, stAutoInc, stMoney, dtFloat, stNone},
      {opEqual, dtFloat, stMoney, stNone, dtFloat, stNone},
      {opAdd, dtFloat, stMoney, stNone, kUntyped, stNone},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Op << " " << int{c.LeftType});
    EXPECT_EQ(ResultSubType(c.Op, c.LeftType, c.LeftSub, c.RightSub, c.RightType), c.Result);
  }
}

}  // namespace
}  // namespace tarnel
