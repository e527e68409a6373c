// Several programs (forked children) and several cursors of one program on one table: record
// and table locks, changes seen through the change counters, writers that exclude each other.
#include <sys/stat.h>

#include <chrono>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/tree_check.h"
#include "engine/table/data_file.h"
#include "support/child_process.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::Field;
using test::Index;
using test::TChildProcess;
using test::TImage;

enum : int { kId = 1, kName, kCode };

class SharingTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    TTableDefinition definition =
        test::Definition({Field(kId, "Id", dtInteger, 0, stAutoInc), Field(kName, "Name", dtString, 20),
                          Field(kCode, "Code", dtInteger)},
                         {kId});
    definition.Indexes.push_back(Index("ByCode", {kCode}, {.Unique = true}));
    TDataFile table;
    table.SetFileName(Path());
    table.SetExclusive(true);
    table.CreateTable(definition);
    table.Open();
    for (int i = 1; i <= 10; ++i) Insert(table, i);
    table.Close();
  }

  std::string Path() const { return FDir.File("SHARED"); }

  static void Insert(TDataFile& table, int code) {
    TImage image(table);
    image.Init();
    image.Text(kName, "Row " + std::to_string(code)).Int(kCode, code);
    table.InsertRecord(image.Data());
  }

  void OpenShared(TDataFile& table) {
    table.SetFileName(Path());
    table.Open();
  }

  // Moves to the n-th record in primary order and answers its Code.
  static int32_t MoveTo(TDataFile& table, int n) {
    TImage image(table);
    table.SetToBegin();
    for (int i = 0; i < n; ++i) table.GetNextRecord(image.Data());
    return image.GetInt(kCode);
  }
};

TEST_F(SharingTest, RecordLocksConflictAfterTheirRetriesAndBlockTheTableLock) {
  TDataFile mine;
  OpenShared(mine);
  ASSERT_EQ(MoveTo(mine, 7), 7);
  mine.LockRecord(0);
  TChildProcess other([this](TChildProcess&) {
    TDataFile theirs;
    OpenShared(theirs);
    auto start = std::chrono::steady_clock::now();
    if (EngineCodeOf([&] { theirs.LockRecord(7); }) != kErrRecordInUse) return 1;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < 1.4 || seconds > 6.0) return 2;  // 16 attempts, 100 ms apart
    if (EngineCodeOf([&] { theirs.LockRecord(8); }) != 0) return 3;
    theirs.UnlockRecord(8);
    theirs.SetLockRetryCount(2);
    if (EngineCodeOf([&] { theirs.LockTable(); }) != kErrTableLocked) return 4;
    return 0;
  });
  EXPECT_EQ(other.Wait(), 0);
  // Holding a record lock, not even this cursor gets the table lock.
  mine.SetLockRetryCount(1);
  EXPECT_EQ(EngineCodeOf([&] { mine.LockTable(); }), kErrTableLocked);
  mine.UnlockRecord(0);
  EXPECT_NO_THROW(mine.LockTable());
  mine.UnlockTable();
}

TEST_F(SharingTest, AnotherProgramsInsertIsSeenAtTheNextMoveAndThePositionStays) {
  TDataFile mine;
  OpenShared(mine);
  ASSERT_EQ(MoveTo(mine, 3), 3);
  TChildProcess other([this](TChildProcess&) {
    TDataFile theirs;
    OpenShared(theirs);
    Insert(theirs, 100);
    return 0;
  });
  ASSERT_EQ(other.Wait(), 0);
  TImage image(mine);
  ASSERT_EQ(mine.GetNextRecord(image.Data()), 0);
  EXPECT_EQ(image.GetInt(kCode), 4);
  EXPECT_EQ(mine.GetRecordCount(), 11);
  mine.SetToEnd();
  ASSERT_EQ(mine.GetPriorRecord(image.Data()), 0);
  EXPECT_EQ(image.GetInt(kCode), 100);

  // Nothing changed since: a refresh and a walk read nothing but the change counters.
  auto walk = [&] {
    mine.SetToBegin();
    while (mine.GetNextRecord(image.Data()) == 0) {
    }
  };
  walk();
  long pages = mine.IndexFile().PageReads();
  long records = mine.RecordReads();
  mine.Refresh();
  walk();
  EXPECT_EQ(mine.IndexFile().PageReads(), pages);
  EXPECT_EQ(mine.RecordReads(), records);
}

