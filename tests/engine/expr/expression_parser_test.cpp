#include "engine/expr/expression_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/expression_value.h"
#include "expr_nodes.h"
#include "parse_support.h"
#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

using test::Render;
using test::TParseTest;

constexpr int kWhere = pfPredicates | pfParameters;
constexpr int kSelect = pfAggregates | pfAllColumns;

TEST_F(TParseTest, BuildsTreesLeftToRightByPrecedence) {
  struct TCase {
    const char* Text;
    int Flags;
    const char* Tree;
  };
  const TCase cases[] = {
      {"a = 1 OR b = 2 AND c = 3", kWhere, "(OR (= a 1) (AND (= b 2) (= c 3)))"},
      {"a or b or c", kWhere, "(or (or a b) c)"},
      {"10 - 3 - 2", 0, "(- (- 10 3) 2)"},
      {"8 / 4 / 2", 0, "(/ (/ 8 4) 2)"},
      {"1 + 2 * 3 - 4", 0, "(- (+ 1 (* 2 3)) 4)"},
      {"a = b = c", 0, "(= a (= b c))"},
      {"NOT x > 5", kWhere, "(> (NOT x) 5)"},
      {"NOT (x > 5)", kWhere, "(NOT (> x 5))"},
      {"-x * +y", 0, "(* (- x) (+ y))"},
      {"a <> b", 0, "(< > a b)"},
      {"a < > b", 0, "(< > a b)"},
      {"a <= b AND a >= c", 0, "(AND (< = a b) (> = a c))"},
      {"a < b AND a > c", 0, "(AND (< a b) (> a c))"},
      {"a || b + c", 0, "(+ (|| a b) c)"},
      {"a [AND] b", 0, "(AND a b)"},
      {"[Order Date] = [AND]", 0, "(= Order Date AND)"},
      {"x IS NULL", kWhere, "(IS NULL x NULL)"},
      {"x is not null", kWhere, "(is not null x null)"},
      {"x LIKE 'a%'", kWhere, "(LIKE x [a%])"},
      {"x NOT LIKE 'a' || 'b'", kWhere, "(NOT LIKE x [(|| a b)])"},
      {"x BETWEEN 1 AND 5 AND y", kWhere, "(AND (BETWEEN x [1 5]) y)"},
      {"x not between -1 and 1", kWhere, "(not between x [(- 1) 1])"},
      {"x IN (1, -2, 'a')", kWhere, "(IN x [1 (- 2) a])"},
      {"x NOT IN (1)", kWhere, "(NOT IN x [1])"},
      {"a = x IN (1)", kWhere, "(= a (IN x [1]))"},
      {"SUBSTRING(s FROM 3)", 0, "(SUBSTRING s [3])"},
      {"substring(s || t FROM 3 FOR 2)", 0, "(substring (|| s t) [3 2])"},
      {"TRIM(BOTH '*' FROM s)", 0, "(TRIM s [*])"},
      {"TRIM(LEADING 'x' FROM a || b)", 0, "(TRIM (|| a b) [x])"},
      {"EXTRACT(YEAR FROM d) + EXTRACT(DAY FROM d)", 0, "(+ (EXTRACT d) (EXTRACT d))"},
      {"UPPER(a) || LOWER(b)", 0, "(|| (UPPER a) (LOWER b))"},
      {"SUM(x) + COUNT(*) + Avg(y + 1)", kSelect, "(+ (+ (SUM x) (COUNT *)) (Avg (+ y 1)))"},
      {"MIN(a) * MAX(b)", kSelect, "(* (MIN a) (MAX b))"},
      {"t.a + [my table].[c d] + t.*", kSelect, "(+ (+ t.a my table.c d) t.*)"},
      {"x = ?", kWhere, "(= x ?)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Render(Parse(c.Text, c.Flags).get()), c.Tree);
  }
}

TEST_F(TParseTest, SetsTheOperatorCodes) {
  struct TCase {
    const char* Text;
    int32_t Kind, Op;
  };
  const TCase cases[] = {
      {"a = b", nkBinary, opEqual},          {"a <> b", nkBinary, opNotEqual},
      {"a > b", nkBinary, opGreater},        {"a < b", nkBinary, opLess},
      {"a >= b", nkBinary, opGreaterOrEqual}, {"a <= b", nkBinary, opLessOrEqual},
      {"NOT a", nkUnary, opNot},             {"a AND b", nkBinary, opAnd},
      {"a OR b", nkBinary, opOr},            {"-a", nkUnary, opNegate},
      {"+a", nkUnary, opPlus},               {"a + b", nkBinary, opAdd},
      {"a || b", nkBinary, opAdd},           {"a - b", nkBinary, opSubtract},
      {"a * b", nkBinary, opMultiply},       {"a / b", nkBinary, opDivide},
      {"SUM(a)", nkFunction, opSum},         {"COUNT(a)", nkFunction, opCount},
      {"MIN(a)", nkFunction, opMin},         {"MAX(a)", nkFunction, opMax},
      {"AVG(a)", nkFunction, opAvg},         {"a LIKE 'b'", nkPredicate, opLike},
      {"a IN (1)", nkPredicate, opIn},       {"UPPER(a)", nkFunction, opUpper},
      {"LOWER(a)", nkFunction, opLower},     {"a BETWEEN 1 AND 2", nkPredicate, opBetween},
      {"a NOT BETWEEN 1 AND 2", nkPredicate, opNotBetween},
      {"a NOT LIKE 'b'", nkPredicate, opNotLike}, {"a NOT IN (1)", nkPredicate, opNotIn},
      {"SUBSTRING(a FROM 1)", nkFunction, opSubstring},
      {"TRIM(LEADING 'a' FROM a)", nkFunction, opTrimLeading},
      {"TRIM(TRAILING 'a' FROM a)", nkFunction, opTrimTrailing},
      {"TRIM(BOTH 'a' FROM a)", nkFunction, opTrimBoth},
      {"EXTRACT(YEAR FROM a)", nkFunction, opExtractYear},
      {"EXTRACT(MONTH FROM a)", nkFunction, opExtractMonth},
      {"EXTRACT(DAY FROM a)", nkFunction, opExtractDay},
      {"a IS NULL", nkBinary, opEqual},      {"a IS NOT NULL", nkBinary, opNotEqual},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TExpressionPtr tree = Parse(c.Text, kWhere | kSelect);
    EXPECT_EQ(tree->NodeKind, c.Kind);
    EXPECT_EQ(tree->Operator, c.Op);
  }
}

TEST_F(TParseTest, ConditionsAreBooleanAlreadyAfterParsing) {
  struct TCase {
    const char* Text;
    uint8_t Type;
  };
  const TCase cases[] = {
      {"x", kUntyped},           {"NOT x", dtBoolean},   {"x = TRUE", dtBoolean},
      {"a AND b", dtBoolean},    {"x LIKE 'a'", dtBoolean}, {"x IS NULL", dtBoolean},
      {"x + 1", kUntyped},       {"UPPER(x)", dtString},  {"EXTRACT(DAY FROM d)", dtInteger},
      {"SUM(x)", kUntyped},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Parse(c.Text, kWhere | kSelect)->DataType, c.Type);
  }
}

