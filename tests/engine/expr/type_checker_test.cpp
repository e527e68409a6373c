#include "engine/expr/type_checker.h"

#include <gtest/gtest.h>
#include <strings.h>

#include <string>
#include <vector>

#include "engine/base/byte_order.h"
#include "engine/base/field_desc.h"
#include "engine/expr/evaluate.h"
#include "engine/expr/expression_value.h"
#include "expr_nodes.h"
#include "parse_support.h"
#include "test_columns.h"

namespace tarnel {
namespace {

using test::DayNumber;
using test::kColumnCount;
using test::kColumns;
using test::Render;

constexpr int kWhere = pfPredicates | pfParameters;
constexpr int kSelect = pfAggregates | pfAllColumns;
const std::string kWhereContext = "WHERE or JOIN clause";

class TypeCheckerTest : public test::TParseTest {
 protected:
  void SetUp() override {
    TParseTest::SetUp();
    FRecord.resize(kColumnCount + 1);
  }

  TExpressionPtr Checked(const std::string& text, int flags = kWhere,
                         const std::string& context = kWhereContext) {
    TExpressionPtr tree = Parse(text, flags, context);
    CheckExpression(kErrSql, context, *tree, FResolve);
    return tree;
  }

  std::string MessageOf(const std::string& text, int flags = kWhere,
                        const std::string& context = kWhereContext) {
    return SqlMessageOf([&] { Checked(text, flags, context); });
  }

  // The field's value in the test record.
  TExpressionValue& Field(const char* name) {
    for (size_t i = 0; i < kColumnCount; ++i) {
      if (::strcasecmp(kColumns[i].Name, name) == 0) {
        FRecord[i + 1].DataType = kColumns[i].Type;
        return FRecord[i + 1];
      }
    }
    ADD_FAILURE() << name;
    return FRecord[0];
  }
  void SetInteger(const char* name, int32_t value) { PutI32(Field(name).Value.data(), value); }
  void SetString(const char* name, const std::string& text) { PutString(Field(name).Value, text); }

  TExpressionValue Evaluate(const TExpressionNode& tree) {
    return EvaluateExpression(tree, &FRecord, 0, 0, &FFetch);
  }

