// The transfer end to end, on the real fixture tables and on tables written here by pxlib:
// every transferred table is read back through the engine and compared with the source field
// by field; the structure, the messages and their order, the checks that come before anything
// is touched, the format settings around a run and the end of a run on a failure.
extern "C" {
#include <paradox.h>
}

#include <gtest/gtest.h>

#include <filesystem>

#include "apps/tolbrin/table_transfer.h"
#include "apps/tolbrin/transfer_structure.h"
#include "engine/base/byte_order.h"
#include "engine/base/session.h"
#include "paradox_writer.h"
#include "platform/locale/installed_locale.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/format_settings.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"
#include "transfer_test_support.h"

namespace tarnel::tolbrin {
namespace {

using test::TTransferLog;
using test::TTransferredTable;

const int kGermanStandard = LanguageIndexOf("German (Standard)");

TTransferRequest Request(const std::string& source, const std::string& destination, std::vector<std::string> tables) {
  TTransferRequest request;
  request.SourceDirectory = source;
  request.DestinationDirectory = destination;
  request.Tables = std::move(tables);
  return request;
}

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> IndexFields(TTransferredTable& table, int number) {
  const TIndexDescriptor& index = table.Table().GetIndexDesc(number);
  std::vector<std::string> names;
  for (int i = 0; i < index.FieldCount; ++i)
    names.push_back(table.Field(index.FieldNumbers[static_cast<size_t>(i)]).FieldName);
  return names;
}

TEST(TableTransferTest, TheLanguageAndSortListsGiveTheTablesLocale) {
  ASSERT_EQ(locale::Languages().size(), 106u);
  EXPECT_EQ(kGermanStandard, 52);
  EXPECT_EQ(SortOrders(), std::vector<std::string>{"Default Order"});
  struct TCase {
    const char* Language;
    uint16_t LanguageId;
    uint16_t SortIdOfSort1;
  };
  const TCase cases[] = {
      {"Machine ASCII", 0, 0},
      {"German (Standard)", 0x0407, 1},
      {"German (Liechtenstein)", 0x1407, 1},
      {"Chinese (Taiwan)", 0x0404, 1},
      {"Chinese (PR China)", 0x0804, 2},
      {"Chinese (Hong Kong)", 0x0C04, 1},
      {"Chinese (Singapore)", 0x1004, 1},
      {"Japanese", 0x0411, 1},
      {"Korean (Johab)", 0x0812, 1},
      {"Portuguese (Standard)", 0x0816, 0},
      {"English (USA)", 0x0409, 0},
      {"Ukranian", 0x0422, 0},
  };
  for (const TCase& expected : cases) {
    int index = LanguageIndexOf(expected.Language);
    ASSERT_GE(index, 0) << expected.Language;
    EXPECT_EQ(LanguageIdAt(index), expected.LanguageId) << expected.Language;
    EXPECT_EQ(SortIdAt(index, 0), 0) << expected.Language;
    EXPECT_EQ(SortIdAt(index, 1), expected.SortIdOfSort1) << expected.Language;
  }
  EXPECT_EQ(LanguageIndexOf("german (standard)"), kGermanStandard);
  EXPECT_EQ(LanguageIndexOf("Klingon"), -1);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 67);
  EXPECT_EQ(ProgressPercent(0, 0), 100);
}

TEST(TableTransferTest, AParadoxKeyOnTwoFieldsBecomesThePrimaryIndex) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::string source = fixtures + "/paradox/generated";
  TTransferRequest request = Request(source, destination.Path(), {" KEYED.DB "});
  request.UserMajorVersion = "65535";
  request.UserMinorVersion = "7";
  TTransferLog log = test::Transfer(request);
  ASSERT_EQ(log.Result, TTransferResult::Completed) << (log.Errors.empty() ? "" : log.Errors[0]);
  EXPECT_EQ(log.Information, std::vector<std::string>{"Transfer completed successfully."});
  ASSERT_GE(log.Events.size(), 5u);
  EXPECT_EQ(log.Events.front(), "running");
  EXPECT_EQ(log.Events[1], "begin Transferring table KEYED.DB to TARNEL table...");
  EXPECT_EQ(log.Events[2], "progress 0");
  EXPECT_EQ(log.Events[log.Events.size() - 3], "progress 100");
  EXPECT_EQ(log.Events[log.Events.size() - 2], "end");
  EXPECT_EQ(log.Events.back(), "stopped");
  EXPECT_EQ(log.ProgressCalls, 600);
  EXPECT_FALSE(EngineStarted());
  EXPECT_EQ(FilesIn(destination.Path()), (std::vector<std::string>{"KEYED.DAT", "KEYED.IDX"}));

