// The Paradox reader against pxlib (value by value, on every fixture table and on tables pxlib
// writes here), against the fixtures' descriptions (BLOBs, indexes, validity checks), and on
// damaged files, which give errors naming the file.
extern "C" {
#include <paradox.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "legacydb_test_support.h"
#include "platform/legacydb/legacy_error.h"
#include "platform/legacydb/source_table.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"

namespace tarnel::legacydb {
namespace {

using test::Hex;

std::unique_ptr<TSourceTable> Open(const std::string& path) {
  return OpenSourceTable(path.substr(0, path.rfind('/')), path.substr(path.rfind('/') + 1));
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "n:%.17g", value);
  return text;
}

// pxlib prints a BCD digit above 9 (which only noise after the significant digits holds) as
// the character after '9' and ends a number without decimals with a point; the reader takes
// such digits as 9.
std::string PxlibBcd(std::string text) {
  for (char& c : text) {
    if (c > '9' && c <= '?') c = '9';
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

struct TPxlibTable {
  std::vector<std::string> Names;
  std::vector<std::vector<std::string>> Rows;
};

// pxlib's reading of a table in the tokens of Token below. pxlib does not open the BLOB file
// (its 0.6.8 build fails on most of them), so BLOB fields are left out.
TPxlibTable ReadWithPxlib(const std::string& path) {
  TPxlibTable result;
  pxdoc_t* px = PX_new();
  if (PX_open_file(px, path.c_str()) < 0) {
    ADD_FAILURE() << "pxlib cannot open " << path;
    PX_delete(px);
    return result;
  }
  int fieldCount = PX_get_num_fields(px);
  pxfield_t* fields = PX_get_fields(px);
  for (int i = 0; i < fieldCount; ++i) result.Names.push_back(fields[i].px_fname);
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(px)));
  for (int n = 0; n < PX_get_num_records(px); ++n) {
    if (PX_get_record(px, n, record.data()) == nullptr) ADD_FAILURE() << "pxlib cannot read record " << n;
    std::vector<std::string> row;
    char* data = record.data();
    for (int i = 0; i < fieldCount; ++i) {
      pxfield_t& field = fields[i];
      int length = field.px_flen;
      bool zero = std::all_of(data, data + length, [](char c) { return c == 0; });
      std::string token = "-";
      char* text = nullptr;
      long integer = 0;
      short small = 0;
      double real = 0;
      char byte = 0;
      switch (field.px_ftype) {
        case pxfAlpha:
          if (PX_get_data_alpha(px, data, length, &text) > 0) token = "h:" + Hex(text);
          break;
        case pxfBytes:
          if (PX_get_data_bytes(px, data, length, &text) > 0) token = "h:" + Hex(std::string(text, static_cast<size_t>(length)));
          break;
        case pxfShort:
          if (PX_get_data_short(px, data, length, &small) > 0) token = Number(small);
          break;
        case pxfLong:
        case pxfAutoInc:
        case pxfDate:
        case pxfTime:
          // pxlib 0.6.8 may report a null as a value: the stored bytes tell.
          if (!zero && PX_get_data_long(px, data, length, &integer) > 0) token = Number(static_cast<double>(integer));
          break;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp:
          if (PX_get_data_double(px, data, length, &real) > 0) token = Number(real);
          break;
        case pxfLogical:
          if (PX_get_data_byte(px, data, length, &byte) > 0) token = byte != 0 ? "b:1" : "b:0";
          break;
        case pxfBCD:
          if (PX_get_data_bcd(px, reinterpret_cast<unsigned char*>(data), field.px_fdc, &text) > 0) {
            token = "c:" + PxlibBcd(text);
          }
          break;
        default:
          token = "blob";
          break;
      }
      if (text != nullptr) px->free(px, text);
      row.push_back(token);
      data += length;
    }
    result.Rows.push_back(row);
  }
  PX_close(px);
  PX_delete(px);
  return result;
}

std::string Token(const TSourceTable& table, int field) {
  const TSourceField& definition = table.Fields()[static_cast<size_t>(field)];
  if (IsBlobType(definition.DataType)) return "blob";
  if (table.IsNull(field)) return "-";
  TFieldValue value = table.Value(field);
  switch (definition.DataType) {
    case ftString:
    case ftBytes: return "h:" + Hex(value.AsString());
    case ftBoolean: return value.AsBoolean() ? "b:1" : "b:0";
    case ftBCD: return "c:" + value.AsBcd().ToText();
    case ftDate: return Number(value.AsDate());
    case ftTime: return Number(value.AsTime());
    case ftDateTime: return Number(value.AsDateTime());
    default: return Number(value.AsFloat());
  }
}

void ExpectAgreesWithPxlib(const std::string& path) {
  SCOPED_TRACE(path);
  TPxlibTable oracle = ReadWithPxlib(path);
  std::unique_ptr<TSourceTable> table = Open(path);
  ASSERT_EQ(table->Fields().size(), oracle.Names.size());
  for (size_t i = 0; i < oracle.Names.size(); ++i) EXPECT_EQ(table->Fields()[i].Name, oracle.Names[i]);
  EXPECT_EQ(table->RecordCount(), static_cast<int64_t>(oracle.Rows.size()));
  size_t row = 0;
  for (table->First(); !table->Eof(); table->Next(), ++row) {
    ASSERT_LT(row, oracle.Rows.size());
    for (size_t field = 0; field < oracle.Names.size(); ++field) {
      EXPECT_EQ(Token(*table, static_cast<int>(field)), oracle.Rows[row][field])
          << "record " << row << " field " << oracle.Names[field];
    }
  }
  EXPECT_EQ(row, oracle.Rows.size());
}

std::vector<std::string> FixtureTables(const std::string& dir) {
  std::vector<std::string> tables;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir + "/paradox")) {
    std::string path = entry.path().string();
    std::string extension = entry.path().extension().string();
    bool table = extension == ".DB" || extension == ".db";
    if (table && path.find("/encrypt/") == std::string::npos) tables.push_back(path);
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

TEST(ParadoxTableTest, EveryFixtureTableAgreesWithPxlib) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::vector<std::string> tables = FixtureTables(dir);
  EXPECT_GE(tables.size(), 50u);
  for (const std::string& path : tables) ExpectAgreesWithPxlib(path);
}

// The memo and graphic BLOBs of the generated table, as its description gives them.
TEST(ParadoxTableTest, ReadsBlobsInTheRecordAndInTheBlobFile) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> table = Open(dir + "/paradox/generated/TYPES.DB");
  const int notes = 11;
  const int picture = 12;
  ASSERT_EQ(table->Fields()[notes].DataType, ftMemo);
  ASSERT_EQ(table->Fields()[picture].DataType, ftGraphic);
  EXPECT_EQ(table->Fields()[notes].Size, 10);
  const int memoLengths[] = {41, 0, 0, 44, 5000, 300, 2, 10, 11, 0, 51, 52};
  const int pictureLengths[] = {98, 0, 98, 98, 3662, 7, 98, 98, 0, 98, 98, 98};
  int record = 0;
  for (table->First(); !table->Eof(); table->Next(), ++record) {
    SCOPED_TRACE(record + 1);
    std::string memo;
    if (record + 1 == 7) memo = "hi";
    else if (record + 1 == 8) memo = "0123456789";
    else if (record + 1 == 9) memo = "01234567890";
    else
      for (int line = 0; memo.size() < static_cast<size_t>(memoLengths[record]); ++line) {
        char text[64];
        std::snprintf(text, sizeof text, "Memo %02d line %03d: Paradox BLOB text.\r\n", record + 1, line);
        memo += text;
      }
    memo.resize(static_cast<size_t>(memoLengths[record]));
    EXPECT_EQ(table->IsNull(notes), memo.empty());
    EXPECT_EQ(table->Blob(notes, false), memo);
    std::string graphic = table->Blob(picture, false);
    EXPECT_EQ(graphic.size(), static_cast<size_t>(pictureLengths[record]));
    if (graphic.size() == 98 || graphic.size() == 3662) {
      uint32_t image = static_cast<uint32_t>(graphic.size() - 8);
      std::string prefix("\x01\x00\x00\x01", 4);
      for (int i = 0; i < 4; ++i) prefix += static_cast<char>(image >> (8 * i));
      EXPECT_EQ(graphic.substr(0, 10), prefix + "BM");
    }
  }
}