TEST_F(SharingTest, TwoCursorsOfOneProgramBehaveLikeTwoPrograms) {
  TDataFile first;
  TDataFile second;
  OpenShared(first);
  OpenShared(second);
  ASSERT_EQ(MoveTo(first, 5), 5);
  ASSERT_EQ(MoveTo(second, 5), 5);
  first.LockRecord(0);
  second.SetLockRetryCount(0);
  EXPECT_EQ(EngineCodeOf([&] { second.LockRecord(0); }), kErrRecordInUse);

  TImage image(first);
  first.GetCurrentRecord(image.Data(), false);
  image.Text(kName, "Changed by first");
  first.ModifyRecord(image.Data(), true, true);
  TImage seen(second);
  second.Refresh();
  ASSERT_EQ(second.GetCurrentRecord(seen.Data(), false), 0);
  EXPECT_EQ(seen.GetText(kName), "Changed by first");
  EXPECT_NO_THROW(second.LockRecord(0));

  // A clone starts on the same record with the same index.
  second.SetIndexName("ByCode");
  std::unique_ptr<TDataFile> clone = second.CloneCursor();
  ASSERT_EQ(clone->GetCurrentRecord(seen.Data(), false), 0);
  EXPECT_EQ(seen.GetInt(kCode), 5);
  EXPECT_EQ(clone->GetIndexName(), "ByCode");
}

TEST_F(SharingTest, ConcurrentWritersLoseNothing) {
  constexpr int kWriters = 4;
  constexpr int kEach = 100;
  std::vector<std::unique_ptr<TChildProcess>> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(std::make_unique<TChildProcess>([this, w](TChildProcess&) {
      TDataFile table;
      OpenShared(table);
      for (int i = 0; i < kEach; ++i) Insert(table, 1000 + w * kEach + i);
      return 0;
    }));
  }
  for (auto& writer : writers) EXPECT_EQ(writer->Wait(), 0);
  TDataFile table;
  OpenShared(table);
  EXPECT_EQ(table.GetRecordCount(), 10 + kWriters * kEach);
  std::set<int32_t> codes;
  TImage image(table);
  table.SetToBegin();
  while (table.GetNextRecord(image.Data()) == 0) codes.insert(image.GetInt(kCode));
  EXPECT_EQ(codes.size(), static_cast<size_t>(10 + kWriters * kEach));
  table.LockForRead();
  for (int number : {0, 1, 31}) {
    TTreeReport report = CheckTree(table.IndexFile(), static_cast<uint8_t>(number), false);
    EXPECT_TRUE(report.Problems.empty()) << report.Problems.front();
  }
  table.UnlockForRead();
}

TEST_F(SharingTest, AnExclusiveCursorKeepsItsChangesUntilItCloses) {
  long size = test::FileSize(Path() + ".DAT");
  TChildProcess crashed([this](TChildProcess&) {
    TDataFile table;
    table.SetFileName(Path());
    table.SetExclusive(true);
    table.Open();
    for (int i = 0; i < 10; ++i) Insert(table, 500 + i);
    ::_exit(0);  // ends without closing the table
    return 0;
  });
  ASSERT_EQ(crashed.Wait(), 0);
  EXPECT_EQ(test::FileSize(Path() + ".DAT"), size);

  TDataFile table;
  table.SetFileName(Path());
  table.SetExclusive(true);
  table.Open();
  EXPECT_EQ(table.GetRecordCount(), 10);
  for (int i = 0; i < 2000; ++i) Insert(table, 600 + i);
  // Records still in the cache, beyond the end of the file, read back without error.
  TImage image(table);
  int count = 0;
  table.SetToBegin();
  while (table.GetNextRecord(image.Data()) == 0) ++count;
  EXPECT_EQ(count, 2010);
  table.Close();
  EXPECT_EQ(test::FileSize(Path() + ".DAT"), size + 2000 * table.RecordSize());
}

TEST_F(SharingTest, ATableWithTheReadOnlyAttributePlacesNoLocksAndRefusesChanges) {
  for (const char* extension : {".DAT", ".IDX"}) ASSERT_EQ(::chmod((Path() + extension).c_str(), 0444), 0);
  TDataFile table;
  OpenShared(table);
  EXPECT_TRUE(table.FileReadOnly());
  MoveTo(table, 2);
  EXPECT_NO_THROW(table.LockRecord(0));
  EXPECT_NO_THROW(table.LockTable());
  EXPECT_TRUE(table.LockedRecords().empty());
  TImage image(table);
  image.Init();
  EXPECT_EQ(EngineCodeOf([&] { table.InsertRecord(image.Data()); }), kErrAccessDenied);
  EXPECT_EQ(EngineCodeOf([&] { table.DeleteRecord(true); }), kErrAccessDenied);
}

}  // namespace
}  // namespace tarnel