TEST_F(TParseTest, Constants) {
  TExpressionPtr text = Parse("'it''s'", 0);
  EXPECT_EQ(text->NodeKind, nkConstant);
  EXPECT_EQ(text->DataType, dtString);
  EXPECT_EQ(StringOf(text->Value), "it's");
  EXPECT_EQ(text->Size, 5);
  EXPECT_FALSE(text->IsNull);
  for (const char* empty : {"''", "\"\""}) {
    TExpressionPtr null = Parse(empty, 0);
    EXPECT_EQ(null->DataType, dtString);
    EXPECT_TRUE(null->IsNull);
    EXPECT_EQ(null->Size, 1);
  }
  TExpressionPtr integer = Parse("12", 0);
  EXPECT_EQ(integer->DataType, dtInteger);
  EXPECT_EQ(integer->Size, 4);
  EXPECT_EQ(GetI32(integer->Value.data()), 12);
  TExpressionPtr number = Parse("1.5e3", 0);
  EXPECT_EQ(number->DataType, dtFloat);
  EXPECT_EQ(number->Size, 8);
  EXPECT_EQ(GetF64(number->Value.data()), 1500.0);
  TExpressionPtr truth = Parse("TRUE", 0);
  EXPECT_EQ(truth->DataType, dtBoolean);
  EXPECT_EQ(truth->Size, 2);
  EXPECT_EQ(GetU16(truth->Value.data()), 1);
  EXPECT_EQ(GetU16(Parse("false", 0)->Value.data()), 0);
  TExpressionPtr null = Parse("NULL", 0);
  EXPECT_EQ(null->DataType, kUntyped);
  EXPECT_TRUE(null->IsNull);
  TExpressionPtr today = Parse("DATE", 0);
  EXPECT_EQ(today->DataType, dtDate);
  EXPECT_EQ(today->Size, 4);
  EXPECT_EQ(GetI32(today->Value.data()), test::DayNumber(1997, 3, 5));
  TExpressionPtr now = Parse("NOW", 0);
  EXPECT_EQ(now->DataType, dtTimeStamp);
  EXPECT_EQ(now->Size, 8);
  EXPECT_EQ(GetF64(now->Value.data()), test::Moment(1997, 3, 5, 0));
  TExpressionPtr parameter = Parse("?", pfParameters);
  EXPECT_EQ(parameter->NodeKind, nkConstant);
  EXPECT_TRUE(parameter->IsParam);
  EXPECT_EQ(parameter->DataType, kUntyped);
  // A string holds what the value area can: 254 characters.
  TExpressionPtr longText = Parse("'" + std::string(255, 'x') + "'", 0);
  EXPECT_EQ(StringOf(longText->Value).size(), 254u);
  EXPECT_EQ(longText->Size, 255);
}

