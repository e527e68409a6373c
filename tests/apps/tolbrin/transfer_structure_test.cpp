// The rules that make a new table's definition from a source table's, on source definitions
// made up here: field types, names, sizes and decimals, the RecordID field, which indexes are
// carried over and how, and the texts of validity checks, each with its message.
#include "apps/tolbrin/transfer_structure.h"

#include <gtest/gtest.h>

#include "engine/index/index_header.h"
#include "platform/rtl/format_settings.h"

namespace tarnel::tolbrin {
namespace {

using legacydb::TCheckPresence;
using legacydb::TFieldValue;
using legacydb::TSourceField;
using legacydb::TSourceIndex;
using legacydb::TTableFormat;
using legacydb::TValidityCheck;

// A source table that is only its definitions.
class TDefinitionsOnly : public legacydb::TSourceTable {
 public:
  TDefinitionsOnly(TTableFormat format, std::vector<TSourceField> fields, std::vector<TSourceIndex> indexes,
                   std::vector<TValidityCheck> checks = {})
      : TSourceTable("T.DB", format, legacydb::TOpenOptions()) {
    for (size_t i = 0; i < fields.size(); ++i) fields[i].FieldNo = static_cast<int>(i) + 1;
    SetDefinitions(std::move(fields), 1252);
    FIndexes = std::move(indexes);
    FValidityChecks = std::move(checks);
  }
  int64_t RecordCount() const override { return 0; }
  void First() override {}
  void Next() override {}
  bool Eof() const override { return true; }
  bool IsNull(int) const override { return true; }
  TFieldValue Value(int) const override { return TFieldValue(); }

 protected:
  std::string ReadBlob(int) const override { return std::string(); }
};

struct TBuilt {
  TTransferStructure Structure;
  std::vector<std::string> Messages;
};

TBuilt Build(const legacydb::TSourceTable& source) {
  TBuilt built;
  built.Structure =
      BuildTransferStructure(source, "T.DB", [&](const std::string& text) { built.Messages.push_back(text); });
  return built;
}

TSourceIndex Primary(const std::string& fields) {
  return {"", fields, "", "", legacydb::ixPrimary | legacydb::ixUnique};
}

TEST(TransferStructureTest, EveryFieldTypeHasItsEngineTypeAndSubtype) {
  struct TCase {
    TFieldType Type;
    uint8_t FieldType, SubType;
  };
  const TCase cases[] = {
      {ftString, dtString, stNone},
      {ftSmallint, dtSmallInt, stNone},
      {ftInteger, dtInteger, stNone},
      {ftWord, dtWord, stNone},
      {ftBoolean, dtBoolean, stNone},
      {ftFloat, dtFloat, stNone},
      {ftCurrency, dtFloat, stMoney},
      {ftBCD, dtBCD, stNone},
      {ftDate, dtDate, stNone},
      {ftTime, dtTime, stNone},
      {ftDateTime, dtTimeStamp, stNone},
      {ftBytes, dtBytes, stNone},
      {ftVarBytes, dtVarBytes, stNone},
      {ftAutoInc, dtInteger, stAutoInc},
      {ftBlob, dtBlob, stBinary},
      {ftMemo, dtBlob, stMemo},
      {ftGraphic, dtBlob, stGraphic},
      {ftFmtMemo, dtBlob, stFmtMemo},
      {ftParadoxOle, dtBlob, stNone},
      {ftDBaseOle, dtBlob, stNone},
      {ftTypedBinary, dtBlob, stTypedBinary},
      {ftUnknown, dtUnknown, stNone},
  };
  for (const TCase& expected : cases) {
    TEngineFieldKind kind = EngineFieldKind(expected.Type);
    EXPECT_EQ(kind.FieldType, expected.FieldType) << expected.Type;
    EXPECT_EQ(kind.SubType, expected.SubType) << expected.Type;
  }
}

TEST(TransferStructureTest, NamesSizesAndDecimalsAreMadeToFit) {
  std::string thirtyFive = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghi";
  std::string digitThirty = "9" + std::string(29, 'n');
  TDefinitionsOnly source(TTableFormat::Paradox,
                          {{"Key", ftInteger, 0},
                           {thirtyFive, ftString, 20},
                           {digitThirty, ftSmallint, 0},
                           {"\xE9t\xE9", ftString, 254},
                           {"Exact", ftBCD, 6},
                           {"Money", ftBCD, 2},
                           {"_under", ftDate, 0}},
                          {Primary("Key")});
  TBuilt built = Build(source);
  const std::vector<TFieldDesc>& fields = built.Structure.Definition.Fields;
  ASSERT_EQ(fields.size(), 7u);
  EXPECT_FALSE(built.Structure.RecordIdAdded);
  EXPECT_EQ(fields[1].FieldName, thirtyFive.substr(0, 30));
  EXPECT_EQ(fields[2].FieldName, "A" + digitThirty.substr(0, 29));
  EXPECT_EQ(fields[3].FieldName, "\xE9t\xE9");  // a byte from 129 to 254 counts as a letter
  EXPECT_EQ(fields[3].FieldSize, 250);
  EXPECT_EQ(fields[4].Decimals, 4);
  EXPECT_EQ(fields[5].Decimals, 2);
  EXPECT_EQ(fields[6].FieldName, "A_under");
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i].FieldNo, i + 1);
  EXPECT_EQ(built.Messages,
            (std::vector<std::string>{
                "Field name " + thirtyFive +
                    " in source table T.DB exceeds the maximum field name length of 30 in TARNEL and will be truncated "
                    "in the new TARNEL data file.",
                FieldRenamedMessage(digitThirty, "T.DB"),
                "Field length of \xC3\xA9t\xC3\xA9 in source table T.DB exceeds the maximum field length of 250 in "
                "TARNEL and will be truncated in the new TARNEL data file.",
                FieldDecimalsCutMessage("Exact", "T.DB"),
                "Field name _under in source table T.DB does not begin with an alpha character and will be renamed "
                "in the new TARNEL data file to A_under.",
            }));
}

