// Several programs inserting, modifying and deleting in one table at once, for as long as
// TARNEL_STRESS_SECONDS allows (a short round in the everyday suite): in the end the counts are
// exact and every index agrees with the records.
#include <chrono>
#include <cstdlib>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "engine/base/memory_file.h"
#include "engine/base/paths.h"
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

enum : int { kId = 1, kOwner, kCode, kNote };

// The everyday build runs a short round; the stress build as long as TARNEL_STRESS_SECONDS says.
double StressSeconds(double everyday) {
#ifdef TARNEL_LONG_STRESS
  (void)everyday;
  const char* seconds = std::getenv("TARNEL_STRESS_SECONDS");
  return seconds != nullptr ? std::atof(seconds) : 60.0;
#else
  return everyday;
#endif
}

class MixedChangesTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    TTableDefinition definition =
        test::Definition({Field(kId, "Id", dtInteger, 0, stAutoInc), Field(kOwner, "Owner", dtInteger),
                          Field(kCode, "Code", dtInteger), Field(kNote, "Note", dtBlob, 0, stMemo)},
                         {kId});
    definition.Indexes.push_back(Index("ByCode", {kCode}, {.Unique = true}));
    definition.Indexes.push_back(Index("ByOwner", {kOwner}, {.Compression = cmBoth}));
    TDataFile table;
    table.SetFileName(FDir.File("MIXED"));
    table.SetExclusive(true);
    table.CreateTable(definition);
  }

  // One program's work: its own codes (owner * 1000000 + n), inserted, changed and deleted at
  // random; it reports the codes it holds at the end through its exit status 0 and a file.
  int Work(int owner, double seconds) {
    TDataFile table;
    table.SetFileName(FDir.File("MIXED"));
    table.SetLockRetryCount(50);
    table.Open();
    table.SetIndexName("ByCode");
    std::mt19937 random(static_cast<unsigned>(owner * 7919));
    std::set<int32_t> mine;
    int32_t next = owner * 1000000;
    TImage image(table);
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      unsigned choice = random() % 10;
      if (mine.empty() || choice < 5) {
        image.Init();
        image.Int(kOwner, owner).Int(kCode, ++next);
        if (choice == 0) {
          std::string note(random() % 1200, 'n');
          table.OpenBlob(true, kNote, 2, image.Data());
          table.WriteBlob(true, kNote, 0, static_cast<int32_t>(note.size()), note.data(), image.Data());
        }
        table.InsertRecord(image.Data());
        mine.insert(next);
        continue;
      }
      auto it = mine.begin();
      std::advance(it, static_cast<long>(random() % mine.size()));
      TImage key(table);
      key.Int(kCode, *it);
      if (!table.FindExactKey(key.Data(), image.Data())) return 10;
      table.LockRecord(0);
      if (choice < 8) {
        int32_t changed = ++next;
        image.Int(kCode, changed);
        table.ModifyRecord(image.Data(), true, false);
        mine.erase(it);
        mine.insert(changed);
      } else {
        table.DeleteRecord(false);
        mine.erase(it);
      }
    }
    FILE* out = std::fopen(FDir.File("codes" + std::to_string(owner)).c_str(), "w");
    for (int32_t code : mine) std::fprintf(out, "%d\n", code);
    std::fclose(out);
    return 0;
  }
};

