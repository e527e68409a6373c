#include "platform/locale/collation.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/exception.h"

namespace tarnel::locale {
namespace {

constexpr uint32_t kNone = 0;
constexpr uint32_t kGerman = 0x0407;
constexpr uint32_t kGermanPhoneBook = 0x10407;
constexpr uint32_t kSwedish = 0x041D;
constexpr uint32_t kSpanishTraditional = 0x040A;
constexpr uint32_t kSpanishModern = 0x0C0A;
constexpr uint32_t kRussian = 0x0419;
constexpr uint32_t kJapanese = 0x0411;
constexpr uint32_t kStringSort = kSortStringSort;

int Compare(uint32_t lcid, uint32_t flags, const std::string& a, const std::string& b) {
  return CompareString(lcid, flags, a.data(), static_cast<int>(a.size()), b.data(),
                       static_cast<int>(b.size()));
}

// Texts are bytes in the locale's code page (1252 unless said otherwise).
TEST(CollationTest, OrdersAsTheLanguageDoes) {
  struct TCase {
    const char* What;
    uint32_t Lcid, Flags;
    std::string A, B;
    int Expected;
  };
  const TCase cases[] = {
      {"German sorts a-umlaut with a", kGerman, kStringSort, "\xE4", "b", -1},
      {"Swedish sorts a-umlaut after z", kSwedish, kStringSort, "\xE4", "z", 1},
      {"Swedish sorts a-ring before a-umlaut", kSwedish, kStringSort, "\xE5", "\xE4", -1},
      {"German standard: Ae-rger after Af", kGerman, kStringSort, "\xC4rger", "Af", 1},
      {"German phone book: A-umlaut is ae", kGermanPhoneBook, kStringSort, "\xC4rger", "Af", -1},
      {"traditional Spanish: ch after cu", kSpanishTraditional, kStringSort, "chico", "cuna", 1},
      {"modern Spanish: ch before cu", kSpanishModern, kStringSort, "chico", "cuna", -1},
      {"traditional Spanish: ll after lu", kSpanishTraditional, kStringSort, "llama", "luz", 1},
      {"Spanish: n-tilde after n", kSpanishModern, kStringSort,
       "\xF1"
       "a",
       "nz", 1},
      {"German: n-tilde is an accented n", kGerman, kStringSort,
       "\xF1"
       "a",
       "nz", -1},
      {"lower case before upper case", kGerman, kStringSort, "abc", "ABC", -1},
      {"ignoring case", kGerman, kStringSort | kNormIgnoreCase, "abc", "ABC", 0},
      {"case matters after letters", kGerman, kStringSort, "ABC", "abd", -1},
      {"string sort: hyphen before letters", kGerman, kStringSort, "co-op", "cook", -1},
      {"word sort: hyphen counts last", kGerman, kNone, "co-op", "cook", 1},
      {"word sort: hyphen still tells apart", kGerman, kNone, "co-op", "coop", -1},
      {"word sort: equal", kGerman, kNone, "coop", "coop", 0},
      {"trailing zero bytes collate as nothing", kGerman, kStringSort, std::string("abc\0\0", 5),
       "abc", 0},
      {"a proper prefix first", kGerman, kStringSort, "ab", "abc", -1},
      {"1251 bytes decode as Cyrillic a and be", kRussian, kStringSort, "\xE0", "\xE1", -1},
      {"Cyrillic ya after a", kRussian, kStringSort, "\xFF", "\xE0", 1},
      {"932 full-width A ignoring case and width", kJapanese, kStringSort | kNormIgnoreCase,
       "\x82\x60", "a", 0},
      {"language 0: bytes", kNone, kStringSort, "a", "B", 1},
      {"language 0: a-umlaut after z", kNone, kStringSort, "\xE4", "z", 1},
      {"language 0: ASCII ignoring case", kNone, kNormIgnoreCase, "a", "B", -1},
      {"language 0: only ASCII changes case", kNone, kNormIgnoreCase, "\xE4", "\xC4", 1},
      {"language 0: a proper prefix first", kNone, kNone, "ab", "abc", -1},
      {"language 0: equal", kNone, kNone, "abc", "abc", 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Compare(c.Lcid, c.Flags, c.A, c.B), c.Expected) << c.What;
    EXPECT_EQ(Compare(c.Lcid, c.Flags, c.B, c.A), -c.Expected) << c.What << " (swapped)";
  }
}

TEST(CollationTest, ComparesLongStrings) {
  std::string common(400, 'x');
  EXPECT_EQ(Compare(kGerman, kStringSort, common + "a", common + "b"), -1);
  EXPECT_EQ(Compare(kGerman, kStringSort, common + "b", "x"), 1);
}

TEST(CollationTest, RefusesUnknownLocalesAndFlags) {
  EXPECT_THROW(Compare(0x0437, kStringSort, "a", "b"), ELocaleError);
  EXPECT_THROW(Compare(kGerman, 0x2, "a", "b"), ELocaleError);
  EXPECT_THROW(Compare(kNone, 0x2, "a", "b"), ELocaleError);
}

}  // namespace
}  // namespace tarnel::locale
