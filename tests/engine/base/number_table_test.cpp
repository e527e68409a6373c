// Objects found by their number through inserts and erases that crowd into shared probe runs,
// checked against a plain map.
#include "engine/base/number_table.h"

#include <map>
#include <vector>

#include <gtest/gtest.h>

namespace tarnel {
namespace {

struct TItem {
  uint32_t Number = 0;
};

uint32_t NumberOf(const TItem& item) { return item.Number; }

TEST(NumberTableTest, EveryObjectStaysFoundThroughInsertsAndErases) {
  TNumberTable<TItem, &NumberOf> table;
  std::vector<TItem> items(500);
  std::vector<bool> inside(items.size(), false);
  std::map<uint32_t, TItem*> expected;
  uint32_t state = 7;
  for (int step = 0; step < 50000; ++step) {
    state = state * 1103515245u + 12345u;
    size_t index = (state >> 8) % items.size();
    TItem& item = items[index];
    if (inside[index]) {
      table.Erase(&item);
      expected.erase(item.Number);
      inside[index] = false;
      continue;
    }
    // Multiples of 1024 share their low bits and so their probe runs.
    uint32_t number = ((state >> 16) % 700 + 1) * (step % 3 == 0 ? 1024u : 1u);
    if (expected.count(number) != 0) continue;
    item.Number = number;
    table.Insert(&item);
    expected[number] = &item;
    inside[index] = true;
    if (step % 5000 == 0) {
      for (const auto& [key, holder] : expected) ASSERT_EQ(table.Find(key), holder) << key;
    }
  }
  EXPECT_EQ(table.Count(), expected.size());
  for (uint32_t number = 1; number <= 700 * 1024; ++number) {
    auto it = expected.find(number);
    ASSERT_EQ(table.Find(number), it == expected.end() ? nullptr : it->second) << number;
  }
  TItem stranger{12345678};
  table.Erase(&stranger);
  EXPECT_EQ(table.Count(), expected.size());
  table.Clear();
  EXPECT_EQ(table.Find(expected.empty() ? 1 : expected.begin()->first), nullptr);
}

}  // namespace
}  // namespace tarnel
