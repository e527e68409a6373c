#include "engine/expr/evaluate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "engine/base/byte_order.h"
#include "engine/expr/expression_value.h"
#include "expr_nodes.h"
#include "platform/rtl/exception.h"

namespace {

// Heap allocations made by this thread while counting; the evaluator must make none.
thread_local bool gCounting = false;
thread_local int gAllocations = 0;

}  // namespace

void* operator new(std::size_t size) {
  if (gCounting) ++gAllocations;
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace tarnel {
namespace {

using namespace tarnel::test;

constexpr uint16_t kEnglish = 0x0409;

TExpressionValue Eval(const TExpressionPtr& tree, uint16_t language = 0) {
  return EvaluateExpression(*tree, nullptr, language, 0, nullptr);
}

bool Truth(const TExpressionPtr& tree, uint16_t language = 0) {
  TExpressionValue value = Eval(tree, language);
  EXPECT_FALSE(value.IsNull);
  return IsTrue(value);
}

std::string Text(const TExpressionValue& value) { return std::string(StringOf(value.Value)); }

// The stored scale digit of a BCD result.
int BcdScaleOf(const TExpressionValue& value) {
  return static_cast<int>(std::abs(GetI64(value.Value.data()) % 10));
}

TEST(EvaluateTest, Arithmetic) {
  struct TCase {
    const char* What;
    TExpressionPtr Tree;
    uint8_t Type;
    double Number;  // the value as DoubleOf reads it: days, milliseconds, amounts
    bool IsNull = false;
  };
  const TCase cases[] = {
      {"10 / 4 is the Float 2.5", Binary(opDivide, Int(10), Int(4)), dtFloat, 2.5},
      {"7 / 0 is NULL", Binary(opDivide, Int(7), Int(0)), dtFloat, 0, true},
      {"Float / 0.0 is NULL", Binary(opDivide, Float(1), Float(0)), dtFloat, 0, true},
      {"BCD / BCD zero is NULL", Binary(opDivide, Bcd(15000, 1), Bcd(0, 2)), dtBCD, 0, true},
      {"Word 3 - SmallInt 5 is the Word 65534", Binary(opSubtract, Word(3), Small(5)), dtWord,
       65534},
      {"Word 3 + SmallInt -5 is the Integer -2", Binary(opAdd, Word(3), Small(-5)), dtInteger, -2},
      {"Word times SmallInt is an Integer", Binary(opMultiply, Word(300), Small(300)), dtInteger,
       90000},
      {"SmallInt 32767 + 1 leaves 16 bits", Binary(opAdd, Small(32767), Small(1)), dtInteger,
       32768},
      {"Integer addition wraps in 32 bits", Binary(opAdd, Int(2147483647), Int(1)), dtInteger,
       -2147483648.0},
      {"Integer products wrap in 32 bits", Binary(opMultiply, Int(65536), Int(65537)), dtInteger,
       65536},
      {"Integer - Integer", Binary(opSubtract, Int(3), Int(5)), dtInteger, -2},
      {"Integer + Float", Binary(opAdd, Int(2), Float(1.5)), dtFloat, 3.5},
      {"BCD 1.50 x Integer 3 is 4.50", Binary(opMultiply, Bcd(15000, 2), Int(3)), dtBCD, 4.5},
      {"BCD 1.5 + Float 0.25 is the Float 1.75", Binary(opAdd, Bcd(15000, 1), Float(0.25)),
       dtFloat, 1.75},
      {"BCD 1.5 - Integer 2", Binary(opSubtract, Bcd(15000, 1), Int(2)), dtBCD, -0.5},
      {"Integer 2 + BCD 0.25", Binary(opAdd, Int(2), Bcd(2500, 2)), dtBCD, 2.25},
      {"BCD / Integer", Binary(opDivide, Bcd(100000, 2), Int(4)), dtBCD, 2.5},
      {"Integer / BCD", Binary(opDivide, Int(3), Bcd(15000, 1)), dtBCD, 2},
      {"BCD / BCD at the left scale", Binary(opDivide, Bcd(10000, 2), Bcd(30000, 4)), dtBCD,
       0.33},
      {"BCD x BCD", Binary(opMultiply, Bcd(12500, 2), Bcd(11000, 1)), dtBCD, 1.38},
      {"fixed-point ties go to even: 0.0003 x 0.5", Binary(opMultiply, Bcd(3, 4), Bcd(5000, 1)),
       dtBCD, 0.0002},
      {"fixed-point ties go to even: 0.0001 x 0.5", Binary(opMultiply, Bcd(1, 4), Bcd(5000, 1)),
       dtBCD, 0},
      {"Float - BCD", Binary(opSubtract, Float(2), Bcd(5000, 1)), dtFloat, 1.5},
      {"Date + 30 days", Binary(opAdd, Date(1997, 1, 2), Int(30)), dtDate,
       static_cast<double>(DayNumber(1997, 2, 1))},
      {"1 + Date", Binary(opAdd, Small(1), Date(1996, 2, 28)), dtDate,
       static_cast<double>(DayNumber(1996, 2, 29))},
      {"Date - Integer", Binary(opSubtract, Date(1997, 3, 1), Word(1)), dtDate,
       static_cast<double>(DayNumber(1997, 2, 28))},
      {"Date - Date is an Integer of days", Binary(opSubtract, Date(1997, 3, 1), Date(1997, 1, 2)),
       dtInteger, 58},
      {"Time + 1000 is one second later", Binary(opAdd, Time(3600000), Int(1000)), dtTime,
       3601000},
      {"Time does not wrap at midnight", Binary(opAdd, Time(86399000), Int(2000)), dtTime,
       86401000},
      {"Time - Time is an Integer of milliseconds", Binary(opSubtract, Time(5000), Time(7500)),
       dtInteger, -2500},
      {"Timestamp + 1 keeps the time of day", Binary(opAdd, Stamp(1997, 1, 2, 1234), Int(1)),
       dtTimeStamp, Moment(1997, 1, 3, 1234)},
      {"Timestamp - 2 days", Binary(opSubtract, Stamp(1997, 1, 2, 5), Small(2)), dtTimeStamp,
       Moment(1996, 12, 31, 5)},
      {"Timestamp - Date is days to its date",
       Binary(opSubtract, Stamp(1997, 1, 12, 80000000), Date(1997, 1, 2)), dtInteger, 10},
      {"Timestamp - Time is milliseconds to its time of day",
       Binary(opSubtract, Stamp(1997, 1, 12, 80000000), Time(1000)), dtInteger, 79999000},
      {"Timestamp - Timestamp is a Float of milliseconds",
       Binary(opSubtract, Stamp(1997, 1, 3, 0), Stamp(1997, 1, 2, 1)), dtFloat, 86399999},
      {"a NULL operand counts with its stored value", Binary(opAdd, Null(Int(5)), Int(1)),
       dtInteger, 6},
      {"a pair outside the rules gives zero", Binary(opMultiply, Date(1997, 1, 2), Int(2)),
       kUntyped, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TExpressionValue value = Eval(c.Tree);
    EXPECT_EQ(value.DataType, c.Type);
    EXPECT_EQ(value.IsNull, c.IsNull);
    EXPECT_DOUBLE_EQ(DoubleOf(value), c.Number);
  }
}

TEST(EvaluateTest, BcdResultsTakeTheScaleOfTheBcdOperand) {
  struct TCase {
    TExpressionPtr Tree;
    int Scale;
  };
  const TCase cases[] = {
      {Binary(opMultiply, Bcd(15000, 2), Int(3)), 2},
      {Binary(opAdd, Int(1), Bcd(15000, 1)), 1},
      {Binary(opDivide, Bcd(10000, 2), Bcd(30000, 4)), 2},
      {Unary(opNegate, Bcd(12345, 3)), 3},
  };
  for (const TCase& c : cases) EXPECT_EQ(BcdScaleOf(Eval(c.Tree)), c.Scale);
}

TEST(EvaluateTest, UnaryOperators) {
  struct TCase {
    const char* What;
    TExpressionPtr Tree;
    double Number;
  };
  const TCase cases[] = {
      {"negated Integer", Unary(opNegate, Int(5)), -5},
      {"negated SmallInt wraps in 16 bits", Unary(opNegate, Small(-32768)), -32768},
      {"negated Float", Unary(opNegate, Float(2.5)), -2.5},
      {"negated BCD", Unary(opNegate, Bcd(12345, 3)), -1.235},
      {"negated Date", Unary(opNegate, Date(1, 1, 1)), -1},
      {"unary plus on a Word", Unary(opPlus, Word(65535)), 65535},
      {"negation refuses a Word", Unary(opNegate, Word(7)), 0},
      {"NOT true", Unary(opNot, Bool(1)), 0},
      {"NOT of any non-zero value", Unary(opNot, Bool(2)), 0},
      {"NOT false", Unary(opNot, Bool(0)), 1},
      {"null test on a NULL", Unary(opIsNull, Null(Int(3))), 1},
      {"not-null test on a NULL", Unary(opNotNull, Null(Int(3))), 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_DOUBLE_EQ(DoubleOf(Eval(c.Tree)), c.Number);
  }
}

TEST(EvaluateTest, Comparisons) {
  struct TCase {
    const char* What;
    TExpressionPtr Tree;
    bool Expected;
    uint16_t Language = 0;
  };
  const TCase cases[] = {
      {"Date 2 Jan = Timestamp 2 Jan 00:00:00.000",
       Binary(opEqual, Date(1997, 1, 2), Stamp(1997, 1, 2, 0)), true},
      {"Date 2 Jan < Timestamp 2 Jan 00:00:00.001",
       Binary(opLess, Date(1997, 1, 2), Stamp(1997, 1, 2, 1)), true},
      {"Timestamp > Date", Binary(opGreater, Stamp(1997, 1, 2, 1), Date(1997, 1, 2)), true},
      {"Date <= Date", Binary(opLessOrEqual, Date(1997, 1, 2), Date(1997, 1, 2)), true},
      {"Time <> Time", Binary(opNotEqual, Time(1), Time(2)), true},
      {"both NULL are equal", Binary(opEqual, Null(Int(1)), Null(Int(2))), true},
      {"one NULL is not equal", Binary(opEqual, Null(Int(5)), Int(5)), false},
      {"one NULL differs", Binary(opNotEqual, Int(5), Null(Int(5))), true},
      {"both NULL do not differ", Binary(opNotEqual, Null(Str("")), Null(Str(""))), false},
      {"col = NULL literal", Binary(opEqual, Null(Int(0)), Null(Typed(kUntyped, 0))), true},
      {"x > 0 with x NULL compares the stored bytes", Binary(opGreater, Null(Int(7)), Int(0)),
       true},
      {"Word zero-extends", Binary(opGreater, Word(65535), Small(-1)), true},
      {"Integer = Float", Binary(opEqual, Int(2), Float(2.0)), true},
      {"BCD = Float", Binary(opEqual, Bcd(15000, 2), Float(1.5)), true},
      {"BCD = Integer", Binary(opEqual, Bcd(20000, 2), Small(2)), true},
      {"BCD < BCD of another scale", Binary(opLess, Bcd(12340, 4), Bcd(12500, 2)), true},
      {"Booleans by truth value", Binary(opEqual, Bool(2), Bool(1)), true},
      {"Booleans are not ordered", Binary(opGreater, Bool(1), Bool(0)), false},
      {"a proper prefix sorts first", Binary(opLess, Str("ab"), Str("abc")), true},
      {"bytes unsigned", Binary(opGreater, Str("\xE9"), Str("z")), true},
      {"bytes: upper case first", Binary(opLess, Str("B"), Str("a")), true},
      {"equal strings", Binary(opEqual, Str("abc"), Str("abc")), true},
      {"the locale: a before B", Binary(opLess, Str("a"), Str("B")), true, kEnglish},
      {"the locale: e-acute before f", Binary(opLess, Str("\xE9"), Str("f")), true, kEnglish},
      {"the locale tells case apart", Binary(opEqual, Str("abc"), Str("ABC")), false, kEnglish},
      {"an unordered pair: =", Binary(opEqual, Date(1, 1, 1), Int(1)), false},
      {"an unordered pair: <>", Binary(opNotEqual, Date(1, 1, 1), Int(1)), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(Truth(c.Tree, c.Language), c.Expected);
  }
}

TExpressionPtr CompareNode(int32_t op, const std::string& left, const std::string& right,
                           uint8_t partialLength, bool caseInsensitive) {
  auto node = std::make_unique<TExpressionNode>();
  node->NodeKind = nkCompare;
  node->Operator = op;
  node->DataType = dtBoolean;
  node->PartialLength = partialLength;
  node->CaseInsensitive = caseInsensitive;
  node->Left = Str(left);
  node->Right = Str(right);
  return node;
}

TEST(EvaluateTest, CompareNodes) {
  struct TCase {
    TExpressionPtr Tree;
    bool Expected;
  };
  for (uint16_t language : {uint16_t{0}, kEnglish}) {
    SCOPED_TRACE(language);
    const TCase cases[] = {
        {CompareNode(opEqual, "SMITH", "SM", 2, false), true},
        {CompareNode(opEqual, "smith", "SM", 2, false), false},
        {CompareNode(opEqual, "smith", "SM", 2, true), true},
        {CompareNode(opNotEqual, "smith", "SM", 2, true), false},
        {CompareNode(opEqual, "S", "SM", 2, false), false},
        {CompareNode(opEqual, "SMITH", "SM", 0, false), false},
        {CompareNode(opEqual, "Smith", "SMITH", 0, true), true},
        {CompareNode(opEqual, "", "", 0, false), true},
        {CompareNode(opNotEqual, "", "SM", 2, false), true},
    };
    for (const TCase& c : cases) {
      SCOPED_TRACE(StringOf(c.Tree->Left->Value));
      EXPECT_EQ(Truth(c.Tree, language), c.Expected);
    }
  }
  TExpressionPtr numbers = CompareNode(opEqual, "1", "1", 0, false);
  numbers->Left = Int(1);
  numbers->Right = Int(1);
  EXPECT_FALSE(Truth(numbers));
}

TEST(EvaluateTest, LogicalOperatorsLookAtTheRightOperandFirst) {
  int fetched = 0;
  TFetchColumn fetch = [&](const TExpressionNode& column, const void*, TExpressionValue& value) {
    ++fetched;
    PutU16(value.Value.data(), column.FieldNo);
  };
  struct TCase {
    int32_t Op;
    uint16_t Left, Right;
    bool Expected;
    int Fetched;
  };
  const TCase cases[] = {
      {opAnd, 1, 0, false, 1}, {opAnd, 1, 1, true, 2}, {opAnd, 0, 1, false, 2},
      {opOr, 0, 1, true, 1},   {opOr, 0, 0, false, 2}, {opOr, 1, 0, true, 2},
  };
  for (const TCase& c : cases) {
    fetched = 0;
    TExpressionPtr tree =
        Binary(c.Op, Column(Bool(0), c.Left), Column(Bool(0), c.Right));
    EXPECT_EQ(IsTrue(EvaluateExpression(*tree, nullptr, 0, 0, &fetch)), c.Expected);
    EXPECT_EQ(fetched, c.Fetched);
  }
}

TEST(EvaluateTest, ColumnsAreFetchedFromTheRecordGiven) {
  const int32_t record[] = {10, 20, 30};
  TFetchColumn fetch = [](const TExpressionNode& column, const void* image,
                          TExpressionValue& value) {
    PutI32(value.Value.data(), static_cast<const int32_t*>(image)[column.FieldNo]);
    value.IsNull = column.FieldNo == 0;
  };
  TExpressionPtr sum = Binary(opAdd, Column(Int(0), 1), Column(Int(0), 2));
  EXPECT_EQ(GetI32(EvaluateExpression(*sum, record, 0, 0, &fetch).Value.data()), 50);
  TExpressionPtr column = Column(Int(0), 0);
  EXPECT_TRUE(EvaluateExpression(*column, record, 0, 0, &fetch).IsNull);
  // Without a fetch a column keeps what its node holds.
  TExpressionPtr stored = Column(Int(77), 2);
  EXPECT_EQ(GetI32(Eval(stored).Value.data()), 77);
}

TEST(EvaluateTest, ValueNodeIsAChildlessConstant) {
  TExpressionPtr sum = Binary(opAdd, Int(2), Int(3));
  sum->Name = "+";
  TExpressionPtr node = ValueNode(*sum, Eval(sum));
  EXPECT_EQ(node->NodeKind, nkConstant);
  EXPECT_EQ(node->Name, "+");
  EXPECT_EQ(node->Left, nullptr);
  EXPECT_EQ(node->Right, nullptr);
  EXPECT_EQ(node->DataType, dtInteger);
  EXPECT_EQ(GetI32(node->Value.data()), 5);
}

TEST(EvaluateTest, StringFunctions) {
  auto substring = [](const std::string& text, int32_t from, int32_t count) {
    TExpressionPtr bounds = Int(from);
    if (count >= 0) bounds->Right = Int(count);
    return Call(nkFunction, opSubstring, dtString, Str(text), std::move(bounds));
  };
  auto trim = [](int32_t op, const std::string& character, const std::string& text) {
    return Call(nkFunction, op, dtString, Str(text), Str(character));
  };
  struct TCase {
    const char* What;
    TExpressionPtr Tree;
    std::string Expected;
    uint16_t Language = 0;
  };
  const std::string longText(254, 'x');
  const TCase cases[] = {
      {"SUBSTRING FROM 3", substring("abcdef", 3, -1), "cdef"},
      {"SUBSTRING FROM 3 FOR 2", substring("abcdef", 3, 2), "cd"},
      {"SUBSTRING beyond the end", substring("abc", 5, -1), ""},
      {"SUBSTRING FOR past the end", substring("abc", 2, 10), "bc"},
      {"TRIM BOTH", trim(opTrimBoth, "*", "**a*b**"), "a*b"},
      {"TRIM LEADING all", trim(opTrimLeading, "x", "xxx"), ""},
      {"TRIM LEADING", trim(opTrimLeading, "x", "xxaxx"), "axx"},
      {"TRIM TRAILING", trim(opTrimTrailing, "x", "xxaxx"), "xxa"},
      {"UPPER a to z only", Call(nkFunction, opUpper, dtString, Str("ab\xE9z")), "AB\xE9Z"},
      {"LOWER A to Z only", Call(nkFunction, opLower, dtString, Str("AB\xC9Z")), "ab\xC9z"},
      {"UPPER by the locale", Call(nkFunction, opUpper, dtString, Str("ab\xE9z")), "AB\xC9Z",
       kEnglish},
      {"LOWER by the locale", Call(nkFunction, opLower, dtString, Str("AB\xC9Z")), "ab\xE9z",
       kEnglish},
      {"concatenation", Binary(opAdd, Str("ab"), Str("cd")), "abcd"},
      {"a long concatenation stops at the value area",
       Binary(opAdd, Str(longText), Str("yz")), longText},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(Text(Eval(c.Tree, c.Language)), c.Expected);
  }
  // The string functions keep their argument's NULL.
  EXPECT_TRUE(Eval(Call(nkFunction, opUpper, dtString, Str(""))).IsNull);
  EXPECT_TRUE(Eval(trim(opTrimBoth, "x", "")).IsNull);
}

TEST(EvaluateTest, ExtractGivesCalendarParts) {
  struct TCase {
    int32_t Op;
    TExpressionPtr Moment;
    int32_t Expected;
  };
  const TCase cases[] = {
      {opExtractYear, Date(1997, 3, 5), 1997},
      {opExtractMonth, Date(1997, 3, 5), 3},
      {opExtractDay, Date(1997, 3, 5), 5},
      {opExtractYear, Stamp(2000, 2, 29, 86399999), 2000},
      {opExtractMonth, Stamp(2000, 2, 29, 86399999), 2},
      {opExtractDay, Stamp(2000, 2, 29, 86399999), 29},
      {opExtractDay, Null(Date(1, 1, 1)), 1},
  };
  for (const TCase& c : cases) {
    TExpressionValue value = Eval(Call(nkFunction, c.Op, dtInteger, CopyExpression(c.Moment.get())));
    EXPECT_EQ(GetI32(value.Value.data()), c.Expected);
    EXPECT_FALSE(value.IsNull);
  }
}

TEST(EvaluateTest, Like) {
  struct TCase {
    std::string Text, Pattern;
    bool Expected;
  };
  const TCase cases[] = {
      {"ab", "a%", true},     {"a", "a%", true},      {"abc", "_b_", true},
      {"a", "a%%", false},    {"ab", "a%%", true},    {"ABC", "abc", false},
      {"abc", "%c", true},    {"abc", "%b", false},   {"abc", "a_", false},
      {"abc", "%", true},     {"a%c", "a%c", true},   {"abc", "a%b%c", true},
      {"abcd", "_%_", true},  {"ab", "___", false},   {"xyz", "x%%z", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text + " LIKE " + c.Pattern);
    EXPECT_EQ(Truth(Call(nkPredicate, opLike, dtBoolean, Str(c.Text), Str(c.Pattern))),
              c.Expected);
    EXPECT_EQ(Truth(Call(nkPredicate, opNotLike, dtBoolean, Str(c.Text), Str(c.Pattern))),
              !c.Expected);
  }
  // With a NULL operand LIKE is false and NOT LIKE true.
  EXPECT_FALSE(Truth(Call(nkPredicate, opLike, dtBoolean, Null(Str("x")), Str("x"))));
  EXPECT_TRUE(Truth(Call(nkPredicate, opNotLike, dtBoolean, Null(Str("x")), Str("x"))));
  EXPECT_FALSE(Truth(Call(nkPredicate, opLike, dtBoolean, Str("x"), Str(""))));
}

TEST(EvaluateTest, LikeWithManyWildcardsEndsQuickly) {
  std::string pattern;
  for (int i = 0; i < 40; ++i) pattern += "%a";
  pattern += "%b";
  TExpressionPtr like =
      Call(nkPredicate, opLike, dtBoolean, Str(std::string(250, 'a')), Str(pattern));
  EXPECT_FALSE(Truth(like));
}

TEST(EvaluateTest, InAndBetween) {
  auto list = [](TExpressionPtr first, TExpressionPtr second, TExpressionPtr third) {
    return Chain(Chain(std::move(first), std::move(second)), std::move(third));
  };
  struct TCase {
    const char* What;
    int32_t Op;
    TExpressionPtr Left, Operands;
    bool Expected;
  };
  const TCase cases[] = {
      {"3 IN (1, 2, 3)", opIn, Int(3), list(Int(1), Int(2), Small(3)), true},
      {"4 IN (1, 2, 3)", opIn, Int(4), list(Int(1), Int(2), Int(3)), false},
      {"4 NOT IN (1, 2, 3)", opNotIn, Int(4), list(Int(1), Int(2), Int(3)), true},
      {"-2 IN (1, -2, 3)", opIn, Int(-2), list(Int(1), Unary(opNegate, Int(2)), Int(3)), true},
      {"NULL IN (1, NULL) by the NULL rule", opIn, Null(Int(1)),
       Chain(Int(1), Null(Typed(kUntyped, 0))), true},
      {"5 BETWEEN 1 AND 5", opBetween, Int(5), Chain(Int(1), Int(5)), true},
      {"6 BETWEEN 1 AND 5", opBetween, Int(6), Chain(Int(1), Int(5)), false},
      {"0 BETWEEN 1 AND 5", opBetween, Int(0), Chain(Int(1), Int(5)), false},
      {"6 NOT BETWEEN 1 AND 5", opNotBetween, Int(6), Chain(Int(1), Int(5)), true},
      {"a NULL between its stored bounds", opBetween, Null(Int(0)), Chain(Int(-1), Int(1)),
       true},
      {"'b' BETWEEN 'a' AND 'c'", opBetween, Str("b"), Chain(Str("a"), Str("c")), true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TExpressionPtr tree = Call(nkPredicate, c.Op, dtBoolean, CopyExpression(c.Left.get()),
                               CopyExpression(c.Operands.get()));
    EXPECT_EQ(Truth(tree), c.Expected);
  }
}

TEST(EvaluateTest, LongInListsNeedNoDeepRecursion) {
  TExpressionPtr head = Int(0);
  TExpressionNode* last = head.get();
  for (int32_t i = 1; i < 100000; ++i) {
    last->Right = Int(i);
    last = last->Right.get();
  }
  TExpressionPtr in = Call(nkPredicate, opIn, dtBoolean, Int(99999), std::move(head));
  TExpressionPtr copy = CopyExpression(in.get());
  EXPECT_TRUE(Truth(copy));
}

TEST(EvaluateTest, DeepTreesAreFreedWithoutRecursion) {
  TExpressionPtr tree = Int(0);
  for (int i = 0; i < 100000; ++i) {
    tree = Binary(i % 2 == 0 ? opAdd : opSubtract, std::move(tree), Int(1));
    if (i % 3 == 0) tree = Binary(opAdd, Int(1), std::move(tree));
  }
  FreeExpression(tree);
  EXPECT_EQ(tree, nullptr);
}

TEST(EvaluateTest, OrdinaryOperatorsAllocateNothing) {
  TFetchColumn fetch = [](const TExpressionNode& column, const void*, TExpressionValue& value) {
    if (column.DataType == dtString) {
      PutString(value.Value, "Smith");
    } else {
      PutI32(value.Value.data(), 42);
    }
  };
  TExpressionPtr condition = Binary(
      opAnd,
      Binary(opOr, Call(nkPredicate, opLike, dtBoolean, Column(Str("x"), 1), Str("S%h")),
             Binary(opGreater, Binary(opMultiply, Column(Int(0), 2), Bcd(15000, 2)),
                    Float(3.25))),
      Binary(opEqual, Call(nkFunction, opUpper, dtString, Column(Str("x"), 1)), Str("SMITH")));
  for (uint16_t language : {uint16_t{0}, kEnglish}) {
    SCOPED_TRACE(language);
    EvaluateExpression(*condition, nullptr, language, 0, &fetch);  // the locale's first use
    gAllocations = 0;
    gCounting = true;
    TExpressionValue value = EvaluateExpression(*condition, nullptr, language, 0, &fetch);
    gCounting = false;
    EXPECT_TRUE(IsTrue(value));
    EXPECT_EQ(gAllocations, 0);
  }
}

TEST(EvaluateTest, BcdBeyondItsFormRaisesTheConversionError) {
  TExpressionPtr product =
      Binary(opMultiply, Bcd(900000000000000000, 0), Bcd(900000000000000000, 0));
  EXPECT_THROW(Eval(product), EConvertError);
}

}  // namespace
}  // namespace tarnel
