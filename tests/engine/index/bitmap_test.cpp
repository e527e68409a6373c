// Bitmaps of record slots against a plain vector of flags, at sizes around the word boundaries.
#include "engine/index/bitmap.h"

#include <vector>

#include <gtest/gtest.h>

namespace tarnel {
namespace {

// The bitmap holds exactly the flags (index 0 unused), seen through every query.
void ExpectSame(const TBitmap& bitmap, const std::vector<bool>& flags) {
  int32_t slots = static_cast<int32_t>(flags.size()) - 1;
  ASSERT_EQ(bitmap.Slots(), slots);
  int32_t count = 0;
  for (int32_t n = -1; n <= slots + 2; ++n) {
    bool set = n >= 1 && n <= slots && flags[static_cast<size_t>(n)];
    ASSERT_EQ(bitmap.Test(n), set) << n;
    if (n >= 1 && n <= slots) {
      count += set ? 1 : 0;
      ASSERT_EQ(bitmap.CountSet(n), count) << n;
    }
    int32_t next = 0;
    for (int32_t m = std::max(n, 1); m <= slots && next == 0; ++m) {
      if (flags[static_cast<size_t>(m)]) next = m;
    }
    ASSERT_EQ(bitmap.NextSet(n), next) << n;
    int32_t previous = 0;
    for (int32_t m = std::min(n, slots); m >= 1 && previous == 0; --m) {
      if (flags[static_cast<size_t>(m)]) previous = m;
    }
    ASSERT_EQ(bitmap.PreviousSet(n), previous) << n;
  }
  ASSERT_EQ(bitmap.CountSet(), count);
}

TEST(BitmapTest, EveryOperationAgreesWithPlainFlagsAtTheWordBoundaries) {
  uint32_t state = 3;
  auto random = [&] {
    state = state * 1103515245u + 12345u;
    return state >> 16;
  };
  for (int32_t slots : {0, 1, 7, 8, 9, 63, 64, 65, 127, 128, 129, 1000}) {
    SCOPED_TRACE(slots);
    TBitmap bitmap;
    bitmap.Resize(slots);
    std::vector<bool> flags(static_cast<size_t>(slots) + 1, false);
    ExpectSame(bitmap, flags);
    for (int i = 0; i < slots / 3 + 1; ++i) {
      int32_t n = static_cast<int32_t>(random() % static_cast<uint32_t>(slots + 1));
      bitmap.Set(n);
      if (n >= 1) flags[static_cast<size_t>(n)] = true;
    }
    bitmap.Set(slots + 1);
    ExpectSame(bitmap, flags);
    bitmap.Invert();
    for (int32_t n = 1; n <= slots; ++n) flags[static_cast<size_t>(n)] = !flags[static_cast<size_t>(n)];
    ExpectSame(bitmap, flags);

    TBitmap other;
    other.Resize(slots);
    std::vector<bool> otherFlags(flags.size(), false);
    for (int32_t n = 1; n <= slots; n += 3) {
      other.Set(n);
      otherFlags[static_cast<size_t>(n)] = true;
    }
    TBitmap both = bitmap;
    both.And(other);
    TBitmap either = bitmap;
    either.Or(other);
    std::vector<bool> bothFlags = flags;
    std::vector<bool> eitherFlags = flags;
    for (size_t n = 1; n < flags.size(); ++n) {
      bothFlags[n] = flags[n] && otherFlags[n];
      eitherFlags[n] = flags[n] || otherFlags[n];
    }
    ExpectSame(both, bothFlags);
    ExpectSame(either, eitherFlags);

    bitmap.SetAll();
    ExpectSame(bitmap, std::vector<bool>(flags.size(), true));
    // Shrinking clears the bits beyond the new size; growing brings them back clear.
    if (slots > 2) {
      bitmap.Resize(slots / 2);
      bitmap.Resize(slots);
      std::vector<bool> halves(flags.size(), false);
      for (int32_t n = 1; n <= slots / 2; ++n) halves[static_cast<size_t>(n)] = true;
      ExpectSame(bitmap, halves);
    }
    bitmap.ClearAll();
    ExpectSame(bitmap, std::vector<bool>(flags.size(), false));
  }
}

}  // namespace
}  // namespace tarnel