  test::ExpectSameValues(source, "KEYED.DB", destination.Path(), true);
  TTransferredTable table(destination.Path(), "KEYED.DB");
  EXPECT_EQ(table.Table().FieldCount(), 6);
  EXPECT_EQ(table.FieldNumber("RecordID"), 0);
  EXPECT_EQ(IndexFields(table, 0), (std::vector<std::string>{"Region", "Code"}));
  const TIndexDescriptor& primary = table.Table().GetIndexDesc(0);
  EXPECT_EQ(primary.Compression, cmBoth);
  EXPECT_TRUE(primary.Unique);
  EXPECT_EQ(table.Table().IndexCount(), 0);
  EXPECT_EQ(table.Table().Header().UserMajorVersion, 65535);
  EXPECT_EQ(table.Table().Header().UserMinorVersion, 7);
  EXPECT_EQ(table.Table().LanguageId(), 0);
  EXPECT_EQ(table.Table().Header().LastAutoInc, 600);
}

TEST(TableTransferTest, ADbaseTableGetsRecordIdAndItsIndexesMoveUpByOne) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::string source = fixtures + "/dbase/generated";
  TTransferLog log = test::Transfer(Request(source, destination.Path(), {"EMPTY4.DBF", "PEOPLE.DBF", "ORDERS.DBF"}));
  ASSERT_EQ(log.Result, TTransferResult::Completed) << (log.Errors.empty() ? "" : log.Errors[0]);
  EXPECT_EQ(log.Information,
            (std::vector<std::string>{
                "Index CODEWHEN in source table EMPTY4.DBF is an expression index that contains functions and will not "
                "be transferred over to the new TARNEL data file.",
                "A primary index was not found in source table EMPTY4.DBF, a primary index based upon an "
                "auto-increment field called RecordID will be added to the new TARNEL data file.",
                "Index ULAST in source table PEOPLE.DBF is an expression index that contains functions and will not be "
                "transferred over to the new TARNEL data file.",
                "A primary index was not found in source table PEOPLE.DBF, a primary index based upon an "
                "auto-increment field called RecordID will be added to the new TARNEL data file.",
                "A primary index was not found in source table ORDERS.DBF, a primary index based upon an "
                "auto-increment field called RecordID will be added to the new TARNEL data file.",
                "Transfer completed successfully."}));
  for (const char* name : {"EMPTY4.DBF", "PEOPLE.DBF", "ORDERS.DBF"}) {
    test::ExpectSameValues(source, name, destination.Path(), true);
  }

  TTransferredTable people(destination.Path(), "PEOPLE.DBF");
  TDataFile& table = people.Table();
  ASSERT_EQ(table.FieldCount(), 9);
  EXPECT_EQ(people.Field(1).FieldName, "RecordID");
  EXPECT_EQ(people.Field(2).FieldName, "FIRST");
  EXPECT_EQ(people.Field(8).FieldType, dtBlob);
  EXPECT_EQ(people.Field(8).SubType, stMemo);
  EXPECT_EQ(IndexFields(people, 0), std::vector<std::string>{"RecordID"});
  EXPECT_FALSE(table.GetIndexDesc(0).Unique);
  EXPECT_EQ(table.GetIndexDesc(0).Compression, cmBoth);
  ASSERT_EQ(table.IndexCount(), 5);
  struct TIndexCase {
    const char* Name;
    std::vector<std::string> Fields;
    std::vector<uint16_t> Numbers;
    bool Descending;
  };
  const TIndexCase indexes[] = {
      {"LASTNAME", {"LAST"}, {3}, false},   {"FULLNAME", {"LAST", "FIRST"}, {3, 2}, false},
      {"BYBIRTH", {"BIRTH"}, {5}, true},    {"UNIQAGE", {"AGE"}, {9}, false},
      {"HIGHPAID", {"SALARY"}, {6}, false},
  };
  for (int i = 0; i < 5; ++i) {
    const TIndexCase& expected = indexes[i];
    const TIndexDescriptor& index = table.GetIndexDesc(i + 1);
    EXPECT_EQ(index.IndexName, expected.Name);
    EXPECT_EQ(IndexFields(people, i + 1), expected.Fields) << expected.Name;
    for (size_t f = 0; f < expected.Numbers.size(); ++f) EXPECT_EQ(index.FieldNumbers[f], expected.Numbers[f]);
    EXPECT_EQ(index.Descending, expected.Descending) << expected.Name;
    EXPECT_EQ(index.FieldDescending[0], expected.Descending ? 1 : 0) << expected.Name;
    EXPECT_EQ(index.FieldDescending[15], expected.Descending ? 1 : 0) << expected.Name;
    EXPECT_EQ(index.Compression, cmBoth) << expected.Name;
    // dBase's unique tags allow duplicate keys in the table (196 records, 71 ages).
    EXPECT_FALSE(index.Unique) << expected.Name;
  }
  EXPECT_EQ(table.Header().LastAutoInc, 196);
  table.SetIndexName("FULLNAME");
  EXPECT_EQ(table.GetRecordCount(), 196);
}