TEST_F(TParseTest, NumbersThatDoNotConvertRaiseTheConversionError) {
  EXPECT_THROW(Parse("1.2.3", 0), EConvertError);
  EXPECT_THROW(Parse("1e", 0), EConvertError);
  EXPECT_THROW(Parse("4294967296", 0), EConvertError);
  EXPECT_EQ(GetI32(Parse("2147483647", 0)->Value.data()), 2147483647);
}

TEST_F(TParseTest, ColumnReferences) {
  struct TCase {
    const char* Text;
    const char* Name;
    const char* ColumnName;
    const char* TableName;
  };
  const TCase cases[] = {
      {"Name", "Name", "Name", ""},
      {"[Order Date]", "Order Date", "Order Date", ""},
      {"[Date]", "Date", "Date", ""},
      {"[Count]", "Count", "Count", ""},
      {"c.Name", "c.Name", "Name", "c"},
      {"[my table].[my column]", "my table.my column", "my column", "my table"},
      {"'C:\\DATA\\CUSTOMER.DAT'.Name", "C:\\DATA\\CUSTOMER.DAT.Name", "Name", "CUSTOMER"},
      {"'/data/orders.dat'.'Ship Date'", "/data/orders.dat.Ship Date", "Ship Date", "orders"},
      {"x.*", "x.*", "*", "x"},
      {"*", "*", "*", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TExpressionPtr column = Parse(c.Text, pfAllColumns);
    EXPECT_EQ(column->NodeKind, nkColumn);
    EXPECT_EQ(column->Name, c.Name);
    EXPECT_EQ(column->ColumnName, c.ColumnName);
    EXPECT_EQ(column->TableName, c.TableName);
  }
}

TEST_F(TParseTest, Messages) {
  struct TCase {
    const char* Text;
    int Flags;
    const char* Message;
  };
  const TCase cases[] = {
      {"(a", kWhere, "Right parentheses expected, instead found '' in values"},
      {"(a b", kWhere, "Right parentheses expected, instead found 'b' in values"},
      {"SUM(x)", kWhere, "Aggregate functions are not allowed in values"},
      {"count", kWhere, "Aggregate functions are not allowed in values"},
      {"SUM x", kSelect,
       "Left parentheses expectedafter aggregate function 'SUM', instead found 'x' in source "
       "columns"},
      {"Max(x", kSelect,
       "Right parentheses expected after aggregate Max function argument, instead found '' in "
       "source columns"},
      {"LOWER x", kSelect,
       "Left parentheses expectedafter LOWER keyword, instead found 'x' in source columns"},
      {"lower(x y", kSelect,
       "Right parentheses expected after LOWER function argument, instead found 'y' in source "
       "columns"},
      {"UPPER 1", kSelect,
       "Left parentheses expectedafter UPPER keyword, instead found '1' in source columns"},
      {"UPPER(x", kSelect,
       "Right parentheses expected after UPPER function argument, instead found '' in source "
       "columns"},
      {"SUBSTRING x", 0,
       "Left parentheses expected after SUBSTRING keyword, instead found 'x' in values"},
      {"SUBSTRING(x, 3)", 0,
       "FROM keyword expected after first SUBSTRING function argument, instead found ',' in "
       "values"},
      {"SUBSTRING(x FROM 3 FOR 2", 0,
       "Right parentheses expected after SUBSTRING function arguments, instead found '' in "
       "values"},
      {"TRIM x", 0, "Left parentheses expected after TRIM keyword, instead found 'x' in values"},
      {"TRIM('a' FROM x)", 0,
       "LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found 'a' in "
       "values"},
      {"TRIM(BOTH 'a' x)", 0,
       "FROM keyword expected after second TRIM function argument, instead found 'x' in values"},
      {"TRIM(BOTH 'a' FROM x", 0,
       "Right parentheses expected after TRIM function arguments, instead found '' in values"},
      {"EXTRACT x", 0,
       "Left parentheses expected after EXTRACT keyword, instead found 'x' in values"},
      {"EXTRACT(HOUR FROM x)", 0,
       "YEAR, MONTH, or DAY keyword expected after EXTRACT keyword, instead found 'HOUR' in "
       "values"},
      {"EXTRACT(YEAR x)", 0,
       "FROM keyword expected after second EXTRACT function argument, instead found 'x' in "
       "values"},
      {"EXTRACT(YEAR FROM x", 0,
       "Right parentheses expected after EXTRACT function arguments, instead found '' in values"},
      {"foo(1)", 0, "Unknown or unexpected function 'foo' found in values"},
      {"t.1", 0,
       "Symbol or string expression expected after table correlation name separator '.', "
       "instead found '1' in values"},
      {"t.[c]", 0,
       "Symbol or string expression expected after table correlation name separator '.', "
       "instead found 'c' in values"},
      {"t.*", 0, "* (all columns) symbol is not allowed in values"},
      {"*", 0, "* (all columns) symbol is not allowed in values"},
      {"?", 0, "Parameters are not allowed in values"},
      {")", 0, "Unknown or unexpected symbol ')' found in values"},
      {"", 0, "Unknown or unexpected symbol '' found in values"},
      {"- -x", 0, "Unknown or unexpected symbol '-' found in values"},
      {"NOT", kWhere, "Unknown or unexpected symbol '' found in values"},
      {"a | b", 0,
       "Second concatenation symbol '|' expected after first concatentation symbol, instead "
       "found 'b' in values"},
      {"a LIKE 'x'", kSelect,
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in source "
       "columns"},
      {"a IS NULL", 0,
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in values"},
      {"a NOT IN (1)", 0,
       "Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in values"},
      {"a BETWEEN 1 OR 2", kWhere,
       "Expected AND operator in BETWEEN operator, instead found 'OR' in values"},
      {"a IN 1", kWhere, "Expected left parentheses after IN operator, instead found '1' in values"},
      {"a NOT IN 1", kWhere,
       "Expected left parentheses for IN operator, instead found '1' in values"},
      {"a IN (1, 2", kWhere,
       "Expected right parentheses after IN operator, instead found '' in values"},
      {"a IS 5", kWhere, "Unknown or unexpected symbol '5' found in values"},
      {"a IS NOT 5", kWhere, "Unknown or unexpected symbol '5' found in values"},
      {"a NOT 5", kWhere, "Unknown or unexpected symbol '5' in values"},
      {"/* a */ /* b */ x", 0, "Unknown or unexpected symbol '/' found in values"},
      {"x IN (a + 1, 2)", kWhere,
       "Constant expression expected after IN operator, instead found '+' in values"},
      {"x BETWEEN a * 2 AND 3", kWhere,
       "Constant expression expected after BETWEEN operator, instead found '*' in values"},
      {"SUBSTRING(x FROM (1 + 2) FOR 3)", 0,
       "FROM argument of SUBSTRING function must be an integer constant in values"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const char* context = c.Flags == kSelect ? "source columns" : "values";
    EXPECT_EQ(SqlMessageOf([&] { Parse(c.Text, c.Flags, context); }), c.Message);
  }
}

TEST_F(TParseTest, NestingIsBoundedAndReportedAsAnError) {
  auto repeat = [](const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
  };
  const std::string deep = "Expression nesting exceeds maximum depth of 256 levels in values";
  const std::string cases[] = {
      repeat("(", 5000) + "x" + repeat(")", 5000),
      "x" + repeat(" + x", 5000),
      repeat("x = ", 5000) + "x",
      repeat("UPPER(", 5000) + "x" + repeat(")", 5000),
      repeat("EXTRACT(YEAR FROM ", 5000) + "x" + repeat(")", 5000),
      repeat("-(", 5000) + "x" + repeat(")", 5000),
      "x" + repeat(" AND x", 300),
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(SqlMessageOf([&] { Parse(text, kWhere, "values"); }), deep);
  }
  EXPECT_EQ(Render(Parse(repeat("(", 100) + "x" + repeat(")", 100), 0).get()), "x");
  EXPECT_NE(Parse("x" + repeat(" + x", 250), 0), nullptr);
}

TEST_F(TParseTest, LeavesTheFirstTokenAfterTheExpressionCurrent) {
  FParser.SetText("a + b AS total FROM t");
  FParser.NextToken();
  FParser.MarkExpressionStart();
  TExpressionPtr tree = FParser.ParseCondition(kSelect, "source columns");
  EXPECT_TRUE(FParser.IsKeyword("AS"));
  EXPECT_EQ(FParser.ExpressionText(), "a + b");
  FParser.SetText("SET a = 1");
  FParser.NextToken();
  FParser.NextToken();
  tree = FParser.ParsePrimary(0, "table columns");
  EXPECT_EQ(tree->ColumnName, "a");
  EXPECT_TRUE(FParser.IsToken('='));
}

TEST(CorrelationNameTest, IsTheFileNameWithoutExtension) {
  EXPECT_EQ(CorrelationNameOf("C:\\DATA\\CUSTOMER.DAT"), "CUSTOMER");
  EXPECT_EQ(CorrelationNameOf("D:orders"), "orders");
  EXPECT_EQ(CorrelationNameOf("/srv/t.v1.dat"), "t.v1");
  EXPECT_EQ(CorrelationNameOf("t"), "t");
}

}  // namespace
}  // namespace tarnel
