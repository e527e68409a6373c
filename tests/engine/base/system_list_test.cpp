#include "engine/base/system_list.h"

#include <gtest/gtest.h>

#include "engine/base/engine_memory.h"
#include "support/engine_fixture.h"

namespace tarnel {
namespace {

TEST(SystemListTest, CapacityGrowsByTheRule) {
  TSystemList<int> list;
  std::vector<int> capacities{list.Capacity()};
  for (int i = 0; i < 96; ++i) {
    list.Add(i);
    if (list.Capacity() != capacities.back()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{0, 4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

TEST(SystemListTest, BoundsAreListErrors) {
  TSystemList<int> list;
  EXPECT_NO_THROW(list.SetCapacity(TSystemList<int>::kMaxCapacity));
  EXPECT_THROW(list.SetCapacity(TSystemList<int>::kMaxCapacity + 1), EListError);
  EXPECT_THROW(list.SetCount(TSystemList<int>::kMaxCapacity + 1), EListError);
  list.Add(1);
  EXPECT_THROW(list.Delete(1), EListError);
  EXPECT_THROW(list.Insert(2, 5), EListError);
  EXPECT_THROW(list[-1], EListError);
  EXPECT_THROW(list.SetCapacity(0), EListError);  // below the count
  try {
    list[7];
  } catch (const EListError& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds");
  }
}

TEST(SystemListTest, ListsFillUpToTheLimitAndNoFurther) {
  TSystemList<int> list;
  for (int i = 0; i < TSystemList<int>::kMaxCapacity; ++i) list.Add(i);
  EXPECT_EQ(list.Capacity(), TSystemList<int>::kMaxCapacity);
  EXPECT_THROW(list.Add(0), EListError);
}

TEST(SystemListTest, InsertDeleteMoveClearSetCountAndSort) {
  TSystemList<int> list;
  for (int value : {5, 3, 9, 1}) list.Add(value);
  list.Insert(0, 7);   // 7 5 3 9 1
  list.Delete(2);      // 7 5 9 1
  list.Move(0, 3);     // 5 9 1 7
  EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{5, 9, 1, 7}));
  list.Sort([](int a, int b) { return a < b ? -1 : (a > b ? 1 : 0); });
  EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{1, 5, 7, 9}));
  list.SetCount(6);
  EXPECT_EQ(list[5], 0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(SystemListTest, SortOrdersLargeListsWithDuplicates) {
  TSystemList<int> list;
  uint32_t x = 1;
  for (int i = 0; i < 5000; ++i) {
    x = x * 1103515245u + 12345u;
    list.Add(static_cast<int>(x % 100));
  }
  list.Sort([](int a, int b) { return a - b; });
  for (int i = 1; i < list.Count(); ++i) ASSERT_LE(list[i - 1], list[i]);
}

TEST(EngineMemoryTest, BlocksAreZeroFilledAndExhaustionIsAnEngineError) {
  void* none = EngineAlloc(0);
  EXPECT_EQ(none, nullptr);
  void* block = EngineAlloc(16);
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<char*>(block)[i], 0);
  static_cast<char*>(block)[15] = 'x';
  block = EngineRealloc(block, 4096);
  EXPECT_EQ(static_cast<char*>(block)[15], 'x');
  for (int i = 16; i < 4096; ++i) ASSERT_EQ(static_cast<char*>(block)[i], 0);
  EngineFree(block);
  EXPECT_EQ(block, nullptr);
  EngineFree(block);

  EXPECT_EQ(test::EngineCodeOf([] { EngineAlloc(0x7FFFFFFFFFFFFFF0L); }), kErrOutOfMemory);
}

}  // namespace
}  // namespace tarnel