TEST(TableTransferTest, FieldNamesThatDoNotBeginWithALetterGetAnA) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  std::string source = fixtures + "/paradox/generated";
  for (bool transliterate : {true, false}) {
    test::TTempDir destination;
    TTransferRequest request = Request(source, destination.Path(), {"DIGITS.DB"});
    request.Transliterate = transliterate;
    TTransferLog log = test::Transfer(request);
    ASSERT_EQ(log.Result, TTransferResult::Completed);
    ASSERT_EQ(log.Information.size(), 5u);
    EXPECT_EQ(log.Information[0],
              "Field name 1STNAME in source table DIGITS.DB does not begin with an alpha character and will be renamed "
              "in the new TARNEL data file to A1STNAME.");
    EXPECT_EQ(log.Information[1], FieldRenamedMessage("2ND NAME", "DIGITS.DB"));
    EXPECT_EQ(log.Information[2], FieldRenamedMessage("%Rate", "DIGITS.DB"));
    EXPECT_EQ(log.Information[3], RecordIdAddedMessage("DIGITS.DB"));
    test::ExpectSameValues(source, "DIGITS.DB", destination.Path(), transliterate);
    TTransferredTable table(destination.Path(), "DIGITS.DB");
    std::vector<std::string> names;
    for (int n = 1; n <= table.Table().FieldCount(); ++n) names.push_back(table.Field(n).FieldName);
    EXPECT_EQ(names, (std::vector<std::string>{"RecordID", "A1STNAME", "A2ND NAME", "Amount#", "A%Rate", "Last-Seen"}));
    std::vector<uint8_t> image(static_cast<size_t>(table.Table().RecordBufferSize()));
    table.Table().SetToBegin();
    table.Table().GetNextRecord(image.data());
    table.Table().GetNextRecord(image.data());
    char name[32] = {};
    table.Table().GetField(true, 2, image.data(), reinterpret_cast<uint8_t*>(name));
    // Code page 437 (0x81 is u-umlaut) into the 1252 of "Machine ASCII" (0xFC), or as it is.
    EXPECT_EQ(std::string(name), transliterate ? "M\xFCller" : "M\x81ller");
  }
}