TEST(ParadoxTableTest, ReadsTheIndexDefinitions) {
  TARNEL_REQUIRE_FIXTURES(dir);
  struct TCase {
    const char* Table;
    std::vector<TSourceIndex> Indexes;
  };
  const unsigned kPrimary = ixPrimary | ixUnique;
  const TCase cases[] = {
      {"generated/KEYED.DB", {{"", "Region;Code", "", "", kPrimary}}},
      {"generated/TYPES.DB", {}},
      {"db/SERVER.DB", {{"", "REQTYPE;URI", "", "", kPrimary}}},
      {"db/CUSTOMER.DB", {{"", "CustNo", "", "", kPrimary}, {"City", "City", "", "", 0}}},
      {"db/AREACODES.DB", {{"", "AC", "", "", kPrimary}, {"ste", "State", "", "", ixCaseInsensitive}}},
      {"joins/C.DB", {{"", "C", "", "", kPrimary}, {"A", "A", "", "", 0}, {"B", "B", "", "", 0}}},
      {"joins/fk4.db", {{"", "ID", "", "", kPrimary}, {"reference", "FK1;FK", "", "", 0}}},
      {"joins/indexed.db", {{"Descending", "Indexed", "", "", ixDescending | ixCaseInsensitive}}},
  };
  for (const TCase& expected : cases) {
    std::unique_ptr<TSourceTable> table = Open(dir + "/paradox/" + expected.Table);
    ASSERT_EQ(table->Indexes().size(), expected.Indexes.size()) << expected.Table;
    for (size_t i = 0; i < expected.Indexes.size(); ++i) {
      EXPECT_EQ(table->Indexes()[i].Name, expected.Indexes[i].Name) << expected.Table;
      EXPECT_EQ(table->Indexes()[i].Fields, expected.Indexes[i].Fields) << expected.Table;
      EXPECT_EQ(table->Indexes()[i].Options, expected.Indexes[i].Options) << expected.Table;
    }
  }
}