TEST_F(MixedChangesTest, ConcurrentInsertsModificationsAndDeletionsStayExact) {
  constexpr int kPrograms = 4;
  double seconds = StressSeconds(2.0);
  std::vector<std::unique_ptr<TChildProcess>> programs;
  for (int owner = 1; owner <= kPrograms; ++owner) {
    programs.push_back(std::make_unique<TChildProcess>([this, owner, seconds](TChildProcess&) {
      try {
        return Work(owner, seconds);
      } catch (const EDBEngineError& error) {
        std::fprintf(stderr, "program %d: %s\n", owner, error.what());
        return 20;
      }
    }));
  }
  for (auto& program : programs) ASSERT_EQ(program->Wait(), 0);

  std::set<int32_t> expected;
  for (int owner = 1; owner <= kPrograms; ++owner) {
    FILE* in = std::fopen(FDir.File("codes" + std::to_string(owner)).c_str(), "r");
    int32_t code;
    while (std::fscanf(in, "%d", &code) == 1) expected.insert(code);
    std::fclose(in);
  }
  TDataFile table;
  table.SetFileName(FDir.File("MIXED"));
  table.SetExclusive(true);
  table.Open();
  EXPECT_EQ(table.GetRecordCount(), static_cast<int32_t>(expected.size()));
  std::set<int32_t> found;
  TImage image(table);
  table.SetIndexName("ByCode");
  table.SetToBegin();
  while (table.GetNextRecord(image.Data()) == 0) found.insert(image.GetInt(kCode));
  EXPECT_EQ(found, expected);
  for (int number : {0, 1, 2, 31}) {
    TTreeReport report = CheckTree(table.IndexFile(), static_cast<uint8_t>(number), false);
    EXPECT_TRUE(report.Problems.empty()) << number << ": " << report.Problems.front();
    if (number != 31) {
      EXPECT_EQ(report.LeafEntries, expected.size()) << number;
    }
  }
}

TEST_F(MixedChangesTest, AnInsertIntoASlotAnotherProgramHoldsIsRefusedWithoutChanges) {
  TDataFile table;
  table.SetFileName(FDir.File("MIXED"));
  table.Open();
  // The next insert takes slot 1 (the table is empty); another program holds its record lock.
  TChildProcess other([this](TChildProcess& self) {
    TDataFile theirs;
    theirs.SetFileName(FDir.File("MIXED"));
    theirs.Open();
    theirs.LockRecord(1);
    self.Signal();
    self.Await();
    return 0;
  });
  other.Await();
  table.SetLockRetryCount(1);
  TImage image(table);
  image.Init();
  image.Int(kOwner, 1).Int(kCode, 1);
  EXPECT_EQ(EngineCodeOf([&] { table.InsertRecord(image.Data()); }), kErrRecordInUse);
  EXPECT_EQ(table.Header().NextRecordNo, 1);
  EXPECT_EQ(table.Header().LastAutoInc, 0);
  EXPECT_EQ(table.GetRecordCount(), 0);
  other.Signal();
  EXPECT_EQ(other.Wait(), 0);
  EXPECT_NO_THROW(table.InsertRecord(image.Data()));
  EXPECT_EQ(table.GetRecordCount(), 1);
}

class SpecialTablesTest : public test::TEngineTest {};

TEST_F(SpecialTablesTest, InMemoryTablesLiveInTheSessionAndTemporaryTablesGoAtClose) {
  TTableDefinition definition = test::Definition(
      {Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Name", dtString, 10), Field(3, "Memo", dtBlob, 0, stMemo)}, {1});
  for (bool inMemory : {true, false}) {
    TDataFile table;
    std::string name = UniqueTableName(CurrentSession(), inMemory);
    table.SetFileName(inMemory ? name : FDir.File(ExtractFileName(name)));
    table.SetInMemory(inMemory);
    table.SetExclusive(true);
    table.CreateTable(definition);
    table.SetExclusive(false);
    table.SetDeleteOnClose(true);
    table.Open();
    TImage image(table);
    for (int i = 0; i < 300; ++i) {
      image.Init();
      image.Text(2, "row" + std::to_string(i));
      table.InsertRecord(image.Data());
    }
    std::unique_ptr<TDataFile> second = table.CloneCursor();
    EXPECT_EQ(second->GetRecordCount(), 300);
    second.reset();
    std::string file = table.FileName();
    table.Close();
    if (inMemory) {
      EXPECT_FALSE(CurrentSession().MemoryFiles().MemoryFileExists(file));
    } else {
      EXPECT_EQ(test::FileSize(file), -1);
    }
  }
}

}  // namespace
}  // namespace tarnel