// A table with the kinds of value whose transfer changes them: BCD with 6 decimals, graphics
// with and without the 8-byte header, binary BLOBs, a text longer than 250 characters, and
// auto-increment values with gaps.
class EdgeTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<test::TPxField> fields = {
        {"ID", pxfAutoInc, 4}, {"Exact", pxfBCD, 17, 6}, {"Picture", pxfGraphic, 10},
        {"Data", pxfBLOb, 10}, {"Name", pxfAlpha, 255},  {"Notes", pxfMemoBLOb, 10},
    };
    std::string longMemo;
    for (int i = 0; i < 300; ++i) longMemo += "Line " + std::to_string(i) + " of a long memo.\r\n";
    std::string header7 = std::string("\x01\x00\x00\x01\x00\x00\x00", 7);
    test::WriteParadoxTable(FSource.File("EDGES.DB"), fields,
                            {
                                {int64_t{3}, std::string("1.234550"), test::WithGraphicHeader("IMAGE-ONE"),
                                 test::WithGraphicHeader("binary"), std::string(255, 'x'), std::string("Memo text")},
                                {int64_t{7}, std::string("-0.000050"), header7, {}, std::string("short"), {}},
                                {int64_t{20},
                                 std::string("66.006666"),
                                 std::string("no header here at all"),
                                 std::string("abc"),
                                 {},
                                 longMemo},
                                {int64_t{21},
                                 std::string("-2.499949"),
                                 test::WithGraphicHeader("abc") + "extra",
                                 {},
                                 std::string("n"),
                                 std::string("caf\xE9")},
                                {int64_t{12}, {}, {}, {}, std::string("last"), {}},
                            });
  }

  test::TTempDir FSource;
  test::TTempDir FDestination;
};

TEST_F(EdgeTableTest, BcdIsRoundedGraphicsLoseTheirHeaderAndAutoIncrementValuesStay) {
  TTransferLog log = test::Transfer(Request(FSource.Path(), FDestination.Path(), {"EDGES.DB"}));
  ASSERT_EQ(log.Result, TTransferResult::Completed) << (log.Errors.empty() ? "" : log.Errors[0]);
  EXPECT_EQ(log.Information,
            (std::vector<std::string>{
                "Field decimals of Exact in source table EDGES.DB exceeds the maximum number of BCD decimals (4) in "
                "TARNEL and will be truncated in the new TARNEL data file.",
                "Field length of Name in source table EDGES.DB exceeds the maximum field length of 250 in TARNEL and "
                "will be truncated in the new TARNEL data file.",
                RecordIdAddedMessage("EDGES.DB"), "Transfer completed successfully."}));
  test::ExpectSameValues(FSource.Path(), "EDGES.DB", FDestination.Path(), true);

  TTransferredTable edges(FDestination.Path(), "EDGES.DB");
  TDataFile& table = edges.Table();
  ASSERT_EQ(table.FieldCount(), 7);
  EXPECT_TRUE(edges.Field(2).IsAutoInc());
  EXPECT_EQ(edges.Field(3).FieldType, dtBCD);
  EXPECT_EQ(edges.Field(3).Decimals, 4);
  EXPECT_EQ(edges.Field(4).SubType, stGraphic);
  EXPECT_EQ(edges.Field(5).SubType, stBinary);
  EXPECT_EQ(edges.Field(6).FieldType, dtString);
  EXPECT_EQ(edges.Field(6).FieldSize, 250);
  EXPECT_EQ(edges.Field(7).SubType, stMemo);
  EXPECT_EQ(table.Header().LastAutoInc, 21);

  struct TExpected {
    int32_t Id;
    bool BcdNull;
    int64_t Bcd;  // the stored form: the amount at 4 decimals, then the digit 4
    std::string Picture;
    std::string Data;
    std::string Name;
  };
  const TExpected records[] = {
      {3, false, 123464, "IMAGE-ONE", test::WithGraphicHeader("binary"), std::string(250, 'x')},
      {7, false, -14, std::string("\x01\x00\x00\x01\x00\x00\x00", 7), "", "short"},
      {20, false, 6600674, "no header here at all", "abc", ""},
      {21, false, -249994, test::WithGraphicHeader("abc") + "extra", "", "n"},
      {12, true, 0, "", "", "last"},
  };
  std::vector<uint8_t> image(static_cast<size_t>(table.RecordBufferSize()));
  table.SelectIndexNo(kNoIndex);
  table.SetToBegin();
  for (const TExpected& expected : records) {
    ASSERT_EQ(table.GetNextRecord(image.data()), 0);
    uint8_t value[256] = {};
    EXPECT_FALSE(table.GetField(true, 1, image.data(), value));
    EXPECT_EQ(GetI32(value), expected.Id);
    table.GetField(true, 2, image.data(), value);
    EXPECT_EQ(GetI32(value), expected.Id);
    EXPECT_EQ(table.GetField(true, 3, image.data(), value), expected.BcdNull);
    EXPECT_EQ(GetI64(value), expected.Bcd) << expected.Id;
    EXPECT_EQ(edges.Blob(4, image.data()), expected.Picture) << expected.Id;
    EXPECT_EQ(edges.Blob(5, image.data()), expected.Data) << expected.Id;
    table.GetField(true, 6, image.data(), value);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value)), expected.Name);
  }
  table.Close();

  // New records continue after the largest value copied.
  table.SetExclusive(true);
  table.Open();
  table.InitRecord(image.data());
  table.InsertRecord(image.data());
  EXPECT_EQ(GetI32(image.data() + 5), 22);
}