TEST(ParadoxTableTest, ReadsTheValidityChecks) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> logical = Open(dir + "/paradox/fields/logical.db");
  ASSERT_EQ(logical->ValidityChecks().size(), 1u);
  const TValidityCheck& check = logical->ValidityChecks()[0];
  EXPECT_EQ(check.FieldNo, 1);
  EXPECT_TRUE(check.Required);
  EXPECT_EQ(check.Minimum.Presence, TCheckPresence::None);
  EXPECT_EQ(check.Maximum.Presence, TCheckPresence::None);
  ASSERT_EQ(check.Default.Presence, TCheckPresence::Value);
  EXPECT_TRUE(check.Default.Value.AsBoolean());

  struct TCase {
    const char* Table;
    std::vector<std::pair<int, bool>> Checks;  // field number, required
  };
  const TCase cases[] = {
      {"joins/C.DB", {{1, true}, {2, true}}},
      {"joins/multiple.db", {{2, true}, {3, false}}},
      {"areas/ZIPCODES.DB", {{1, false}, {2, false}}},
      {"db/AREACODE.DB", {{1, false}, {4, false}}},
      {"generated/TYPES.DB", {}},
  };
  for (const TCase& expected : cases) {
    std::unique_ptr<TSourceTable> table = Open(dir + "/paradox/" + expected.Table);
    std::vector<std::pair<int, bool>> checks;
    for (const TValidityCheck& c : table->ValidityChecks()) {
      checks.emplace_back(c.FieldNo, c.Required);
      EXPECT_EQ(c.Default.Presence, TCheckPresence::None);
    }
    EXPECT_EQ(checks, expected.Checks) << expected.Table;
  }
}

TEST(ParadoxTableTest, TransliteratesFromTheTableCodePage) {
  TARNEL_REQUIRE_FIXTURES(dir);
  std::unique_ptr<TSourceTable> table = Open(dir + "/paradox/generated/DIGITS.DB");
  EXPECT_EQ(table->CodePage(), 437);
  table->Next();
  EXPECT_EQ(table->Text(0, false), "M\x81ller");
  EXPECT_EQ(table->Text(0, true), "M\xFCller");
  EXPECT_EQ(table->Fields()[0].Name, "1STNAME");
}

TEST(ParadoxTableTest, PasswordProtectedTablesGiveAClearError) {
  TARNEL_REQUIRE_FIXTURES(dir);
  for (const char* name : {"encrypted.db", "encrypted35.db", "encryptedmemo.db"}) {
    try {
      Open(dir + "/paradox/encrypt/" + name);
      ADD_FAILURE() << name << " opened";
    } catch (const ELegacyDbError& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("password"), std::string::npos) << error.what();
    }
  }
}

