// The record layer and the record changes of a table: buffers, read-ahead, slots and their
// reuse, field storing rules, defaults read in the table's own formats, validity checks.
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "engine/index/tree_check.h"
#include "engine/table/data_file.h"
#include "platform/locale/user_locale.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::Field;
using test::Index;
using test::TImage;

class RecordsTest : public test::TEngineTest {
 protected:
  void Make(const TTableDefinition& definition, bool exclusive = false) {
    FTable.SetFileName(FDir.File("R"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.SetExclusive(exclusive);
    FTable.Open();
  }

  void InsertCodes(int from, int to) {
    TImage image(FTable);
    for (int code = from; code <= to; ++code) {
      image.Init();
      image.Int(2, code);
      FTable.InsertRecord(image.Data());
    }
  }

  // Moves to the record whose field 2 holds `code` (a walk in the current order).
  bool MoveToCode(int code) {
    TImage image(FTable);
    FTable.SetToBegin();
    while (FTable.GetNextRecord(image.Data()) == 0) {
      if (image.GetInt(2) == code) return true;
    }
    return false;
  }

  TDataFile FTable;
};

TEST_F(RecordsTest, ReadAheadAndCacheSizesFollowTheRecordSize) {
  // 9 + 91 = 100 bytes a record.
  Make(test::Definition({Field(1, "Text", dtString, 89)}, {}));
  EXPECT_EQ(FTable.RecordSize(), 100);
  EXPECT_EQ(FTable.ReadAheadCount(), 327);
  EXPECT_EQ(FTable.CacheCapacity(), 1310);
}

TEST_F(RecordsTest, DeletedSlotsAreReusedOnlyWithAPrimaryIndex) {
  for (bool primary : {true, false}) {
    FTable.Close();
    if (test::FileSize(FDir.File("R.DAT")) >= 0) FTable.DeleteTable();
    TTableDefinition definition =
        test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger)}, {});
    if (primary) definition = test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger)}, {1});
    Make(definition);
    InsertCodes(1, 8);
    ASSERT_TRUE(MoveToCode(3));
    FTable.DeleteRecord(true);
    ASSERT_TRUE(MoveToCode(5));
    FTable.DeleteRecord(true);
    EXPECT_EQ(FTable.Header().FreeListHead, 5u);
    TIndexFile& index = FTable.IndexFile();
    InsertCodes(100, 100);
    if (primary) {
      EXPECT_EQ(FTable.CurrentRecord()->RecordNo, 5);
      EXPECT_EQ(FTable.Header().FreeListHead, 3u);  // what slot 5's link held
      EXPECT_EQ(FTable.RecordSlotCount(), 8);
      TTreeReport status = CheckTree(index, kSysDeletedIndex, true);
      EXPECT_TRUE(status.Problems.empty());
      EXPECT_EQ(status.LeafEntries, 8u);
    } else {
      EXPECT_EQ(FTable.CurrentRecord()->RecordNo, 9);
      EXPECT_EQ(FTable.RecordSlotCount(), 9);
      EXPECT_EQ(index.GetDescriptor(kSysDeletedIndex).RootPage, 0u);
    }
    EXPECT_EQ(FTable.CurrentRecord()->RecordId(), 9);
    EXPECT_EQ(FTable.GetRecordCount(), 7);
  }
}

TEST_F(RecordsTest, FieldsAreStoredByTheirTypeRules) {
  Make(test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 10),
                         Field(3, "Flag", dtBoolean)},
                        {1}));
  TImage image(FTable);
  image.Text(2, "abc   ");
  EXPECT_EQ(image.GetText(2), "abc");
  image.Text(2, "   ");
  EXPECT_TRUE(image.IsNull(2));
  image.Text(2, "much longer than ten");
  EXPECT_EQ(image.GetText(2), "much longe");
  image.Small(3, 7);
  EXPECT_EQ(image.GetSmall(3), 1);
  image.Small(3, 0);
  EXPECT_EQ(image.GetSmall(3), 0);
  EXPECT_FALSE(image.IsNull(3));

  TRecord record(FTable);
  record.Clear(true);
  uint8_t value[4];
  EXPECT_FALSE(FTable.GetField(false, 1, record.Image(), value));
  EXPECT_EQ(GetI32(value), FTable.Header().LastAutoInc);
  EXPECT_EQ(EngineCodeOf([&] { FTable.GetField(false, 4, record.Image(), value); }), kErrInvalidFieldNumber);
}