  TResolveColumn FResolve = test::ResolveTestColumn;
  TFetchColumn FFetch = [](const TExpressionNode& column, const void* record,
                           TExpressionValue& value) {
    const auto& fields = *static_cast<const std::vector<TExpressionValue>*>(record);
    value.Value = fields[column.FieldNo].Value;
    value.IsNull = fields[column.FieldNo].IsNull;
  };
  std::vector<TExpressionValue> FRecord;
};

TEST_F(TypeCheckerTest, CheckedTreesEvaluate) {
  TExpressionPtr difference = Checked("10 - 3 - 2", 0);
  EXPECT_EQ(difference->DataType, dtInteger);
  EXPECT_EQ(GetI32(Evaluate(*difference).Value.data()), 5);
  TExpressionPtr quotient = Checked("8 / 4 / 2", 0);
  EXPECT_EQ(quotient->DataType, dtFloat);
  EXPECT_EQ(GetF64(Evaluate(*quotient).Value.data()), 1.0);
  EXPECT_TRUE(Evaluate(*Checked("7 / 0", 0)).IsNull);

  TExpressionPtr condition = Checked("n = 1 OR k = 2 AND w = 3");
  SetInteger("n", 1);
  EXPECT_TRUE(IsTrue(Evaluate(*condition)));
  SetInteger("n", 0);
  PutU16(Field("k").Value.data(), 2);
  EXPECT_FALSE(IsTrue(Evaluate(*condition)));
  PutU16(Field("w").Value.data(), 3);
  EXPECT_TRUE(IsTrue(Evaluate(*condition)));

  SetString("Name", "Smithers");
  SetInteger("n", 7);
  PutI32(Field("d").Value.data(), DayNumber(1997, 3, 4));
  EXPECT_TRUE(IsTrue(Evaluate(
      *Checked("Name LIKE 'Smi%' AND n BETWEEN 1 AND 10 AND d < DATE AND n IN (3, 7)"))));
}

TEST_F(TypeCheckerTest, ResultTypes) {
  struct TCase {
    const char* Text;
    uint8_t Type, Size, Scale, SubType;
  };
  const TCase cases[] = {
      {"s || s2", dtString, 51, 0, 0},
      {"s + s + s + s + s + s + s + s + s", dtString, 255, 0, 0},
      {"n + k", dtInteger, 4, 0, 0},
      {"w - k", dtWord, 2, 0, 0},
      {"b * n", dtBCD, 8, 2, 0},
      {"m + n", dtFloat, 8, 0, stMoney},
      {"n - m", dtFloat, 8, 0, 0},
      {"n * m", dtFloat, 8, 0, stMoney},
      {"d - d", dtInteger, 4, 0, 0},
      {"ts - ts", dtFloat, 8, 0, 0},
      {"f > n", dtBoolean, 8, 0, 0},
      {"-b", dtBCD, 8, 2, 0},
      {"-m", dtFloat, 8, 0, stMoney},
      {"NOT flag", dtBoolean, 2, 0, 0},
      {"UPPER(s)", dtString, 31, 0, 0},
      {"LOWER(s2)", dtString, 21, 0, 0},
      {"SUBSTRING(s FROM 3)", dtString, 29, 0, 0},
      {"SUBSTRING(s FROM 3 FOR 2)", dtString, 3, 0, 0},
      {"SUBSTRING(s FROM 40)", dtString, 1, 0, 0},
      {"SUBSTRING(s FROM 250)", dtString, 1, 0, 0},
      {"TRIM(BOTH 'x' FROM s)", dtString, 31, 0, 0},
      {"EXTRACT(YEAR FROM ts)", dtInteger, 4, 0, 0},
      {"SUM(m)", dtFloat, 8, 0, stMoney},
      {"MAX(b)", dtBCD, 8, 2, 0},
      {"AVG(d)", dtDate, 4, 0, 0},
      {"COUNT(*)", dtInteger, 4, 0, 0},
      {"COUNT(s)", dtInteger, 4, 0, 0},
      {"s LIKE 'a%'", dtBoolean, 2, 0, 0},
      {"n IN (1, -2)", dtBoolean, 2, 0, 0},
      {"n BETWEEN 1 AND 2", dtBoolean, 2, 0, 0},
      {"n IS NULL", dtBoolean, 4, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TExpressionPtr tree = Checked(c.Text, kWhere | kSelect, "source columns");
    EXPECT_EQ(tree->DataType, c.Type);
    EXPECT_EQ(tree->Size, c.Size);
    EXPECT_EQ(tree->Scale, c.Scale);
    EXPECT_EQ(tree->SubType, c.SubType);
  }
}

TEST_F(TypeCheckerTest, StringConstantsNameColumnsWhereNoColumnIsCompared) {
  TExpressionPtr alone = Checked("'Smith'", kSelect, "source columns");
  EXPECT_EQ(alone->NodeKind, nkColumn);
  EXPECT_TRUE(alone->FromString);
  EXPECT_EQ(alone->ColumnName, "Smith");
  EXPECT_EQ(alone->DataType, dtString);
  EXPECT_EQ(alone->Size, 21);

  TExpressionPtr compared = Checked("Name = 'Smith'");
  EXPECT_EQ(compared->Right->NodeKind, nkConstant);
  EXPECT_FALSE(compared->Right->FromString);
  EXPECT_EQ(compared->Right->Size, 6);
  EXPECT_EQ(compared->Right->ColumnName, "");
  SetString("Name", "Smith");
  SetString("Smith", "Jones");
  EXPECT_TRUE(IsTrue(Evaluate(*compared)));

  TExpressionPtr leftConstant = Checked("'Smith' = Name");
  EXPECT_EQ(leftConstant->Left->NodeKind, nkConstant);
  EXPECT_EQ(leftConstant->Right->NodeKind, nkColumn);
  TExpressionPtr both = Checked("'Smith' = 'Smith'");
  EXPECT_EQ(both->Left->NodeKind, nkColumn);
  EXPECT_EQ(both->Right->NodeKind, nkConstant);
  EXPECT_EQ(Checked("'Jones' = Name")->Left->NodeKind, nkConstant);
  EXPECT_EQ(Checked("UPPER('Smith')", kSelect, "source columns")->Left->NodeKind, nkColumn);
  // Where only a constant may stand, a string stays the constant it is.
  EXPECT_EQ(MessageOf("Name IN ('Smith', 'x') AND Name LIKE 'Smith'"), "");
  EXPECT_EQ(MessageOf("TRIM(BOTH 's' FROM Name) = Name"), "");
}

TEST_F(TypeCheckerTest, BooleanColumnsOfKnownTypeBecomeComparisonsWithTrue) {
  // The column's type is known only once it has been resolved: the first check resolves, the
  // second rewrites.
  TExpressionPtr tree = Parse("NOT flag AND flag OR n = 1", kWhere);
  CheckExpression(kErrSql, kWhereContext, *tree, FResolve);
  EXPECT_EQ(Render(tree.get()), "(OR (AND (NOT flag) flag) (= n 1))");
  CheckExpression(kErrSql, kWhereContext, *tree, FResolve);
  EXPECT_EQ(Render(tree.get()), "(OR (AND (NOT (= flag True)) (= flag True)) (= n 1))");
  EXPECT_EQ(tree->Left->Right->DataType, dtBoolean);
  PutU16(Field("flag").Value.data(), 1);
  EXPECT_FALSE(IsTrue(Evaluate(*tree)));
  SetInteger("n", 1);
  EXPECT_TRUE(IsTrue(Evaluate(*tree)));
}

TEST_F(TypeCheckerTest, DateAndTimeTexts) {
  struct TCase {
    const char* Text;
    uint8_t Type;
    double Value;  // of the converted constant, as DoubleOf reads it
  };
  const TCase cases[] = {
      {"d = '3/5/1997'", dtDate, static_cast<double>(DayNumber(1997, 3, 5))},
      {"t = '2:30 PM'", dtTime, 52200000},
      {"t < '14:30:01'", dtTime, 52201000},
      {"ts > '3/5/1997 10:30'", dtTimeStamp, test::Moment(1997, 3, 5, 37800000)},
      {"ts = '3/5/1997'", dtTimeStamp, test::Moment(1997, 3, 5, 0)},
      {"d >= '1/2/97'", dtDate, static_cast<double>(DayNumber(1997, 1, 2))},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TExpressionPtr tree = Checked(c.Text);
    const TExpressionNode& constant = *tree->Right;
    EXPECT_EQ(constant.DataType, c.Type);
    EXPECT_EQ(constant.Size, tree->Left->Size);
    EXPECT_DOUBLE_EQ(DoubleOf(ValueOf(constant)), c.Value);
  }
  TExpressionPtr left = Checked("'3/5/1997' = d");
  EXPECT_EQ(left->Left->DataType, dtDate);

  PutI32(Field("d").Value.data(), DayNumber(1997, 3, 6));
  EXPECT_TRUE(IsTrue(Evaluate(*Checked("d IN ('3/5/1997', '3/6/1997')"))));
  EXPECT_TRUE(IsTrue(Evaluate(*Checked("d BETWEEN '1/1/1997' AND '12/31/1997'"))));
  EXPECT_FALSE(IsTrue(Evaluate(*Checked("d NOT BETWEEN '1/1/1997' AND '12/31/1997'"))));
  // The empty text is the NULL constant; it takes the type and stays NULL.
  TExpressionPtr empty = Checked("d = ''");
  EXPECT_FALSE(IsTrue(Evaluate(*empty)));
  Field("d").IsNull = true;
  EXPECT_TRUE(IsTrue(Evaluate(*empty)));
}

TEST_F(TypeCheckerTest, NullTestsAndParameters) {
  TExpressionPtr isNull = Checked("n IS NULL");
  TExpressionPtr notNull = Checked("n IS NOT NULL");
  EXPECT_FALSE(IsTrue(Evaluate(*isNull)));
  EXPECT_TRUE(IsTrue(Evaluate(*notNull)));
  Field("n").IsNull = true;
  EXPECT_TRUE(IsTrue(Evaluate(*isNull)));
  EXPECT_FALSE(IsTrue(Evaluate(*notNull)));

  TExpressionPtr parameter = Checked("n = ?");
  TExpressionNode& bound = *parameter->Right;
  bound.DataType = dtInteger;
  bound.Size = 4;
  bound.IsNull = false;
  PutI32(bound.Value.data(), 5);
  CheckExpression(kErrSql, kWhereContext, *parameter, FResolve);
  Field("n").IsNull = false;
  SetInteger("n", 5);
  EXPECT_TRUE(IsTrue(Evaluate(*parameter)));
}

TEST_F(TypeCheckerTest, Messages) {
  struct TCase {
    const char* Text;
    const char* Message;
    int Flags = kWhere;
  };
  const TCase cases[] = {
      {"zz = 1",
       "Invalid column name 'zz' or table correlation name '' specified in WHERE or JOIN clause"},
      {"q.n = 1",
       "Invalid column name 'n' or table correlation name 'q' specified in WHERE or JOIN clause"},
      {"NOT n > 5", "Type mismatch between 'NOT' operator and 'n' in WHERE or JOIN clause"},
      {"-w = 1", "Type mismatch between '-' operator and 'w' in WHERE or JOIN clause"},
      {"NULL = n", "Type mismatch between constant 'NULL' and column 'n' in WHERE or JOIN clause"},
      {"? = n", "Type mismatch between constant '?' and column 'n' in WHERE or JOIN clause"},
      {"n + 1 = s", "Type mismatch between expression '+' and column 's' in WHERE or JOIN clause"},
      {"UPPER(s) = 1",
       "Type mismatch between function 'UPPER' and constant '1' in WHERE or JOIN clause"},
      {"flag > flag", "Type mismatch between column 'flag' and column 'flag' in WHERE or JOIN clause"},
      {"memo = memo", "Type mismatch between column 'memo' and column 'memo' in WHERE or JOIN clause"},
      {"n AND flag", "Type mismatch between column 'n' and column 'flag' in WHERE or JOIN clause"},
      {"s = DATE", "Type mismatch between column 's' and constant 'DATE' in WHERE or JOIN clause"},
      {"d = '2/30/1997'",
       "Date, time, or timestamp expression expected, instead found '2/30/1997' in WHERE or JOIN "
       "clause"},
      {"SUM(s)",
       "SUM aggregate function must contain a numeric, date, time, or timestamp expression in "
       "WHERE or JOIN clause", kSelect},
      {"avg(flag)",
       "avg aggregate function must contain a numeric, date, time, or timestamp expression in "
       "WHERE or JOIN clause", kSelect},
      {"UPPER(n)", "Type mismatch between UPPER function and function argument in WHERE or JOIN clause"},
      {"lower(d)", "Type mismatch between LOWER function and function argument in WHERE or JOIN clause"},
      {"SUBSTRING(n FROM 1)",
       "Expression argument of SUBSTRING function must be a string in WHERE or JOIN clause"},
      {"SUBSTRING(s FROM 0)",
       "FROM argument of SUBSTRING function must be an integer constant between 1 and 250 in "
       "WHERE or JOIN clause"},
      {"SUBSTRING(s FROM 251)",
       "FROM argument of SUBSTRING function must be an integer constant between 1 and 250 in "
       "WHERE or JOIN clause"},
      {"SUBSTRING(s FROM n)",
       "FROM argument of SUBSTRING function must be an integer constant in WHERE or JOIN clause"},
      {"SUBSTRING(s FROM (-1))",
       "FROM argument of SUBSTRING function must be an integer constant in WHERE or JOIN clause"},
      {"SUBSTRING(s FROM 1 FOR 0)",
       "FOR argument of SUBSTRING function must be an integer constant between 1 and 250 in "
       "WHERE or JOIN clause"},
      {"SUBSTRING(s FROM 1 FOR 1.5)",
       "FOR argument of SUBSTRING function must be an integer constant in WHERE or JOIN clause"},
      {"TRIM(BOTH 'ab' FROM s)",
       "Trim character argument of TRIM function must be a single character constant in WHERE "
       "or JOIN clause"},
      {"TRIM(BOTH s2 FROM s)",
       "Trim character argument of TRIM function must be a single character constant in WHERE "
       "or JOIN clause"},
      {"TRIM(BOTH 'a' FROM n)", "FROM argument of TRIM function must be a string in WHERE or JOIN clause"},
      {"EXTRACT(YEAR FROM s)",
       "FROM argument of EXTRACT function must be a date or date and time in WHERE or JOIN clause"},
      {"EXTRACT(DAY FROM t)",
       "FROM argument of EXTRACT function must be a date or date and time in WHERE or JOIN clause"},
      {"n LIKE 'a%'", "Type mismatch between LIKE operator and expression 'n' in WHERE or JOIN clause"},
      {"s LIKE s2",
       "Constant expression expected after LIKE operator, instead found 's2' in WHERE or JOIN "
       "clause"},
      {"s NOT LIKE 5",
       "Type mismatch between NOT LIKE operator and expression '5' in WHERE or JOIN clause"},
      {"n IN (1, k)",
       "Constant expression expected after IN operator, instead found 'k' in WHERE or JOIN clause"},
      {"n NOT IN (1, 'a')",
       "Type mismatch between NOT IN operator and expression 'a' in WHERE or JOIN clause"},
      {"n BETWEEN 1 AND s",
       "Constant expression expected after BETWEEN operator, instead found 's' in WHERE or JOIN "
       "clause"},
      {"n NOT BETWEEN 'a' AND 2",
       "Type mismatch between NOT BETWEEN operator and expression 'a' in WHERE or JOIN clause"},
      {"n IN (-'a')", "Type mismatch between '-' operator and 'a' in WHERE or JOIN clause"},
      {"d IN ('1/1/1997', 'x')",
       "Date, time, or timestamp expression expected, instead found 'x' in WHERE or JOIN clause"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(MessageOf(c.Text, c.Flags), c.Message);
  }
  EXPECT_EQ(MessageOf("NOT (n > 5)"), "");
  EXPECT_EQ(MessageOf("n = 'abc'", 0, "update values"),
            "Type mismatch between column 'n' and constant 'abc' in update values");
}

TEST_F(TypeCheckerTest, RaisesTheCodeItIsGiven) {
  TExpressionPtr tree = Parse("zz", 0);
  try {
    CheckExpression(11047, "source columns", *tree, FResolve);
    FAIL();
  } catch (const EDBEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), 11047);
  }
}

TEST_F(TypeCheckerTest, AllColumnsPassUnresolved) {
  EXPECT_EQ(MessageOf("COUNT(*)", kSelect, "source columns"), "");
  EXPECT_EQ(MessageOf("c.*", kSelect, "source columns"), "");
}

}  // namespace
}  // namespace tarnel