std::vector<uint16_t> KeyFields(const TIndexDescriptor& index) {
  return std::vector<uint16_t>(index.FieldNumbers.begin(), index.FieldNumbers.begin() + index.FieldCount);
}

TEST(TransferStructureTest, ParadoxIndexesKeepTheirFieldsAndOptionsUnderNamesThatFit) {
  std::vector<TSourceField> fields;
  std::string allFields;
  for (int i = 0; i < 18; ++i) {
    fields.push_back({"F" + std::to_string(i + 1), ftInteger, 0});
    allFields += (i == 0 ? "" : ";") + fields.back().Name;
  }
  std::string long31 = "N" + std::string(30, 'x');
  std::string digit30 = "9" + std::string(29, 'y');
  TDefinitionsOnly source(TTableFormat::Paradox, fields,
                          {
                              {"ByTwo", "F3;F2", "", "", legacydb::ixCaseInsensitive},
                              Primary("F1;F2"),
                              {"1st", "F4", "", "", legacydb::ixDescending},
                              {long31, "F5", "", "", legacydb::ixUnique},
                              {digit30, "F6", "", "", 0},
                              {"Wide", allFields, "", "", 0},
                              {"Again", "F7", "", "", legacydb::ixPrimary | legacydb::ixUnique},
                          });
  TBuilt built = Build(source);
  EXPECT_FALSE(built.Structure.RecordIdAdded);
  const std::vector<TIndexDescriptor>& indexes = built.Structure.Definition.Indexes;
  ASSERT_EQ(indexes.size(), 7u);
  struct TCase {
    std::string Name;
    std::vector<uint16_t> Fields;
    bool Unique, CaseInsensitive, Descending;
  };
  std::vector<uint16_t> sixteen;
  for (uint16_t n = 1; n <= 16; ++n) sixteen.push_back(n);
  const TCase cases[] = {
      {"", {1, 2}, true, false, false},
      {"ByTwo", {3, 2}, false, true, false},
      {"A1st", {4}, false, false, true},
      {long31.substr(0, 30), {5}, true, false, false},
      {("A" + digit30).substr(0, 30), {6}, false, false, false},
      {"Wide", sixteen, false, false, false},
      {"Again", {7}, true, false, false},
  };
  for (size_t i = 0; i < indexes.size(); ++i) {
    const TCase& expected = cases[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(indexes[i].IndexName, expected.Name);
    EXPECT_EQ(KeyFields(indexes[i]), expected.Fields);
    EXPECT_EQ(indexes[i].Unique, expected.Unique);
    EXPECT_EQ(indexes[i].CaseInsensitive, expected.CaseInsensitive);
    EXPECT_EQ(indexes[i].Descending, expected.Descending);
    std::array<uint8_t, kMaxKeyFields> descending{};
    descending.fill(expected.Descending ? 1 : 0);
    EXPECT_EQ(indexes[i].FieldDescending, descending);
    EXPECT_EQ(indexes[i].Compression, cmBoth);
  }
  EXPECT_EQ(built.Messages,
            (std::vector<std::string>{
                "Index name 1st in source table T.DB does not begin with an alpha character and will be renamed in the "
                "new TARNEL data file to A1st.",
                "Index name " + long31 +
                    " in source table T.DB exceeds the maximum index name length of 30 in TARNEL and will be "
                    "truncated in the new TARNEL data file.",
                IndexRenamedMessage(digit30, "T.DB"),
                IndexNameCutMessage(digit30, "T.DB"),
            }));
}

TEST(TransferStructureTest, ADbaseTableGetsRecordIdAndExpressionsOfFieldsBecomeFieldLists) {
  TDefinitionsOnly source(TTableFormat::DBase,
                          {{"FIRST", ftString, 15}, {"LAST", ftString, 20}, {"1AGE", ftSmallint, 0}},
                          {
                              {"FULLNAME", "", "last + First", "", legacydb::ixExpression},
                              {"ULAST", "", "UPPER(LAST)", "", legacydb::ixExpression},
                              {"ODD", "", "LAST+NOPE", "", legacydb::ixExpression},
                              {"UNIQ", "1AGE", "", "", legacydb::ixUnique | legacydb::ixDescending},
                          });
  TBuilt built = Build(source);
  const TTransferStructure& structure = built.Structure;
  EXPECT_TRUE(structure.RecordIdAdded);
  EXPECT_FALSE(structure.HasAutoInc);
  EXPECT_EQ(structure.FieldNumbers, (std::vector<uint16_t>{2, 3, 4}));
  const std::vector<TFieldDesc>& fields = structure.Definition.Fields;
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].FieldName, "RecordID");
  EXPECT_TRUE(fields[0].IsAutoInc());
  EXPECT_EQ(fields[3].FieldName, "A1AGE");
  const std::vector<TIndexDescriptor>& indexes = structure.Definition.Indexes;
  ASSERT_EQ(indexes.size(), 3u);
  EXPECT_EQ(KeyFields(indexes[0]), std::vector<uint16_t>{1});
  EXPECT_FALSE(indexes[0].Unique);
  EXPECT_EQ(indexes[0].Compression, cmBoth);
  EXPECT_EQ(indexes[1].IndexName, "FULLNAME");
  EXPECT_EQ(KeyFields(indexes[1]), (std::vector<uint16_t>{3, 2}));
  EXPECT_EQ(indexes[2].IndexName, "UNIQ");
  EXPECT_EQ(KeyFields(indexes[2]), std::vector<uint16_t>{4});
  EXPECT_FALSE(indexes[2].Unique);
  EXPECT_TRUE(indexes[2].Descending);
  EXPECT_EQ(built.Messages,
            (std::vector<std::string>{
                ExpressionIndexMessage("ULAST", "T.DB"),
                "Index ODD in source table T.DB is an expression index that contains functions and will not be "
                "transferred over to the new TARNEL data file.",
                FieldRenamedMessage("1AGE", "T.DB"),
                "A primary index was not found in source table T.DB, a primary index based upon an auto-increment "
                "field called RecordID will be added to the new TARNEL data file.",
            }));
}

