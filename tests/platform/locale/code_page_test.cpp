#include "platform/locale/code_page.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/locale/language_table.h"
#include "platform/rtl/exception.h"

namespace tarnel::locale {
namespace {

TEST(CodePageTest, ConvertsBetweenCodePagesAndUtf8) {
  struct TCase {
    const char* What;
    int CodePage;
    std::string Bytes, Text;
    int Unmappable;
  };
  const TCase cases[] = {
      {"1252 euro and umlaut", 1252, "\x80\xE4", "€ä", 0},
      {"1251 Cyrillic", 1251, "\xC0\xFF", "Ая", 0},
      {"1253 Greek", 1253, "\xC1\xE1", "Αα", 0},
      {"932 hiragana and half-width katakana", 932, "\x82\xA0\xB1", "あｱ", 0},
      {"949 Hangul", 949, "\xB0\xA1", "가", 0},
      {"874 Thai", 874, "\xA1", "ก", 0},
  };
  for (const TCase& c : cases) {
    TConversion decoded = CodePageToUtf8(c.CodePage, c.Bytes);
    EXPECT_EQ(decoded.Text, c.Text) << c.What;
    EXPECT_EQ(decoded.Unmappable, c.Unmappable) << c.What;
    TConversion encoded = Utf8ToCodePage(c.CodePage, c.Text);
    EXPECT_EQ(encoded.Text, c.Bytes) << c.What;
    EXPECT_EQ(encoded.Unmappable, c.Unmappable) << c.What;
  }
}

TEST(CodePageTest, ReportsWhatHasNoCounterpart) {
  TConversion undefined = CodePageToUtf8(1253,
                                         "a\xD2"
                                         "b");
  EXPECT_EQ(undefined.Text,
            "a\uFFFD"
            "b");
  EXPECT_EQ(undefined.Unmappable, 1);
  TConversion truncated = CodePageToUtf8(932, "a\x82");
  EXPECT_EQ(truncated.Text, "a\uFFFD");
  EXPECT_EQ(truncated.Unmappable, 1);
  TConversion missing = Utf8ToCodePage(1252, "aΩ€😀");
  EXPECT_EQ(missing.Text, "a?\x80?");
  EXPECT_EQ(missing.Unmappable, 2);
  TConversion invalid = Utf8ToCodePage(1252,
                                       "a\xFF"
                                       "b");
  EXPECT_EQ(invalid.Text, "a?b");
  EXPECT_EQ(invalid.Unmappable, 1);
}

TEST(CodePageTest, ConvertsFromCodePageToCodePage) {
  TConversion oem = ConvertCodePage(850, 1252, "M\x81nchen \x84");
  EXPECT_EQ(oem.Text, "M\xFCnchen \xE4");
  EXPECT_EQ(oem.Unmappable, 0);
  TConversion lost = ConvertCodePage(1251, 1252, "a\xC0");
  EXPECT_EQ(lost.Text, "a?");
  EXPECT_EQ(lost.Unmappable, 1);
  TConversion undefined = ConvertCodePage(1253, 1252, "\xD2");
  EXPECT_EQ(undefined.Text, "?");
  EXPECT_EQ(undefined.Unmappable, 1);
}

TEST(CodePageTest, RefusesCodePagesItCannotTable) {
  EXPECT_EQ(TCodePage::Find(65001), nullptr);  // UTF-8
  EXPECT_EQ(TCodePage::Find(1361), nullptr);   // Johab: ICU has no converter
  EXPECT_THROW(CodePageToUtf8(12345, "a"), ELocaleError);
  EXPECT_THROW(ConvertCodePage(1252, 12345, "a"), ELocaleError);
}

// Collation and case mapping depend on every byte string decoding to characters that encode
// back to bytes of the same characters.
TEST(CodePageTest, EveryTableCodePageDecodesLosslessly) {
  std::set<int> codePages;
  for (const TLanguage& language : Languages()) codePages.insert(language.CodePage);
  codePages.erase(1361);
  for (int number : codePages) {
    SCOPED_TRACE(number);
    const TCodePage* codePage = TCodePage::Find(number);
    ASSERT_NE(codePage, nullptr);
    for (int first = 0; first < 256; ++first) {
      for (int second = 0; second < 256; ++second) {
        char bytes[2] = {static_cast<char>(first), static_cast<char>(second)};
        char16_t unit;
        bool defined;
        int length = codePage->DecodeChar(bytes, 2, unit, defined);
        char back[2];
        int backLength = codePage->EncodeChar(unit, back, true);
        ASSERT_GT(backLength, 0) << first << " " << second;
        char16_t again;
        codePage->DecodeChar(back, backLength, again, defined);
        ASSERT_EQ(again, unit) << first << " " << second;
        if (length == 1) break;
      }
    }
  }
}

}  // namespace
}  // namespace tarnel::locale
