// The record cache's lookup by record number and its most-recently-used order, against a plain
// map through many renumberings, trims and clears.
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "engine/table/data_file.h"
#include "engine/table/record_cache.h"
#include "support/engine_fixture.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

// Buffers of an open table, which gives them their size.
class RecordCacheTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    FOwner.SetFileName(FDir.File("C"));
    FOwner.SetExclusive(true);
    FOwner.CreateTable(test::Definition({test::Field(1, "Code", dtInteger)}, {}));
    FOwner.Open();
  }

  TDataFile FOwner;
};

TEST_F(RecordCacheTest, RecordNumbersAreFoundThroughEveryRenumbering) {
  TDataFile& owner = FOwner;
  TRecordCache cache;
  std::vector<TRecord*> buffers;
  for (int i = 0; i < 300; ++i) buffers.push_back(cache.AddFront(std::make_unique<TRecord>(owner)));
  std::map<int32_t, TRecord*> expected;
  uint32_t state = 1;
  for (int step = 0; step < 20000; ++step) {
    state = state * 1103515245u + 12345u;
    TRecord* record = buffers[(state >> 8) % buffers.size()];
    // Numbers crowd into a few probe runs: multiples of 64 share their low bits.
    int32_t number = static_cast<int32_t>((state >> 16) % 400) * (step % 2 == 0 ? 64 : 1);
    if (expected.count(number) != 0 && expected[number] != record) continue;
    if (record->RecordNo != 0) expected.erase(record->RecordNo);
    cache.Renumber(record, number);
    if (number != 0) expected[number] = record;
    if (step % 1000 == 0) {
      for (const auto& [recordNo, holder] : expected) ASSERT_EQ(cache.Find(recordNo), holder) << recordNo;
    }
  }
  for (int32_t number = 1; number < 400 * 64; ++number) {
    auto it = expected.find(number);
    ASSERT_EQ(cache.Find(number), it == expected.end() ? nullptr : it->second) << number;
  }
  EXPECT_EQ(cache.Find(0), nullptr);
}

TEST_F(RecordCacheTest, TrimsFreeTheOldestCleanUnpinnedBuffersAndForgetTheirNumbers) {
  TDataFile& owner = FOwner;
  TRecordCache cache;
  for (int32_t number = 1; number <= 10; ++number) cache.Renumber(cache.AddFront(std::make_unique<TRecord>(owner)), number);
  cache.Find(2)->Modified = true;
  cache.Find(3)->PinCount = 1;
  cache.MoveToFront(cache.Find(1));
  cache.TrimTo(5);
  EXPECT_EQ(cache.Count(), 5);
  // From the rear: 2 (modified) and 3 (pinned) stay, 4 to 8 go; 1 was moved to the front.
  for (int32_t number : {1, 2, 3, 9, 10}) EXPECT_NE(cache.Find(number), nullptr) << number;
  for (int32_t number : {4, 5, 6, 7, 8}) EXPECT_EQ(cache.Find(number), nullptr) << number;
  EXPECT_EQ(cache.Front(), cache.Find(1));
  cache.Clear();
  EXPECT_EQ(cache.Find(1), nullptr);
  EXPECT_EQ(cache.Count(), 0);
}

}  // namespace
}  // namespace tarnel