// A table pxlib writes here: every scalar type, nulls in every field, two data blocks.
void WritePxlibTable(const std::string& path) {
  pxdoc_t* px = PX_new();
  struct TField {
    const char* Name;
    char Type;
    int Length;
  };
  const TField definitions[] = {{"Name", pxfAlpha, 12}, {"Small", pxfShort, 2}, {"Big", pxfLong, 4},
                                {"Real", pxfNumber, 8},  {"Money", pxfCurrency, 8}, {"Day", pxfDate, 4},
                                {"Clock", pxfTime, 4},   {"Stamp", pxfTimestamp, 8}, {"Flag", pxfLogical, 1},
                                {"Raw", pxfBytes, 6},    {"Exact", pxfBCD, 17}};
  const int count = static_cast<int>(std::size(definitions));
  pxfield_t* fields = static_cast<pxfield_t*>(px->malloc(px, count * sizeof(pxfield_t), "fields"));
  for (int i = 0; i < count; ++i) {
    fields[i].px_fname = PX_strdup(px, definitions[i].Name);
    fields[i].px_ftype = definitions[i].Type;
    fields[i].px_flen = definitions[i].Length;
    fields[i].px_fdc = definitions[i].Type == pxfBCD ? 3 : 0;
  }
  ASSERT_GE(PX_create_file(px, fields, count, path.c_str(), pxfFileTypNonIndexDB), 0);
  std::vector<char> record(static_cast<size_t>(PX_get_recordsize(px)));
  for (int n = 0; n < 60; ++n) {
    std::fill(record.begin(), record.end(), 0);
    char* data = record.data();
    char name[16];
    std::snprintf(name, sizeof name, "Row %d", n);
    char raw[6] = {1, 0, static_cast<char>(n), 0, 0, 7};
    char exact[16];
    std::snprintf(exact, sizeof exact, "%d.%03d", n - 30, n * 7 % 1000);
    for (int i = 0; i < count; ++i) {
      if ((n + i) % 9 != 0) {
        switch (definitions[i].Type) {
          case pxfAlpha: PX_put_data_alpha(px, data, 12, name); break;
          case pxfShort: PX_put_data_short(px, data, 2, static_cast<short>(n * 100 - 3000)); break;
          case pxfLong: PX_put_data_long(px, data, 4, n * 1000003 - 30000000); break;
          case pxfNumber: PX_put_data_double(px, data, 8, n / 7.0 - 4); break;
          case pxfCurrency: PX_put_data_double(px, data, 8, n * 1.25 - 40); break;
          case pxfDate: PX_put_data_long(px, data, 4, 730000 + n * 37); break;
          case pxfTime: PX_put_data_long(px, data, 4, n * 1234567); break;
          case pxfTimestamp: PX_put_data_double(px, data, 8, 63113994061010.0 + n * 86400000.0); break;
          case pxfLogical: PX_put_data_byte(px, data, 1, static_cast<char>(n % 2)); break;
          case pxfBytes: PX_put_data_bytes(px, data, 6, raw); break;
          case pxfBCD: PX_put_data_bcd(px, data, 3, exact); break;
        }
      }
      data += definitions[i].Length;
    }
    PX_put_record(px, record.data());
  }
  PX_close(px);
  PX_delete(px);
}

TEST(ParadoxTableTest, TablesWrittenByPxlibReadBack) {
  test::TTempDir temp;
  WritePxlibTable(temp.File("SCALARS.DB"));
  ExpectAgreesWithPxlib(temp.File("SCALARS.DB"));
  std::unique_ptr<TSourceTable> table = Open(temp.File("SCALARS.DB"));
  EXPECT_EQ(table->RecordCount(), 60);
  table->Next();  // record 1: Name..Exact all present except field 8 (Flag)
  EXPECT_EQ(table->Text(0, false), "Row 1");
  EXPECT_EQ(table->Value(10).AsBcd().ToText(), "-29.007");
  EXPECT_EQ(table->Value(10).AsCurrency(), -290070);
  EXPECT_TRUE(table->IsNull(8));
}

