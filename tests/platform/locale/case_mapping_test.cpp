#include "platform/locale/case_mapping.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/exception.h"

namespace tarnel::locale {
namespace {

constexpr uint32_t kUpper = kLcmapUpperCase;
constexpr uint32_t kLower = kLcmapLowerCase;
constexpr uint32_t kHalf = kLcmapHalfWidth;

std::string Map(uint32_t lcid, uint32_t flags, const std::string& text) {
  std::string result(text.size(), '\0');
  int length = LCMapString(lcid, flags, text.data(), static_cast<int>(text.size()), result.data(),
                           static_cast<int>(result.size()));
  result.resize(static_cast<size_t>(length));
  return result;
}

// Texts are bytes in the locale's code page.
TEST(CaseMappingTest, MapsCharactersInTheLocale) {
  struct TCase {
    const char* What;
    uint32_t Lcid, Flags;
    std::string Text, Expected;
  };
  const TCase cases[] = {
      {"language 0 upper: ASCII only", 0, kUpper | kHalf, "abc\xE4\xDF", "ABC\xE4\xDF"},
      {"language 0 lower: ASCII only", 0, kLower, "ABC\xC4", "abc\xC4"},
      {"German upper", 0x0407, kUpper,
       "stra\xDF"
       "e \xE4",
       "STRA\xDF"
       "E \xC4"},
      {"German lower", 0x0407, kLower, "\xC4RGER", "\xE4rger"},
      {"1252 y-diaeresis upper is 0x9F", 0x040C, kUpper, "\xFF", "\x9F"},
      {"micro sign has no upper case in 1252", 0x0407, kUpper, "\xB5", "\xB5"},
      {"Turkish dotted capital I", 0x041F, kUpper, "i", "\xDD"},
      {"Turkish dotless small i", 0x041F, kLower, "I", "\xFD"},
      {"Russian upper in 1251", 0x0419, kUpper, "\xE0\xFF", "\xC0\xDF"},
      {"Greek upper in 1253", 0x0408, kUpper, "\xE1\xE2", "\xC1\xC2"},
      {"half-width: no case change", 0x0407, kHalf, "aB", "aB"},
      {"932 full-width Latin to half-width", 0x0411, kHalf, "\x82\x60\x82\x81", "Aa"},
      {"932 full-width small a to A", 0x0411, kHalf | kUpper, "\x82\x81", "A"},
      {"932 ideographic space", 0x0411, kHalf, "\x81\x40", " "},
      {"932 katakana a", 0x0411, kHalf, "\x83\x41", "\xB1"},
      {"932 voiced katakana ga", 0x0411, kHalf, "\x83\x4B", "\xB6\xDE"},
      {"932 hiragana stays", 0x0411, kHalf, "\x82\xA0", "\x82\xA0"},
      {"932 upper leaves full-width alone", 0x0411, kUpper, "\x82\x81", "\x82\x60"},
      {"949 full-width digit", 0x0412, kHalf, "\xA3\xB1", "1"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Map(c.Lcid, c.Flags, c.Text), c.Expected) << c.What;
  }
}

TEST(CaseMappingTest, MapsInPlaceAndNeverGrows) {
  std::string text = "\x82\x60x\x83\x4B\x82\x81";
  int length = LCMapString(0x0411, kHalf | kUpper, text.data(), static_cast<int>(text.size()),
                           text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(text.substr(0, static_cast<size_t>(length)),
            "AX\xB6\xDE"
            "A");
  // Bytes that start no character survive unchanged.
  EXPECT_EQ(Map(0x0408, kUpper,
                "a\xD2"
                "b"),
            "A\xD2"
            "B");
  EXPECT_EQ(Map(0x0411, kUpper, "\x82"), "\x82");
}

TEST(CaseMappingTest, RefusesBadRequests) {
  char buffer[4];
  EXPECT_THROW(LCMapString(0x0407, kUpper | kLower, "ab", 2, buffer, 4), ELocaleError);
  EXPECT_THROW(LCMapString(0x0407, 0x1, "ab", 2, buffer, 4), ELocaleError);
  EXPECT_THROW(LCMapString(0x0407, kUpper, "abc", 3, buffer, 2), ELocaleError);
  EXPECT_THROW(LCMapString(0x0437, kUpper, "ab", 2, buffer, 4), ELocaleError);
}

}  // namespace
}  // namespace tarnel::locale