// A table with validity checks of every kind the transfer writes as text.
class ValidityCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSaved = SaveFormats();
    const std::vector<test::TPxField> fields = {
        {"Born", pxfDate, 4},       {"Opens", pxfTime, 4},   {"Count", pxfShort, 2},  {"Ratio", pxfNumber, 8},
        {"Stamp", pxfTimestamp, 8}, {"Label", pxfAlpha, 10}, {"Flag", pxfLogical, 1},
    };
    int32_t born = EncodeDate(1999, 9, 28) + kDateDelta;
    test::WriteParadoxTable(FSource.File("CHECKED.DB"), fields,
                            {
                                {int64_t{born + 3}, int64_t{9 * 3600000}, int64_t{4}, 1.5, 63113994061010.0,
                                 std::string("here"), int64_t{1}},
                                // Label stays null although the new field has a default.
                                {int64_t{born}, int64_t{8 * 3600000}, {}, {}, 63113994061010.0, {}, {}},
                            });
    double stamp = (EncodeDate(2000, 2, 3) + kDateDelta) * 86400000.0 + (4 * 3600 + 5 * 60 + 6) * 1000.0;
    test::WriteValidityChecks(FSource.File("CHECKED.VAL"), fields,
                              {
                                  {0, true, test::PxLong(born), {}, std::string()},
                                  {1, false, test::PxLong(8 * 3600000), {}, std::string()},
                                  {2, false, test::PxShort(-5), test::PxShort(100), {}},
                                  {3, false, {}, test::PxNumber(2.5), {}},
                                  {4, false, test::PxNumber(stamp), {}, std::string()},
                                  {5, false, {}, {}, std::string("abc")},
                                  {6, false, {}, {}, std::string("\x81")},
                              });
  }
  void TearDown() override { RestoreFormats(FSaved); }

  test::TTempDir FSource;
  TLocaleFormats FSaved;
};

