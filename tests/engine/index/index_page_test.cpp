#include "engine/index/index_page.h"

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/errors.h"
#include "support/engine_fixture.h"

namespace tarnel {
namespace {

using Key = std::vector<uint8_t>;

TPageOptions Options(int keyLength, uint8_t compression, bool suffix = false) {
  TPageOptions options;
  options.KeyLength = static_cast<uint16_t>(keyLength);
  options.Compression = compression;
  options.HasSuffix = suffix;
  options.IndexNo = suffix ? 1 : 0;
  return options;
}

TPage Leaf(const TPageOptions& options, const std::vector<Key>& keys) {
  TPage page;
  page.Reset(options);
  page.PageType = ptRootLeaf;
  for (size_t i = 0; i < keys.size(); ++i) {
    page.InsertEntry(static_cast<int>(i) + 1, keys[i].data(), static_cast<uint32_t>(1000 + i), 0);
  }
  return page;
}

std::vector<uint8_t> Encode(const TPage& page) {
  std::vector<uint8_t> image(kPageSize);
  page.EncodePage(image.data(), "T.IDX");
  return image;
}

TEST(IndexPageTest, LeadingCompressionStoresTheSharedPrefixOnce) {
  TPage page = Leaf(Options(4, cmLeading), {{0x41, 0x41, 0x41, 0x42}, {0x41, 0x41, 0x41, 0x43}});
  EXPECT_EQ(page.PrefixLength(2), 3);
  EXPECT_EQ(page.UsedBytes, (4 + 6) + (1 + 6));
  std::vector<uint8_t> image = Encode(page);
  EXPECT_EQ(image[0], ptRootLeaf);
  EXPECT_EQ(image[1], 2);    // EntryCount
  EXPECT_EQ(image[11], 17);  // UsedBytes
  const uint8_t second[] = {3, 0, 0x43, 1001 & 0xFF, 1001 >> 8, 0, 0};
  EXPECT_EQ(std::memcmp(image.data() + 13 + 10, second, sizeof second), 0);
}

TEST(IndexPageTest, TrailingZerosAreCountedOverTheLengthModulo256) {
  Key key(300, 0);
  for (int i = 0; i < 200; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(1 + i % 200);
  TPage page = Leaf(Options(300, cmTrailing), {key});
  EXPECT_EQ(page.TrailLength(1), 44);
  TPage back;
  back.Reset(Options(300, cmTrailing));
  back.DecodePage(Encode(page).data(), false, "T.IDX");
  ASSERT_EQ(back.EntryCount, 1);
  EXPECT_EQ(Key(back.Key(1), back.Key(1) + 300), key);
}

// Every mode, with and without the identifier suffix, at several key lengths, with keys that
// share prefixes and end in long zero tails: decoding the image gives the same entries back,
// encoding them again the same bytes, and UsedBytes is the sum of the entry sizes.
TEST(IndexPageTest, EveryModeRoundTripsRandomKeys) {
  std::mt19937 random(7);
  for (int keyLength : {5, 9, 45, 300, 1036}) {
    for (uint8_t compression : {cmNone, cmLeading, cmTrailing, cmBoth}) {
      for (bool suffix : {false, true}) {
        TPageOptions options = Options(keyLength, compression, suffix);
        std::map<Key, uint32_t> keys;
        int used = 0;
        TPage page;
        page.Reset(options);
        page.PageType = ptLeaf;
        for (int attempt = 0; attempt < 400; ++attempt) {
          Key key(static_cast<size_t>(keyLength), 0);
          int significant = static_cast<int>(random() % static_cast<unsigned>(keyLength + 1));
          for (int i = 0; i < significant; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(random() % 3);
          if (suffix) {
            for (int i = keyLength - 4; i < keyLength; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(random());
          }
          if (keys.count(key)) continue;
          // Where the key goes in order, and whether the page still has room for it.
          auto it = keys.emplace(key, 0).first;
          int position = static_cast<int>(std::distance(keys.begin(), it)) + 1;
          page.InsertEntry(position, key.data(), static_cast<uint32_t>(random()), 0);
          it->second = page.Value(position);
          if (page.Overflows()) {
            page.RemoveEntry(position);
            keys.erase(it);
            break;
          }
        }
        used = 0;
        for (int entry = 1; entry <= page.EntryCount; ++entry) used += page.EntrySize(entry);
        EXPECT_EQ(page.IsCompressedLeaf() ? used : 0, page.UsedBytes);

        std::vector<uint8_t> image = Encode(page);
        TPage back;
        back.Reset(options);
        back.DecodePage(image.data(), false, "T.IDX");
        ASSERT_EQ(back.EntryCount, keys.size()) << keyLength << " " << int(compression) << " " << suffix;
        int entry = 1;
        for (const auto& [key, value] : keys) {
          ASSERT_EQ(Key(back.Key(entry), back.Key(entry) + keyLength), key) << keyLength << " " << int(compression);
          ASSERT_EQ(back.Value(entry), value);
          ++entry;
        }
        EXPECT_EQ(back.UsedBytes, page.UsedBytes);
        EXPECT_EQ(Encode(back), image);
      }
    }
  }
}

TEST(IndexPageTest, InteriorPagesKeepChildrenAndCounts) {
  TPage page;
  page.Reset(Options(8, cmBoth));
  page.PageType = ptRootNode;
  Key low(8, 1);
  Key high(8, 2);
  page.InsertEntry(1, low.data(), 4096, 17);
  page.InsertEntry(2, high.data(), 8192, 25);
  EXPECT_EQ(page.CountBelow(), 42u);
  EXPECT_EQ(page.UsedBytes, 0);
  EXPECT_EQ(page.PageCapacity(), 4083 / 18);
  TPage back;
  back.Reset(Options(8, cmBoth));
  back.DecodePage(Encode(page).data(), false, "T.IDX");
  EXPECT_EQ(back.Value(2), 8192u);
  EXPECT_EQ(back.SubtreeCount(2), 25u);
}

TEST(IndexPageTest, FreedPagesKeepTheirLinkAndNoEntries) {
  TPage page = Leaf(Options(4, cmNone), {{1, 2, 3, 4}});
  page.NextPage = 3 * 4096;
  page.Freed = true;
  std::vector<uint8_t> image = Encode(page);
  TPage back;
  back.Reset(Options(4, cmNone));
  back.DecodePage(image.data(), false, "T.IDX");
  EXPECT_EQ(back.EntryCount, 0);
  EXPECT_EQ(back.NextPage, 3u * 4096);
}

class DamagedPageTest : public test::TEngineTest {};

TEST_F(DamagedPageTest, DamagedImagesAreEngineErrors) {
  TPage page = Leaf(Options(6, cmBoth, true), {{1, 0, 0, 9, 9, 9}, {1, 0, 0, 9, 9, 10}});
  std::vector<uint8_t> good = Encode(page);
  struct Case {
    const char* What;
    size_t Offset;
    uint8_t Byte;
  };
  const Case cases[] = {
      {"page type", 0, 7},
      {"entry count beyond the page", 2, 0xFF},
      {"prefix longer than the key", 13 + 0 + 0, 0},  // placeholder replaced below
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> image = good;
    image[c.Offset] = c.Byte;
    if (std::string(c.What) == "prefix longer than the key") {
      size_t second = 13 + static_cast<size_t>(page.EntrySize(1));
      image[second] = 200;
    }
    TPage back;
    back.Reset(Options(6, cmBoth, true));
    EXPECT_EQ(test::EngineCodeOf([&] { back.DecodePage(image.data(), false, "T.IDX"); }), kErrPageBuffersCorrupt)
        << c.What;
  }
}

}  // namespace
}  // namespace tarnel
