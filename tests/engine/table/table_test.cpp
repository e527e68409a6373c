// End-to-end behaviour of a table through its own interface: a table with every field type,
// three secondary indexes and a memo, filled, walked, searched, changed and reopened.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/tree_check.h"
#include "engine/table/data_file.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::Field;
using test::Index;
using test::TImage;

enum : int {
  kId = 1, kName, kCode, kBorn, kNotes, kActive, kSmall, kPrice, kAmount, kRaw, kAt, kStamp, kCount, kVar
};

TTableDefinition EveryTypeTable() {
  TTableDefinition definition;
  definition.Fields = {
      Field(kId, "Id", dtInteger, 0, stAutoInc),   Field(kName, "Name", dtString, 30),
      Field(kCode, "Code", dtInteger),             Field(kBorn, "Born", dtDate),
      Field(kNotes, "Notes", dtBlob, 0, stMemo),   Field(kActive, "Active", dtBoolean),
      Field(kSmall, "Small", dtSmallInt),          Field(kPrice, "Price", dtFloat, 0, stMoney),
      Field(kAmount, "Amount", dtBCD, 0, stNone, 2), Field(kRaw, "Raw", dtBytes, 8),
      Field(kAt, "At", dtTime),                    Field(kStamp, "Stamp", dtTimeStamp),
      Field(kCount, "Count", dtWord),              Field(kVar, "Var", dtVarBytes, 10),
  };
  definition.Indexes = {Index("", {kId}), Index("ByCode", {kCode}, {.Unique = true}),
                        Index("ByName", {kName}, {.CaseInsensitive = true, .Compression = cmLeading}),
                        Index("BySmallDesc", {kSmall, kName}, {.Descending = true, .Compression = cmBoth})};
  return definition;
}

std::string NameOf(int i) {
  static const char* kWords[] = {"alpha", "Bravo", "charlie", "Delta", "echo", "Foxtrot", "golf", "Hotel"};
  return std::string(kWords[i % 8]) + std::to_string(i % 997);
}

int CodeOf(int i) { return (i * 7919) % 1000003; }

class TableTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    FTable.SetFileName(FDir.File("PEOPLE"));
    FTable.SetExclusive(true);
    FTable.CreateTable(EveryTypeTable());
  }

  void Fill(int count) {
    FTable.SetExclusive(true);
    FTable.Open();
    TImage image(FTable);
    for (int i = 0; i < count; ++i) {
      image.Init();
      image.Text(kName, NameOf(i)).Int(kCode, CodeOf(i)).Int(kBorn, 700000 + i % 5000).Small(kSmall, static_cast<int16_t>(i % 50));
      image.Float(kPrice, i * 0.25).Int(kAt, i * 1000);
      FTable.InsertRecord(image.Data());
    }
    FTable.Close();
  }

  // The values of one field over a walk of the current index, forward or backward.
  std::vector<int32_t> Walk(int field, bool forward) {
    std::vector<int32_t> values;
    TImage image(FTable);
    if (forward) {
      FTable.SetToBegin();
      while (FTable.GetNextRecord(image.Data()) == 0) values.push_back(image.GetInt(field));
    } else {
      FTable.SetToEnd();
      while (FTable.GetPriorRecord(image.Data()) == 0) values.push_back(image.GetInt(field));
    }
    return values;
  }

  void ExpectTreesClean() {
    TIndexFile& index = FTable.IndexFile();
    uint8_t current = index.CurrentIndex();
    for (int number : {0, 1, 2, 3, 31}) {
      TTreeReport report = CheckTree(index, static_cast<uint8_t>(number), false);
      EXPECT_TRUE(report.Problems.empty()) << "index " << number << ": " << report.Problems.front();
      EXPECT_EQ(static_cast<int32_t>(report.LeafEntries), number == 31 ? FTable.RecordSlotCount() : index.RecordCount())
          << "index " << number;
    }
    index.SelectIndex(current);
  }

  TDataFile FTable;
};