TEST_F(RecordsTest, RecordsAreReadInRunsAndWrittenInRuns) {
  Make(test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger)}, {1}), true);
  InsertCodes(1, 1000);
  FTable.Close();
  FTable.SetExclusive(false);
  FTable.Open();
  TImage image(FTable);
  auto walk = [&] {
    FTable.SetToBegin();
    int count = 0;
    while (FTable.GetNextRecord(image.Data()) == 0) ++count;
    return count;
  };
  // In index order a read takes the neighbouring records of the current leaf: one read a leaf.
  EXPECT_EQ(walk(), 1000);
  TTreeReport tree = CheckTree(FTable.IndexFile(), 0, false);
  ASSERT_EQ(tree.Depth, 2);
  EXPECT_EQ(FTable.RecordReads(), tree.Pages - 1);
  FTable.IndexFile().SelectIndex(0);
  // In record-number order 1000 records of 18 bytes fit one read of up to 32767 div 18 = 1820.
  FTable.Close();
  FTable.Open();
  FTable.SelectIndexNo(kNoIndex);
  EXPECT_EQ(walk(), 1000);
  EXPECT_EQ(FTable.RecordReads(), 1);
}

TEST_F(RecordsTest, DefaultsAreReadInTheTablesOwnFormats) {
  TTableDefinition definition =
      test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Born", dtDate), Field(3, "At", dtTimeStamp),
                        Field(4, "Fixed", dtDate), Field(5, "Yes", dtBoolean), Field(6, "Price", dtBCD, 0, stNone, 2),
                        Field(7, "Since", dtTimeStamp), Field(8, "Name", dtString, 10)},
                       {1});
  definition.Fields[1].DefaultValue = "date";
  definition.Fields[2].DefaultValue = "TIME";
  definition.Fields[3].DefaultValue = "12/31/1999";
  definition.Fields[4].DefaultValue = "True";
  definition.Fields[5].DefaultValue = "1.5";
  definition.Fields[6].DefaultValue = "NOW";
  definition.Fields[7].DefaultValue = "none";
  // The machine reads dates day first; the table (language 0) keeps its own month-first formats.
  locale::SetUserLocale("de_DE");
  RestoreFormats(GetLocaleFormats(true, 0, 0));
  TClock previous = SetClock([] { return EncodeDate(2026, 12, 11) + EncodeTime(13, 30, 15, 250); });
  Make(definition);
  TImage image(FTable);
  image.Init();
  SetClock(previous);
  locale::SetUserLocale("C.UTF-8");
  RestoreFormats(GetLocaleFormats(true, 0, 0));

  int32_t today = static_cast<int32_t>(EncodeDate(2026, 12, 11)) + kDateDelta;
  EXPECT_EQ(image.GetInt(2), today);
  double timeOnly = image.GetFloat(3);
  EXPECT_DOUBLE_EQ(timeOnly, 693594.0 * 86400000.0 + (13 * 3600 + 30 * 60 + 15) * 1000.0 + 250);
  EXPECT_EQ(image.GetInt(4), static_cast<int32_t>(EncodeDate(1999, 12, 31)) + kDateDelta);
  EXPECT_EQ(image.GetSmall(5), 1);
  EXPECT_EQ(image.GetInt64(6), 1502);
  EXPECT_DOUBLE_EQ(image.GetFloat(7), today * 86400000.0 + (13 * 3600 + 30 * 60 + 15) * 1000.0 + 250);
  EXPECT_EQ(image.GetText(8), "none");
  EXPECT_TRUE(image.IsNull(1) == false);
}

TEST_F(RecordsTest, ABadBooleanDefaultIsAConversionError) {
  TTableDefinition definition = test::Definition({Field(1, "Id", dtInteger), Field(2, "Yes", dtBoolean)}, {1});
  definition.Fields[1].DefaultValue = "maybe";
  FTable.SetFileName(FDir.File("R"));
  FTable.SetExclusive(true);
  EXPECT_EQ(EngineCodeOf([&] { FTable.CreateTable(definition); }), kErrInvalidValidityCheck);
}

TEST_F(RecordsTest, ValidityChecksNameTheField) {
  TTableDefinition definition = test::Definition(
      {Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 10), Field(3, "Age", dtSmallInt),
       Field(4, "Born", dtDate)},
      {1});
  definition.Fields[1].Required = true;
  definition.Fields[1].MinValue = "B";
  definition.Fields[2].MaxValue = "130";
  definition.Fields[3].MinValue = "1/1/1900";
  Make(definition);
  TImage image(FTable);
  struct Case {
    const char* Name;
    int16_t Age;
    int32_t Born;
    uint16_t Code;
    const char* Field;
  };
  int32_t in1950 = static_cast<int32_t>(EncodeDate(1950, 1, 1)) + kDateDelta;
  int32_t in1850 = static_cast<int32_t>(EncodeDate(1850, 1, 1)) + kDateDelta;
  const Case cases[] = {
      {"   ", 30, in1950, kErrValueRequired, "Name"},  // blanks are stored as null
      {"Anna", 30, in1950, kErrMinimumExceeded, "Name"},
      {"Bert", 131, in1950, kErrMaximumExceeded, "Age"},
      {"Bert", 30, in1850, kErrMinimumExceeded, "Born"},
      {"Bert", 130, in1950, 0, ""},
  };
  for (const Case& c : cases) {
    image.Init();
    image.Text(2, c.Name).Small(3, c.Age).Int(4, c.Born);
    EXPECT_EQ(EngineCodeOf([&] { FTable.InsertRecord(image.Data()); }), c.Code) << c.Name << " " << c.Age;
    if (c.Code != 0) {
      EXPECT_EQ(CurrentSession().ErrorFieldName, c.Field);
    }
  }
}