TEST(TransferStructureTest, APrimaryExpressionWithFunctionsCountsAsNoPrimary) {
  TDefinitionsOnly source(
      TTableFormat::Paradox, {{"A", ftString, 5}, {"ID", ftAutoInc, 0}},
      {{"P", "", "UPPER(A)", "", legacydb::ixPrimary | legacydb::ixExpression}, {"ByA", "A", "", "", 0}});
  TBuilt built = Build(source);
  EXPECT_TRUE(built.Structure.RecordIdAdded);
  EXPECT_TRUE(built.Structure.HasAutoInc);
  ASSERT_EQ(built.Structure.Definition.Indexes.size(), 2u);
  EXPECT_EQ(KeyFields(built.Structure.Definition.Indexes[1]), std::vector<uint16_t>{2});
  EXPECT_EQ(built.Messages,
            (std::vector<std::string>{ExpressionIndexMessage("P", "T.DB"), RecordIdAddedMessage("T.DB")}));
}

TEST(TransferStructureTest, ExpressionsOfFieldsJoinedByPlusGiveFieldLists) {
  EXPECT_EQ(ExpressionFieldList("LAST+FIRST"), "LAST;FIRST");
  EXPECT_EQ(ExpressionFieldList(" LAST + FIRST + AGE "), "LAST;FIRST;AGE");
  EXPECT_EQ(ExpressionFieldList("LAST"), "LAST");
  EXPECT_EQ(ExpressionFieldList("UPPER(LAST)"), "");
  EXPECT_EQ(ExpressionFieldList("CODE+DTOS(WHEN)"), "");
  EXPECT_EQ(ExpressionFieldList("LAST-FIRST"), "");
}