TEST_F(TableTest, TwentyThousandRecordsInEveryIndexOrderBothWays) {
  const int kCount = 20000;
  Fill(kCount);
  FTable.SetExclusive(false);
  FTable.Open();
  EXPECT_EQ(FTable.GetRecordCount(), kCount);

  std::vector<int32_t> ids = Walk(kId, true);
  ASSERT_EQ(ids.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(ids[static_cast<size_t>(i)], i + 1);
  std::vector<int32_t> backward = Walk(kId, false);
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(backward, ids);

  FTable.SetIndexName("bycode");
  std::vector<int32_t> codes = Walk(kCode, true);
  std::vector<int32_t> expected;
  for (int i = 0; i < kCount; ++i) expected.push_back(CodeOf(i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(codes, expected);

  // Case-insensitive names: the walk is in upper-case order, equal names by identifier.
  FTable.SetIndexName("ByName");
  TImage image(FTable);
  FTable.SetToBegin();
  std::string previous;
  int32_t previousId = 0;
  int seen = 0;
  while (FTable.GetNextRecord(image.Data()) == 0) {
    std::string name = image.GetText(kName);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(previous < name || (previous == name && previousId < image.GetInt(kId))) << previous << " " << name;
    previous = name;
    previousId = image.GetInt(kId);
    ++seen;
  }
  EXPECT_EQ(seen, kCount);

  // Descending on (Small, Name): Small from 49 down.
  FTable.SetIndexName("BySmallDesc");
  std::vector<int32_t> smalls;
  FTable.SetToBegin();
  while (FTable.GetNextRecord(image.Data()) == 0) smalls.push_back(image.GetSmall(kSmall));
  ASSERT_EQ(smalls.size(), static_cast<size_t>(kCount));
  EXPECT_TRUE(std::is_sorted(smalls.rbegin(), smalls.rend()));
  EXPECT_EQ(smalls.front(), 49);
  ExpectTreesClean();
}

TEST_F(TableTest, RangesPartialKeysAndPositions) {
  Fill(2000);
  FTable.SetExclusive(false);
  FTable.Open();
  FTable.SetIndexName("ByName");
  TImage key(FTable);
  TImage found(FTable);

  // A partial search on the first two characters finds the first name that starts with them.
  key.Clear();
  key.Text(kName, "De");
  EXPECT_TRUE(FTable.GotoKey(false, key.Data(), found.Data(), 2, true, 0));
  EXPECT_EQ(found.GetText(kName).substr(0, 5), "Delta");
  int32_t firstDelta = FTable.GetSequenceNumber();
  // Beyond every key: the cursor goes to the last record and answers not found.
  key.Text(kName, "zzz");
  EXPECT_FALSE(FTable.GotoKey(false, key.Data(), found.Data(), 3, true, 0));
  EXPECT_EQ(FTable.GetSequenceNumber(), 2000);

  // A range on the names that start with "delta": 250 of them.
  key.Text(kName, "delta");
  FTable.SetRange(false, key.Data(), 5, 0, key.Data(), 5, 0);
  EXPECT_EQ(FTable.GetRecordCount(), 250);
  int count = 0;
  FTable.SetToBegin();
  while (FTable.GetNextRecord(found.Data()) == 0) {
    ASSERT_EQ(found.GetText(kName).substr(0, 5), "Delta");
    ++count;
  }
  EXPECT_EQ(count, 250);
  // Past the end of the range the cursor rests on the first entry beyond it.
  EXPECT_EQ(FTable.GetSequenceNumber(), 251);
  EXPECT_EQ(FTable.GetPriorRecord(found.Data()), 0);
  EXPECT_EQ(FTable.GetSequenceNumber(), 250);
  FTable.CancelRange();
  EXPECT_EQ(FTable.GetRecordCount(), 2000);
  EXPECT_GT(firstDelta, 1);

  // A range with only a start covers everything from it to the end.
  FTable.SetIndexName("ByCode");
  key.Int(kCode, CodeOf(1999));
  FTable.SetRange(false, key.Data(), 0, 0, nullptr, 0, 0);
  int above = 0;
  for (int i = 0; i < 2000; ++i) above += CodeOf(i) >= CodeOf(1999) ? 1 : 0;
  EXPECT_EQ(FTable.GetRecordCount(), above);
  FTable.CancelRange();
  // An exact search by the unique key.
  key.Int(kCode, CodeOf(1234));
  EXPECT_TRUE(FTable.FindExactKey(key.Data(), found.Data()));
  EXPECT_EQ(found.GetInt(kId), 1235);
  key.Int(kCode, -5);
  EXPECT_FALSE(FTable.FindExactKey(key.Data(), found.Data()));
}

TEST_F(TableTest, ChangesMaintainEveryIndexAndSurviveAReopen) {
  Fill(3000);
  FTable.SetExclusive(false);
  FTable.Open();
  TImage image(FTable);
  // Delete every third record through the primary index, modify every other fifth one.
  std::set<int32_t> deleted;
  FTable.SetToBegin();
  while (FTable.GetNextRecord(image.Data()) == 0) {
    int32_t id = image.GetInt(kId);
    if (id % 3 == 0) {
      FTable.LockRecord(0);
      FTable.DeleteRecord(true);
      deleted.insert(id);
      // The cursor stands on the record after the deleted one (past the end after the last).
      if (id == 3000) {
        EXPECT_EQ(FTable.GetCurrentRecord(image.Data(), false), kErrEndOfFile);
        break;
      }
      ASSERT_EQ(FTable.GetCurrentRecord(image.Data(), false), 0);
      EXPECT_EQ(image.GetInt(kId), id + 1);
      FTable.GetPriorRecord(nullptr);
    } else if (id % 5 == 0) {
      FTable.LockRecord(0);
      image.Int(kCode, 2000000 + id).Text(kName, "Renamed" + std::to_string(id));
      FTable.ModifyRecord(image.Data(), true, true);
    }
  }
  EXPECT_EQ(FTable.GetRecordCount(), 3000 - static_cast<int>(deleted.size()));
  ExpectTreesClean();
  FTable.Close();

  FTable.Open();
  FTable.SetIndexName("ByCode");
  TImage key(FTable);
  for (int32_t id = 1; id <= 3000; ++id) {
    key.Int(kCode, id % 5 == 0 ? 2000000 + id : CodeOf(id - 1));
    bool found = FTable.FindExactKey(key.Data(), image.Data());
    ASSERT_EQ(found, deleted.count(id) == 0) << id;
    if (found) {
      ASSERT_EQ(image.GetInt(kId), id);
      if (id % 5 == 0) {
        ASSERT_EQ(image.GetText(kName), "Renamed" + std::to_string(id));
      }
    }
  }
  // Deleted slots are reused by the next inserts (the table has a primary index).
  int32_t slots = FTable.RecordSlotCount();
  image.Init();
  image.Text(kName, "New").Int(kCode, 5000000);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(FTable.RecordSlotCount(), slots);
  EXPECT_EQ(FTable.Header().LastAutoInc, 3001);
  ExpectTreesClean();
}

TEST_F(TableTest, BookmarksLandOnTheNearestRecordAfterADelete) {
  Fill(10);
  FTable.SetExclusive(false);
  FTable.Open();
  FTable.SetIndexName("ByCode");
  TImage image(FTable);
  FTable.SetToBegin();
  for (int i = 0; i < 4; ++i) FTable.GetNextRecord(image.Data());
  std::vector<uint8_t> bookmark(FTable.BookmarkSize());
  FTable.GetBookmark(bookmark.data());
  int32_t marked = image.GetInt(kId);
  FTable.GetNextRecord(image.Data());
  int32_t next = image.GetInt(kId);
  FTable.GotoBookmark(bookmark.data(), false);
  FTable.GetCurrentRecord(image.Data(), false);
  EXPECT_EQ(image.GetInt(kId), marked);
  FTable.LockRecord(0);
  FTable.DeleteRecord(false);
  FTable.GotoBookmark(bookmark.data(), false);
  FTable.GetCurrentRecord(image.Data(), false);
  EXPECT_EQ(image.GetInt(kId), next);
}

TEST_F(TableTest, RefusedInsertsChangeNothing) {
  TTableDefinition definition = EveryTypeTable();
  definition.Fields[kSmall - 1].MinValue = "-10";
  definition.Fields[kSmall - 1].MaxValue = "100";
  definition.Fields[kCount - 1].Required = true;
  FTable.DeleteTable();
  FTable.CreateTable(definition);
  FTable.SetExclusive(false);
  FTable.Open();
  TImage image(FTable);
  image.Init();
  image.Text(kName, "First").Int(kCode, 1).Small(kSmall, 5).Int(kCount, 1);
  FTable.InsertRecord(image.Data());
  FTable.Close();
  std::string dat = test::ReadWholeFile(FDir.File("PEOPLE.DAT"));
  std::string idx = test::ReadWholeFile(FDir.File("PEOPLE.IDX"));
  std::string blb = test::ReadWholeFile(FDir.File("PEOPLE.BLB"));

  FTable.Open();
  struct Case {
    const char* What;
    int16_t Small;
    int32_t Code;
    bool CountGiven;
    uint16_t Code_;
  };
  const Case cases[] = {
      {"duplicate code", 5, 1, true, kErrDuplicateKey},
      {"below minimum", -11, 2, true, kErrMinimumExceeded},
      {"above maximum", 101, 3, true, kErrMaximumExceeded},
      {"required missing", 5, 4, false, kErrValueRequired},
  };
  for (const Case& c : cases) {
    image.Init();
    image.Text(kName, "Refused").Int(kCode, c.Code).Small(kSmall, c.Small);
    if (c.CountGiven) image.Int(kCount, 1);
    EXPECT_EQ(EngineCodeOf([&] { FTable.InsertRecord(image.Data()); }), c.Code_) << c.What;
  }
  EXPECT_EQ(FTable.Header().NextRecordNo, 2);
  EXPECT_EQ(FTable.Header().LastAutoInc, 1);
  EXPECT_EQ(FTable.IndexFile().RecordCount(), 1);
  FTable.Close();
  EXPECT_EQ(test::ReadWholeFile(FDir.File("PEOPLE.IDX")), idx);
  EXPECT_EQ(test::ReadWholeFile(FDir.File("PEOPLE.BLB")), blb);
  // Only the header's change counter and time of the last update may differ.
  std::string after = test::ReadWholeFile(FDir.File("PEOPLE.DAT"));
  EXPECT_EQ(after.substr(127), dat.substr(127));
}

TEST_F(TableTest, MemosAreStoredReadChangedAndFreed) {
  FTable.SetExclusive(false);
  FTable.Open();
  TImage image(FTable);
  std::string memo(3000, 'm');
  for (int i = 0; i < 3; ++i) {
    image.Init();
    image.Text(kName, "With memo").Int(kCode, i);
    ASSERT_EQ(FTable.OpenBlob(true, kNotes, 2, image.Data()), 0);
    ASSERT_EQ(FTable.WriteBlob(true, kNotes, 0, static_cast<int32_t>(memo.size()), memo.data(), image.Data()), 0);
    EXPECT_FALSE(image.IsNull(kNotes));
    FTable.InsertRecord(image.Data());
  }
  FTable.SetToBegin();
  ASSERT_EQ(FTable.GetNextRecord(image.Data()), 0);
  EXPECT_FALSE(image.IsNull(kNotes));
  ASSERT_EQ(FTable.OpenBlob(true, kNotes, 1, image.Data()), 0);
  int32_t size = 0;
  EXPECT_EQ(FTable.GetBlobSize(true, kNotes, image.Data(), size), 0);
  EXPECT_EQ(size, 3000);
  std::string back(3000, ' ');
  int32_t read = 0;
  EXPECT_EQ(FTable.ReadBlob(true, kNotes, 0, 3000, back.data(), image.Data(), read), 0);
  EXPECT_EQ(back, memo);
  EXPECT_EQ(FTable.CloseBlob(true, kNotes, image.Data()), 0);
  EXPECT_EQ(FTable.OpenBlob(true, kName, 1, image.Data()), kErrInvalidBlobField);

  // Shortened by a modification, then freed by deleting the record: the file does not grow.
  FTable.LockRecord(0);
  ASSERT_EQ(FTable.OpenBlob(true, kNotes, 2, image.Data()), 0);
  ASSERT_EQ(FTable.TruncateBlob(true, kNotes, 10, image.Data()), 0);
  FTable.ModifyRecord(image.Data(), true, true);
  FTable.LockRecord(0);
  FTable.DeleteRecord(true);
  long size3 = test::FileSize(FDir.File("PEOPLE.BLB"));
  image.Init();
  image.Text(kName, "Reuses").Int(kCode, 9);
  ASSERT_EQ(FTable.OpenBlob(true, kNotes, 2, image.Data()), 0);
  ASSERT_EQ(FTable.WriteBlob(true, kNotes, 0, 2000, memo.data(), image.Data()), 0);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(test::FileSize(FDir.File("PEOPLE.BLB")), size3);
}

TEST_F(TableTest, EmptyTableStartsAgainFromRecordOne) {
  Fill(1000);
  FTable.SetExclusive(true);
  FTable.Open();
  FTable.EmptyTable();
  EXPECT_EQ(FTable.GetRecordCount(), 0);
  TImage image(FTable);
  image.Init();
  image.Text(kName, "Again").Int(kCode, 1);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(FTable.CurrentRecord()->RecordNo, 1);
  EXPECT_EQ(FTable.CurrentRecord()->RecordId(), 1);
  FTable.Close();
  int fields = static_cast<int>(EveryTypeTable().Fields.size());
  EXPECT_EQ(test::FileSize(FDir.File("PEOPLE.DAT")), 127 + 768 * fields + FTable.RecordSize());
}

}  // namespace
}  // namespace tarnel