TEST_F(ValidityCheckTest, ChecksBecomeTextsInTheNewTablesLocale) {
  struct TCase {
    const char* Language;
    std::string BornMin, OpensMin, RatioMax, StampMin;
  };
  const TCase cases[] = {
      {"Machine ASCII", "9/28/1999", "8:00:00 AM", "2.5", "2/3/2000 4:05:06 AM"},
      {"German (Standard)", "28.09.1999", "08:00:00", "2,5", "03.02.2000 04:05:06"},
  };
  for (const TCase& expected : cases) {
    SCOPED_TRACE(expected.Language);
    int language = LanguageIndexOf(expected.Language);
    if (LanguageIdAt(language) != 0 && !locale::IsValidLocale(LanguageIdAt(language))) {
      ADD_FAILURE() << expected.Language << " is not installed";
      continue;
    }
    test::TTempDir destination;
    TTransferRequest request = Request(FSource.Path(), destination.Path(), {"CHECKED.DB"});
    request.LanguageIndex = language;
    TTransferLog log = test::Transfer(request);
    ASSERT_EQ(log.Result, TTransferResult::Completed) << (log.Errors.empty() ? "" : log.Errors[0]);
    test::ExpectSameValues(FSource.Path(), "CHECKED.DB", destination.Path(), true);
    TTransferredTable table(destination.Path(), "CHECKED.DB");
    EXPECT_EQ(table.Table().LanguageId(), LanguageIdAt(language));
    struct TField {
      const char* Name;
      bool Required;
      std::string Min, Max, Default;
    };
    const TField fields[] = {
        {"Born", true, expected.BornMin, "", "Date"},
        {"Opens", false, expected.OpensMin, "", "Time"},
        {"Count", false, "-5", "100", ""},
        {"Ratio", false, "", expected.RatioMax, ""},
        {"Stamp", false, expected.StampMin, "", "Now"},
        {"Label", false, "", "", "abc"},
        {"Flag", false, "", "", "True"},
    };
    for (const TField& field : fields) {
      const TFieldDesc& desc = table.Field(table.FieldNumber(field.Name));
      EXPECT_EQ(desc.Required, field.Required) << field.Name;
      EXPECT_EQ(desc.MinValue, field.Min) << field.Name;
      EXPECT_EQ(desc.MaxValue, field.Max) << field.Name;
      EXPECT_EQ(desc.DefaultValue, field.Default) << field.Name;
    }
  }
}

TEST_F(ValidityCheckTest, TheFormatsAreThoseOfTheNewTablesDuringTheRunAndTheOldOnesAfter) {
  TLocaleFormats own = SaveFormats();
  own.ShortDateFormat = "yyyy-MM-dd";
  own.DecimalSeparator = "'";
  RestoreFormats(own);
  TLocaleFormats german = GetLocaleFormats(false, LanguageIdAt(kGermanStandard), 0);
  std::vector<bool> duringRun;
  TTransferEvents events;
  auto seen = [&] { duringRun.push_back(FormatSettings() == german); };
  events.OnInformation = [&](const std::string&) { seen(); };
  events.OnProgress = [&](int64_t, int64_t) { seen(); };
  for (const char* table : {"CHECKED.DB", "MISSING.DB"}) {
    test::TTempDir destination;
    TTransferRequest request = Request(FSource.Path(), destination.Path(), {table});
    request.LanguageIndex = kGermanStandard;
    RunTransfer(request, events);
    EXPECT_TRUE(FormatSettings() == own) << table;
  }
  EXPECT_EQ(duringRun, std::vector<bool>(4, true));
}

TEST(TableTransferTest, VersionNumbersAndTheLocaleAreCheckedBeforeAnythingIsTouched) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  struct TCase {
    std::string Major, Minor;
    int Language;
    std::string Message;
  };
  std::string major = "The user-defined major version # must be between 0 and 65535";
  std::string minor = "The user-defined minor version # must be between 0 and 65535";
  std::string localeMessage = "The selected language driver information is not available or installed.";
  const TCase cases[] = {
      {"65536", "0", 0, major}, {"", "0", 0, major},
      {"-1", "0", 0, major},    {"1a", "0", 0, major},
      {"1", "70000", 0, minor}, {"1", "", 0, minor},
      {"65535", "x", 0, minor}, {"1", "0", kGermanStandard, localeMessage},
  };
  uint32_t german = locale::MakeLcid(LanguageIdAt(kGermanStandard), 0);
  locale::SetLocaleUnavailable(german, true);
  for (const TCase& expected : cases) {
    test::TTempDir destination;
    TTransferRequest request = Request(fixtures + "/paradox/generated", destination.Path(), {"KEYED.DB"});
    request.UserMajorVersion = expected.Major;
    request.UserMinorVersion = expected.Minor;
    request.LanguageIndex = expected.Language;
    TTransferLog log = test::Transfer(request);
    EXPECT_EQ(log.Result, TTransferResult::Refused);
    EXPECT_EQ(log.Errors, std::vector<std::string>{expected.Message});
    EXPECT_TRUE(log.Information.empty());
    EXPECT_TRUE(log.Events.empty());
    EXPECT_TRUE(FilesIn(destination.Path()).empty());
    EXPECT_FALSE(EngineStarted());
  }
  locale::SetLocaleUnavailable(german, false);
}