// A .VAL beside the table pxlib wrote, with the parts no fixture has: minimum, maximum and the
// blank default that stands for today (date) or now (time, timestamp).
TEST(ParadoxTableTest, ReadsMinimumMaximumTodayAndNow) {
  test::TTempDir temp;
  WritePxlibTable(temp.File("SCALARS.DB"));
  auto flipped = [](uint32_t value) {
    value ^= 0x80000000u;
    return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
                       static_cast<char>(value)};
  };
  // One check: the field's position, picture length, required flag, markers of the parts given.
  auto entry = [](int position, int pictureLength, bool required, std::vector<int> markers) {
    std::string fixed(0x1C, '\0');
    fixed[0] = static_cast<char>(position);
    fixed[1] = static_cast<char>(pictureLength);
    fixed[2] = required ? 1 : 0;
    for (int marker : markers) fixed[static_cast<size_t>(marker)] = 0x6B;
    return fixed;
  };
  std::string checks = entry(5, 0, true, {0x0C, 0x14}) + flipped(730000) + std::string(4, '\0') +
                       entry(2, 4, false, {0x10, 0x18}) + flipped(100) + "###" + std::string(1, '\0') +
                       entry(7, 0, false, {0x14}) + std::string(8, '\0') +
                       entry(6, 0, false, {0x0C}) + flipped(8 * 3600000);
  std::string val(0x35, '\0');
  val[1] = 0x0B;
  val[2] = 4;
  uint32_t footer = static_cast<uint32_t>(val.size() + checks.size());
  for (int i = 0; i < 4; ++i) val[9 + static_cast<size_t>(i)] = static_cast<char>(footer >> (8 * i));
  test::WriteWholeFile(temp.File("SCALARS.VAL"), val + checks + std::string(6, '\0'));

  std::unique_ptr<TSourceTable> table = Open(temp.File("SCALARS.DB"));
  const std::vector<TValidityCheck>& found = table->ValidityChecks();
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0].FieldNo, 6);
  EXPECT_TRUE(found[0].Required);
  ASSERT_EQ(found[0].Minimum.Presence, TCheckPresence::Value);
  EXPECT_EQ(found[0].Minimum.Value.AsDate(), 730000);
  EXPECT_EQ(found[0].Default.Presence, TCheckPresence::Today);
  EXPECT_EQ(found[1].FieldNo, 3);
  EXPECT_EQ(found[1].Minimum.Presence, TCheckPresence::None);
  EXPECT_EQ(found[1].Maximum.Value.AsInteger(), 100);
  EXPECT_EQ(found[2].FieldNo, 8);
  EXPECT_EQ(found[2].Default.Presence, TCheckPresence::Now);
  EXPECT_EQ(found[3].Minimum.Value.AsTime(), 8 * 3600000);
  EXPECT_EQ(static_cast<int>(TCheckPresence::Today), 2);
  EXPECT_EQ(static_cast<int>(TCheckPresence::Now), 3);
}

TEST(ParadoxTableTest, DamagedFilesGiveErrorsNamingTheFile) {
  struct TCase {
    const char* What;
    std::function<void(std::string&)> Damage;
  };
  auto put16 = [](std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value);
    bytes[at + 1] = static_cast<char>(value >> 8);
  };
  const size_t header = 2048;
  const TCase cases[] = {
      {"header cut", [](std::string& b) { b.resize(100); }},
      {"block cut", [](std::string& b) { b.resize(2048 + 40); }},
      {"header size past the file", [&](std::string& b) { put16(b, 2, 0xF000); }},
      {"record size wrong", [&](std::string& b) { put16(b, 0, 7); }},
      {"unknown field type", [](std::string& b) { b[0x78] = 0x33; }},
      {"block size zero", [](std::string& b) { b[5] = 0; }},
      {"chain in a circle", [&](std::string& b) { put16(b, header, 1); }},
      {"chain leaves the file", [&](std::string& b) { put16(b, header, 999); }},
      {"too many records in a block", [&](std::string& b) { put16(b, header + 4, 0x7000); }},
  };
  for (const TCase& damage : cases) {
    test::TTempDir temp;
    std::string path = temp.File("SCALARS.DB");
    WritePxlibTable(path);
    std::string bytes = test::ReadWholeFile(path);
    damage.Damage(bytes);
    test::WriteWholeFile(path, bytes);
    try {
      std::unique_ptr<TSourceTable> table = Open(path);
      for (table->First(); !table->Eof(); table->Next()) {
        for (int field = 0; field < static_cast<int>(table->Fields().size()); ++field) Token(*table, field);
      }
      ADD_FAILURE() << damage.What << ": no error";
    } catch (const ELegacyDbError& error) {
      EXPECT_NE(std::string(error.what()).find("SCALARS.DB"), std::string::npos) << damage.What << ": " << error.what();
    }
  }
}

}  // namespace
}  // namespace tarnel::legacydb
