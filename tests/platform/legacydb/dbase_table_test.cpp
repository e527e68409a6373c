// The dBase reader against python3-dbfread (value by value), the fixtures' summary files and
// descriptions, and tables written by python3-dbf; damaged files give errors naming the file.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "legacydb_test_support.h"
#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/source_table.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

namespace tarnel::legacydb {
namespace {

using test::Hex;
using test::RunPythonScript;
using test::Split;

std::string Directory(const std::string& path) { return path.substr(0, path.rfind('/')); }
std::string Name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::unique_ptr<TSourceTable> Open(const std::string& path, int targetCodePage = 1252) {
  TOpenOptions options;
  options.TargetCodePage = targetCodePage;
  return OpenSourceTable(Directory(path), Name(path), options);
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "n:%.17g", value);
  return text;
}

// A value of the current record in the oracle's terms, texts and BLOBs as hex.
std::string Token(const TSourceTable& table, int field, bool transliterate) {
  const TSourceField& definition = table.Fields()[static_cast<size_t>(field)];
  if (IsBlobType(definition.DataType)) return "h:" + Hex(table.Blob(field, transliterate));
  if (definition.DataType == ftString) return "h:" + Hex(table.Text(field, transliterate));
  if (table.IsNull(field)) return "-";
  TFieldValue value = table.Value(field);
  switch (definition.DataType) {
    case ftBoolean:
      return value.AsBoolean() ? "b:1" : "b:0";
    case ftDate: {
      int year = 0, month = 0, day = 0;
      EXPECT_TRUE(DecodeDate(value.AsDate(), &year, &month, &day));
      char text[20];
      std::snprintf(text, sizeof text, "d:%04d-%02d-%02d", year, month, day);
      return text;
    }
    case ftDateTime: {
      double stamp = value.AsDateTime();
      int32_t day = static_cast<int32_t>(stamp / 86400000);
      int32_t milliseconds = static_cast<int32_t>(stamp - double(day) * 86400000);
      int year = 0, month = 0, dayOfMonth = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
      EXPECT_TRUE(DecodeDate(day, &year, &month, &dayOfMonth));
      DecodeTime(milliseconds, &hour, &minute, &second, &millisecond);
      char text[40];
      std::snprintf(text, sizeof text, "t:%04d-%02d-%02dT%02d:%02d:%02d.%03d", year, month, dayOfMonth, hour,
                    minute, second, millisecond);
      return text;
    }
    default:
      return Number(value.AsFloat());
  }
}

// The oracle's token in the same terms.
std::string Normalize(const std::string& token, TFieldType type) {
  if (type == ftString || IsBlobType(type)) return token == "-" ? "h:" : "h:" + token.substr(2);
  if (token.rfind("i:", 0) == 0 || token.rfind("f:", 0) == 0) return Number(std::strtod(token.c_str() + 2, nullptr));
  return token;
}

struct TOracleTable {
  std::string Encoding;
  int64_t Records = 0;
  std::vector<std::vector<std::string>> Rows;
};

TOracleTable ReadWithDbfread(const std::string& path, const std::string& encoding) {
  std::vector<std::string> arguments{path};
  if (!encoding.empty()) arguments.push_back(encoding);
  std::vector<std::string> lines = Split(RunPythonScript("dbf_oracle.py", arguments), '\n');
  TOracleTable oracle;
  std::istringstream head(lines.at(0));
  std::string word;
  head >> word >> oracle.Encoding >> word >> oracle.Records;
  for (size_t i = 1; static_cast<int64_t>(oracle.Rows.size()) < oracle.Records && i < lines.size(); ++i) {
    oracle.Rows.push_back(lines[i].empty() ? std::vector<std::string>() : Split(lines[i], '\t'));
  }
  return oracle;
}

// Compares every value of every record with dbfread's; texts either as stored or converted to
// UTF-8 from the code page both readers find for the table.
void ExpectAgreesWithDbfread(const std::string& path, bool transliterate) {
  TOracleTable oracle = ReadWithDbfread(path, transliterate ? "" : "latin-1");
  std::unique_ptr<TSourceTable> table = Open(path, 65001);
  ASSERT_EQ(table->RecordCount(), oracle.Records) << path;
  int64_t row = 0;
  for (table->First(); !table->Eof(); table->Next(), ++row) {
    const std::vector<std::string>& expected = oracle.Rows.at(static_cast<size_t>(row));
    ASSERT_EQ(expected.size(), table->Fields().size()) << path;
    for (size_t field = 0; field < expected.size(); ++field) {
      TFieldType type = table->Fields()[field].DataType;
      std::string mine = Token(*table, static_cast<int>(field), transliterate);
      std::string theirs = Normalize(expected[field], type);
      // dbfread returns up to eight bytes past the end of a dBase IV memo.
      bool memoTail = type == ftMemo && theirs.size() > mine.size() && theirs.size() <= mine.size() + 32 &&
                      theirs.rfind(mine, 0) == 0;
      EXPECT_TRUE(mine == theirs || memoTail)
          << path << " record " << row << " field " << table->Fields()[field].Name << ": " << mine << " vs "
          << theirs;
    }
  }
  EXPECT_EQ(row, oracle.Records);
}

class DbaseFixtureTest : public testing::TestWithParam<const char*> {};

TEST_P(DbaseFixtureTest, AgreesWithDbfread) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::string path = dir + "/dbase/" + GetParam();
  ExpectAgreesWithDbfread(path, false);
  TOracleTable decoded = ReadWithDbfread(path, "");
  if (decoded.Encoding != "ascii" && decoded.Records >= 0) ExpectAgreesWithDbfread(path, true);
}