TValidityCheck Check(int fieldNo, bool required, TCheckPresence minimum, TFieldValue minimumValue = TFieldValue(),
                     TCheckPresence deflt = TCheckPresence::None, TFieldValue defaultValue = TFieldValue()) {
  TValidityCheck check;
  check.FieldNo = fieldNo;
  check.Required = required;
  check.Minimum = {minimum, minimumValue};
  check.Default = {deflt, defaultValue};
  return check;
}

TEST(TransferStructureTest, ValidityChecksBecomeTextsOfTheirField) {
  TLocaleFormats saved = SaveFormats();
  RestoreFormats(GetLocaleFormats(false, 0, 0));
  std::string sixty(60, 's');
  TDefinitionsOnly source(
      TTableFormat::DBase,
      {{"Name", ftString, 80},
       {"Flag", ftBoolean, 0},
       {"Count", ftInteger, 0},
       {"Price", ftCurrency, 0},
       {"Day", ftDate, 0},
       {"At", ftTime, 0},
       {"When", ftDateTime, 0},
       {"Raw", ftBytes, 4}},
      {},
      {
          Check(0, true, TCheckPresence::None),
          Check(1, true, TCheckPresence::Value, TFieldValue::Bytes(ftString, "aa"), TCheckPresence::Value,
                TFieldValue::Bytes(ftString, sixty)),
          Check(2, false, TCheckPresence::None, TFieldValue(), TCheckPresence::Value,
                TFieldValue::Integer(ftBoolean, 0)),
          Check(3, false, TCheckPresence::Value, TFieldValue::Integer(ftInteger, -5)),
          Check(4, false, TCheckPresence::Value, TFieldValue::Float(ftCurrency, 12.25)),
          Check(5, false, TCheckPresence::Value, TFieldValue::Integer(ftDate, 730120), TCheckPresence::Today),
          Check(6, false, TCheckPresence::Value, TFieldValue::Integer(ftTime, 13 * 3600000 + 1000),
                TCheckPresence::Now),
          Check(7, false, TCheckPresence::Value, TFieldValue::Float(ftDateTime, 730120 * 86400000.0 + 60000),
                TCheckPresence::Now),
          Check(8, true, TCheckPresence::Value, TFieldValue::Bytes(ftBytes, "abcd")),
      });
  TBuilt built = Build(source);
  RestoreFormats(saved);
  struct TCase {
    bool Required;
    std::string Min, Default;
  };
  const TCase cases[] = {
      {false, "", ""},
      {true, "aa", sixty.substr(0, 50)},
      {false, "", "False"},
      {false, "-5", ""},
      {false, "12.25", ""},
      {false, "1/1/2000", "Date"},
      {false, "1:00:01 PM", "Time"},
      {false, "1/1/2000 12:01:00 AM", "Now"},
      {true, "", ""},
  };
  const std::vector<TFieldDesc>& fields = built.Structure.Definition.Fields;
  ASSERT_EQ(fields.size(), 9u);
  for (size_t i = 0; i < fields.size(); ++i) {
    SCOPED_TRACE(fields[i].FieldName);
    EXPECT_EQ(fields[i].Required, cases[i].Required);
    EXPECT_EQ(fields[i].MinValue, cases[i].Min);
    EXPECT_EQ(fields[i].MaxValue, "");
    EXPECT_EQ(fields[i].DefaultValue, cases[i].Default);
  }
}

}  // namespace
}  // namespace tarnel::tolbrin