TEST_F(RecordsTest, AModificationWithoutKeyChangesLeavesTheIndexesAlone) {
  TTableDefinition definition =
      test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger), Field(3, "Note", dtString, 20)}, {1});
  definition.Indexes.push_back(Index("ByCode", {2}));
  Make(definition);
  InsertCodes(1, 50);
  std::string index = test::ReadWholeFile(FDir.File("R.IDX"));
  ASSERT_TRUE(MoveToCode(20));
  TImage image(FTable);
  FTable.GetCurrentRecord(image.Data(), true);
  image.Text(3, "changed");
  FTable.ModifyRecord(image.Data(), true, true);
  EXPECT_EQ(test::ReadWholeFile(FDir.File("R.IDX")), index);
  // A key change moves the entry and writes the index header.
  FTable.GetCurrentRecord(image.Data(), true);
  image.Int(2, 500);
  FTable.ModifyRecord(image.Data(), true, true);
  EXPECT_NE(test::ReadWholeFile(FDir.File("R.IDX")), index);
  FTable.SetIndexName("ByCode");
  FTable.SetToEnd();
  FTable.GetPriorRecord(image.Data());
  EXPECT_EQ(image.GetInt(2), 500);
  EXPECT_EQ(image.GetText(3), "changed");
}

TEST_F(RecordsTest, AFlushWhileARunIsReadKeepsTheRunsRecords) {
  // 215-byte records: the cache holds 609 buffers and a read takes up to 152 records, so that
  // scattered changes of an exclusive table fill the cache with modified buffers, which a later
  // read must write out to find buffers for the records of its run.
  Make(test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger), Field(3, "Note", dtString, 200)},
                        {1}),
       true);
  InsertCodes(1, 3000);
  FTable.Close();
  FTable.Open();
  TImage key(FTable);
  TImage found(FTable);
  std::set<int32_t> changed;
  for (int k = 0; k < 1500; ++k) {
    int32_t id = k * 83 % 3000 + 1;
    key.Init();
    key.Int(1, id);
    ASSERT_TRUE(FTable.FindExactKey(key.Data(), found.Data()));
    ASSERT_EQ(found.GetInt(2), id) << "change " << k;
    found.Text(3, "changed " + std::to_string(id));
    FTable.ModifyRecord(found.Data(), true, false);
    changed.insert(id);
  }
  FTable.Close();
  FTable.Open();
  TImage image(FTable);
  FTable.SetToBegin();
  int32_t expected = 0;
  while (FTable.GetNextRecord(image.Data()) == 0) {
    ++expected;
    ASSERT_EQ(image.GetInt(1), expected);
    ASSERT_EQ(image.GetInt(2), expected);
    EXPECT_EQ(image.GetText(3), changed.count(expected) != 0 ? "changed " + std::to_string(expected) : "");
  }
  EXPECT_EQ(expected, 3000);
}

TEST_F(RecordsTest, ARecordChangedAfterItsRunWasReadIsReadAsChanged) {
  // 215-byte records: reading record 1 on the way through the table reads records 1 to 152 in
  // one run, and 609 buffers fill the cache. Record 100 is changed, then enough records are added that its buffer is written
  // and taken for another record; the run read before must not bring the old record back.
  Make(test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger), Field(3, "Note", dtString, 200)},
                        {1}),
       true);
  InsertCodes(1, 1000);
  FTable.Close();
  FTable.Open();
  TImage key(FTable);
  TImage found(FTable);
  auto find = [&](int32_t id) {
    key.Init();
    key.Int(1, id);
    EXPECT_TRUE(FTable.FindExactKey(key.Data(), found.Data())) << id;
  };
  FTable.SetToBegin();
  ASSERT_EQ(FTable.GetNextRecord(found.Data()), 0);
  long reads = FTable.RecordReads();
  find(100);
  EXPECT_EQ(FTable.RecordReads(), reads);
  found.Int(2, -100);
  FTable.ModifyRecord(found.Data(), true, false);
  InsertCodes(1001, 2000);
  find(100);
  EXPECT_EQ(found.GetInt(2), -100);
  find(99);
  EXPECT_EQ(found.GetInt(2), 99);
}

}  // namespace
}  // namespace tarnel
