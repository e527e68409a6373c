#include "engine/expr/convert_value.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/base/byte_order.h"
#include "expr_nodes.h"
#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

using namespace tarnel::test;

TEST(ConvertValueTest, ConvertsToTheColumnsType) {
  struct TCase {
    const char* What;
    TExpressionPtr From, Column;
    double Expected;  // as DoubleOf reads the converted value
  };
  const TCase cases[] = {
      {"Timestamp to Date: the date part", Stamp(1997, 3, 5, 4000), Date(1, 1, 1),
       static_cast<double>(DayNumber(1997, 3, 5))},
      {"Date 5 March to Timestamp: its midnight", Date(1997, 3, 5), Stamp(1, 1, 1, 0),
       Moment(1997, 3, 5, 0)},
      {"Integer to SmallInt: low 16 bits", Int(65537), Small(0), 1},
      {"Word to SmallInt: low 16 bits", Word(65535), Small(0), -1},
      {"Float to SmallInt: truncated", Float(-2.9), Small(0), -2},
      {"Float to SmallInt: low 16 bits", Float(65538.5), Small(0), 2},
      {"BCD to SmallInt: truncated", Bcd(-29999, 4), Small(0), -2},
      {"SmallInt to Integer: sign-extended", Small(-3), Int(0), -3},
      {"Word to Integer: zero-extended", Word(65535), Int(0), 65535},
      {"Float to Integer: truncated", Float(7.99), Int(0), 7},
      {"BCD to Integer: truncated", Bcd(79900, 2), Int(0), 7},
      {"Integer to Float", Int(-4), Float(0), -4},
      {"BCD to Float", Bcd(12500, 2), Float(0), 1.25},
      {"Integer to BCD at the target's scale", Int(3), Bcd(0, 2), 3},
      {"Float to BCD rounded to the target's scale", Float(1.255), Bcd(0, 2), 1.26},
      {"SmallInt to Word: low 16 bits", Small(-1), Word(0), 65535},
      {"Integer to Word: low 16 bits", Int(65536 + 7), Word(0), 7},
      {"Float to Word: truncated, low 16 bits", Float(65537.7), Word(0), 1},
      {"BCD to Word: truncated", Bcd(99999, 4), Word(0), 9},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TExpressionValue value = ValueOf(*c.From);
    ConvertValue(value, *c.Column);
    EXPECT_EQ(value.DataType, c.Column->DataType);
    EXPECT_EQ(value.Size, c.Column->Size);
    EXPECT_EQ(value.Scale, c.Column->Scale);
    EXPECT_DOUBLE_EQ(DoubleOf(value), c.Expected);
  }
}

TEST(ConvertValueTest, TakesTheColumnsSubtypeAndScale) {
  TExpressionPtr money = Bcd(0, 2, stMoney);
  money->Size = 9;
  TExpressionValue value = ValueOf(*Int(12));
  ConvertValue(value, *money);
  EXPECT_EQ(value.SubType, stMoney);
  EXPECT_EQ(value.Size, 9);
  EXPECT_EQ(GetI64(value.Value.data()), 12002);
}

TEST(ConvertValueTest, LeavesNullsStringsAndEqualTypesAlone) {
  struct TCase {
    const char* What;
    TExpressionPtr From, Column;
  };
  const TCase cases[] = {
      {"a NULL", Null(Int(5)), Float(0)},
      {"a String", Str("12"), Int(0)},
      {"the column's type, another scale", Bcd(15000, 1), Bcd(0, 4)},
      {"a pair the rules never meet", Bool(1), Int(0)},
      {"a Date for a Time", Date(1997, 1, 1), Time(0)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TExpressionValue value = ValueOf(*c.From);
    ConvertValue(value, *c.Column);
    EXPECT_EQ(value.DataType, c.From->DataType);
    EXPECT_EQ(value.Scale, c.From->Scale);
    EXPECT_EQ(value.Value, c.From->Value);
  }
}

TEST(ConvertValueTest, ValuesBeyondTheBcdFormRaise) {
  struct TCase {
    const char* What;
    TExpressionPtr From, Column;
  };
  TExpressionPtr damaged = Bcd(0, 2);
  PutI64(damaged->Value.data(), 1239);  // scale digit 9
  const TCase cases[] = {
      {"a Float too large", Float(1e300), Bcd(0, 2)},
      {"a NaN", Float(std::nan("")), Bcd(0, 2)},
      {"an integer at a scale beyond 4", Int(1), Typed(dtBCD, 8, 5)},
      {"a damaged BCD value", CopyExpression(damaged.get()), Float(0)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TExpressionValue value = ValueOf(*c.From);
    EXPECT_THROW(ConvertValue(value, *c.Column), EConvertError);
  }
}

}  // namespace
}  // namespace tarnel