// Every fixture dbfread can read: dBase II and 7 it does not know, and mazovia.dbf marks its
// records with a zero byte that dbfread takes for deleted.
INSTANTIATE_TEST_SUITE_P(Fixtures, DbaseFixtureTest,
                         testing::Values("cp1251.dbf", "dbase_03.dbf", "dbase_03_cyrillic.dbf", "dbase_30.dbf",
                                         "dbase_83.dbf", "dbase_8b.dbf", "polygon.dbf", "generated/EMPTY4.DBF",
                                         "generated/ORDERS.DBF", "generated/PEOPLE.DBF"));

TEST(DbaseTableTest, AgreesWithTheSummaries) {
  TARNEL_REQUIRE_FIXTURES(dir);
  for (const char* name : {"cp1251", "dbase_02", "dbase_03", "dbase_03_cyrillic", "dbase_30", "dbase_83", "dbase_8b"}) {
    std::ifstream summary(dir + "/dbase/" + name + "_summary.txt");
    std::string line;
    int64_t records = -1;
    std::vector<std::pair<std::string, int>> fields;
    bool inFields = false;
    while (std::getline(summary, line)) {
      if (line.rfind("Records: ", 0) == 0) records = std::stoll(line.substr(9));
      if (inFields && !line.empty()) {
        std::istringstream words(line);
        std::string fieldName, type;
        int length = 0;
        words >> fieldName >> type >> length;
        fields.emplace_back(fieldName, type == "C" ? length : 0);
      }
      if (line.rfind("-----", 0) == 0) inFields = true;
    }
    std::unique_ptr<TSourceTable> table = Open(dir + "/dbase/" + name + ".dbf");
    EXPECT_EQ(table->RecordCount(), records) << name;
    ASSERT_EQ(table->Fields().size(), fields.size()) << name;
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(table->Fields()[i].Name, fields[i].first) << name;
      if (fields[i].second != 0) {
        EXPECT_EQ(table->Fields()[i].Size, fields[i].second) << name;
      }
    }
  }
}

TEST(DbaseTableTest, ReadsTheIndexDefinitions) {
  TARNEL_REQUIRE_FIXTURES(dir);
  struct TCase {
    const char* Table;
    std::vector<TSourceIndex> Indexes;
  };
  const TCase cases[] = {
      {"PEOPLE.DBF",
       {{"LASTNAME", "LAST", "", "", 0},
        {"FULLNAME", "", "LAST+FIRST", "", ixExpression},
        {"ULAST", "", "UPPER(LAST)", "", ixExpression},
        {"BYBIRTH", "BIRTH", "", "", ixDescending},
        {"UNIQAGE", "AGE", "", "", ixUnique},
        {"HIGHPAID", "SALARY", "", "SALARY > 50000", 0}}},
      {"ORDERS.DBF", {{"ORDERS", "ORDERNO", "", "", 0}}},
      {"EMPTY4.DBF", {{"CODEWHEN", "", "CODE+DTOS(WHEN)", "", ixExpression}, {"VALUE", "VALUE", "", "", ixDescending}}},
  };
  for (const TCase& expected : cases) {
    std::unique_ptr<TSourceTable> table = Open(dir + "/dbase/generated/" + expected.Table);
    ASSERT_EQ(table->Indexes().size(), expected.Indexes.size()) << expected.Table;
    for (size_t i = 0; i < expected.Indexes.size(); ++i) {
      const TSourceIndex& index = table->Indexes()[i];
      const TSourceIndex& want = expected.Indexes[i];
      EXPECT_EQ(index.Name, want.Name);
      EXPECT_EQ(index.Fields, want.Fields) << want.Name;
      EXPECT_EQ(index.Expression, want.Expression) << want.Name;
      EXPECT_EQ(index.Condition, want.Condition) << want.Name;
      EXPECT_EQ(index.Options, want.Options) << want.Name;
    }
  }
}

TEST(DbaseTableTest, ReadsDBase7Types) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> table = Open(dir + "/dbase/dbase_8c.dbf");
  EXPECT_EQ(table->RecordCount(), 10);
  std::vector<TFieldType> types;
  for (const TSourceField& field : table->Fields()) types.push_back(field.DataType);
  EXPECT_EQ(types, (std::vector<TFieldType>{ftAutoInc, ftString, ftString, ftFloat, ftMemo, ftDBaseOle}));
  int32_t id = 0;
  for (table->First(); !table->Eof(); table->Next()) EXPECT_EQ(table->Value(0).AsInteger(), ++id);
}