TEST(TableTransferTest, AFailureEndsTheRunAndKeepsWhatWasWritten) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::string source = fixtures + "/paradox/generated";
  TLocaleFormats before = SaveFormats();
  TTransferLog log = test::Transfer(Request(source, destination.Path(), {"DIGITS.DB", "TYPES.DB", "KEYED.DB"}));
  EXPECT_EQ(log.Result, TTransferResult::Failed);
  ASSERT_EQ(log.Errors.size(), 1u);
  // Record 5 holds a BCD value of 20 integer digits, beyond the engine's range.
  EXPECT_NE(log.Errors[0].find("TYPES.DB, field Exact"), std::string::npos) << log.Errors[0];
  EXPECT_EQ(std::count(log.Information.begin(), log.Information.end(), "Transfer completed successfully."), 0);
  EXPECT_EQ(log.Events.back(), "stopped");
  EXPECT_FALSE(EngineStarted());
  EXPECT_TRUE(FormatSettings() == before);
  EXPECT_EQ(FilesIn(destination.Path()),
            (std::vector<std::string>{"DIGITS.DAT", "DIGITS.IDX", "TYPES.BLB", "TYPES.DAT", "TYPES.IDX"}));
  test::ExpectSameValues(source, "DIGITS.DB", destination.Path(), true);
  TTransferredTable types(destination.Path(), "TYPES.DB");
  EXPECT_EQ(types.Table().GetRecordCount(), 4);
}

// Every fixture table is transferred on its own and reads back with the source's values; the
// ones the transfer cannot take end with an error that names the reason.
TEST(TableTransferTest, EveryFixtureTableReadsBackWithTheSourcesValues) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  const std::map<std::string, std::string> failures = {
      {"paradox/generated/TYPES.DB", "not within the range of a currency amount"},
      {"paradox/encrypt/encrypted.db", "password-protected"},
      {"paradox/encrypt/encrypted35.db", "password-protected"},
      {"paradox/encrypt/encryptedmemo.db", "password-protected"},
      {"dbase/dbase_02.dbf", "damaged value"},
      {"dbase/dbase_03.dbf", "Invalid or duplicate field name Point_ID"},
      {"dbase/dbase_83_missing_memo.dbf", "memo file"},
      {"dbase/dbase_8c.dbf", "memo file"},
  };
  int transferred = 0;
  for (const char* folder : {"paradox/areas", "paradox/db", "paradox/encrypt", "paradox/fields", "paradox/generated",
                             "paradox/joins", "dbase", "dbase/generated"}) {
    std::string source = fixtures + "/" + folder;
    for (const std::string& name : FilesIn(source)) {
      std::string extension = name.substr(name.rfind('.') + 1);
      if (strcasecmp(extension.c_str(), "db") != 0 && strcasecmp(extension.c_str(), "dbf") != 0) continue;
      std::string key = std::string(folder) + "/" + name;
      SCOPED_TRACE(key);
      test::TTempDir destination;
      TTransferRequest request = Request(source, destination.Path(), {name});
      request.Transliterate = false;
      TTransferLog log = test::Transfer(request);
      auto failure = failures.find(key);
      if (failure != failures.end()) {
        EXPECT_EQ(log.Result, TTransferResult::Failed);
        ASSERT_EQ(log.Errors.size(), 1u);
        EXPECT_NE(log.Errors[0].find(failure->second), std::string::npos) << log.Errors[0];
        continue;
      }
      ASSERT_EQ(log.Result, TTransferResult::Completed) << (log.Errors.empty() ? "" : log.Errors[0]);
      test::ExpectSameValues(source, name, destination.Path(), false);
      ++transferred;
    }
  }
  EXPECT_GE(transferred, 50);
}

}  // namespace
}  // namespace tarnel::tolbrin