TEST(DbaseTableTest, MissingMemoFileFailsOnlyTheMemo) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> complete = Open(dir + "/dbase/dbase_83.dbf");
  std::unique_ptr<TSourceTable> missing = Open(dir + "/dbase/dbase_83_missing_memo.dbf");
  const int memo = 11;
  ASSERT_EQ(missing->Fields()[memo].DataType, ftMemo);
  for (int field = 0; field < static_cast<int>(missing->Fields().size()); ++field) {
    if (field != memo) {
      EXPECT_EQ(Token(*missing, field, false), Token(*complete, field, false));
    }
  }
  try {
    missing->Blob(memo, false);
    FAIL() << "a memo of a missing memo file was read";
  } catch (const ELegacyDbError& error) {
    EXPECT_NE(std::string(error.what()).find("dbase_83_missing_memo.DBT"), std::string::npos) << error.what();
  }
}

TEST(DbaseTableTest, TransliteratesFromTheLanguageDriverCodePage) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> people = Open(dir + "/dbase/generated/PEOPLE.DBF");
  EXPECT_EQ(people->CodePage(), 437);
  while (!people->Eof() && people->Text(1, false).find('\x81') == std::string::npos) people->Next();
  ASSERT_FALSE(people->Eof());
  EXPECT_EQ(people->Text(1, false), "M\x81ller");
  EXPECT_EQ(people->Text(1, true), "M\xFCller");
  // Mazovia has no converter: the conversion fails, the stored text stays readable.
  std::unique_ptr<TSourceTable> mazovia = Open(dir + "/dbase/mazovia.dbf");
  mazovia->Next();
  EXPECT_FALSE(mazovia->Text(1, false).empty());
  EXPECT_THROW(mazovia->Text(1, true), ELegacyDbError);
}

TEST(DbaseTableTest, SelfMadeTablesAgreeWithDbfread) {
  test::TTempDir temp;
  RunPythonScript("make_dbf_tables.py", {temp.Path()});
  for (const char* name : {"MEMO3.DBF", "VFP.DBF"}) {
    ExpectAgreesWithDbfread(temp.File(name), false);
    ExpectAgreesWithDbfread(temp.File(name), true);
  }
  // Visual FoxPro keeps nulls in hidden flags (dbfread does not read them).
  std::unique_ptr<TSourceTable> table = Open(temp.File("VFP.DBF"));
  EXPECT_EQ(table->Fields().size(), 7u);
  table->Next();
  EXPECT_TRUE(table->IsNull(0));
  EXPECT_TRUE(table->IsNull(6));
  EXPECT_EQ(table->Value(2).AsCurrency(), -1);
}

// A damaged copy of the self-made dBase III table: each case changes one file.
TEST(DbaseTableTest, DamagedFilesGiveErrorsNamingTheFile) {
  struct TCase {
    const char* What;
    const char* File;  // the file damaged
    size_t Offset;  // where the bytes go; SIZE_MAX cuts the file at Length instead
    std::string Bytes;
    size_t Length;
  };
  const TCase cases[] = {
      {"header cut", "MEMO3.DBF", SIZE_MAX, "", 20},
      {"records cut", "MEMO3.DBF", SIZE_MAX, "", 300},
      {"record count raised", "MEMO3.DBF", 4, std::string("\x50\x00\x00\x00", 4), 0},
      {"header length zero", "MEMO3.DBF", 8, std::string("\x00\x00", 2), 0},
      {"field length zero", "MEMO3.DBF", 32 + 16, std::string("\x00", 1), 0},
      {"letters in a number", "MEMO3.DBF", 0, "", 0},
      {"memo beyond the memo file", "MEMO3.DBF", 0, "", 0},
      {"memo file cut", "MEMO3.DBT", SIZE_MAX, "", 600},
  };
  for (const TCase& damage : cases) {
    test::TTempDir temp;
    RunPythonScript("make_dbf_tables.py", {temp.Path()});
    std::string path = temp.File(damage.File);
    std::string bytes = test::ReadWholeFile(path);
    size_t firstRecord = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    if (std::string(damage.What) == "letters in a number") {
      bytes.replace(firstRecord + 13, 3, "x1y");
    } else if (std::string(damage.What) == "memo beyond the memo file") {
      bytes.replace(firstRecord + 1 + 12 + 9 + 14 + 4 + 8 + 1, 10, "    999999");
    } else if (damage.Offset == SIZE_MAX) {
      bytes.resize(damage.Length);
    } else {
      bytes.replace(damage.Offset, damage.Bytes.size(), damage.Bytes);
    }
    test::WriteWholeFile(path, bytes);
    try {
      std::unique_ptr<TSourceTable> table = Open(temp.File("MEMO3.DBF"));
      for (table->First(); !table->Eof(); table->Next()) {
        for (int field = 0; field < static_cast<int>(table->Fields().size()); ++field) Token(*table, field, true);
      }
      ADD_FAILURE() << damage.What << ": no error";
    } catch (const ELegacyDbError& error) {
      EXPECT_NE(std::string(error.what()).find(temp.File("MEMO3.")), std::string::npos)
          << damage.What << ": " << error.what();
    }
  }
}

}  // namespace
}  // namespace tarnel::legacydb
