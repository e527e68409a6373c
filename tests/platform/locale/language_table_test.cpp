#include "platform/locale/language_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/locale/collation.h"
#include "platform/locale/installed_locale.h"
#include "platform/rtl/exception.h"

namespace tarnel::locale {
namespace {

const TLanguage* Named(const std::string& name) {
  for (const TLanguage& language : Languages()) {
    if (name == language.Name) return &language;
  }
  return nullptr;
}

TEST(LanguageTableTest, ListsTheTransferUtilityLanguagesInOrder) {
  auto languages = Languages();
  ASSERT_EQ(languages.size(), 106u);
  EXPECT_STREQ(languages.front().Name, "Machine ASCII");
  EXPECT_EQ(languages.front().LanguageId, 0);
  EXPECT_STREQ(languages[1].Name, "Afrikaans");
  EXPECT_STREQ(languages.back().Name, "Vietnamese");
  std::set<uint16_t> ids;
  std::set<std::string> names;
  for (const TLanguage& language : languages) {
    ids.insert(language.LanguageId);
    names.insert(language.Name);
  }
  EXPECT_EQ(ids.size(), languages.size());
  EXPECT_EQ(names.size(), languages.size());
}

TEST(LanguageTableTest, GivesLanguageIdsCodePagesAndAlternateSorts) {
  struct TCase {
    const char* Name;
    uint16_t Primary, Sub;
    int CodePage;
    uint16_t AlternateSortId;
  };
  const TCase cases[] = {
      {"Arabic (Qatar)", 1, 16, 1256, 0},
      {"Chinese (Taiwan)", 4, 1, 950, 1},
      {"Chinese (PR China)", 4, 2, 936, 2},
      {"Chinese (Singapore)", 4, 4, 936, 1},
      {"Croatian", 26, 1, 1250, 0},
      {"English (USA)", 9, 1, 1252, 0},
      {"German (Liechtenstein)", 7, 5, 1252, 1},
      {"Greek", 8, 1, 1253, 0},
      {"Hebrew", 13, 1, 1255, 0},
      {"Japanese", 17, 1, 932, 1},
      {"Korean (Johab)", 18, 2, 1361, 1},
      {"Lithuanian", 39, 1, 1257, 0},
      {"Portuguese (Standard)", 22, 2, 1252, 0},
      {"Portuguese (Brazilian)", 22, 1, 1252, 0},
      {"Serbian (Cyrillic)", 26, 3, 1251, 0},
      {"Spanish (Puerto Rico)", 10, 20, 1252, 0},
      {"Thai", 30, 1, 874, 0},
      {"Turkish", 31, 1, 1254, 0},
      {"Ukranian", 34, 1, 1251, 0},
      {"Vietnamese", 42, 1, 1258, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TLanguage* language = Named(c.Name);
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->LanguageId, MakeLangId(c.Primary, c.Sub));
    EXPECT_EQ(CodePageOf(language->LanguageId), c.CodePage);
    EXPECT_EQ(language->AlternateSortId, c.AlternateSortId);
  }
  EXPECT_EQ(MakeLangId(10, 3), 0x0C0A);
  EXPECT_EQ(MakeLcid(0x0407, 1), 0x10407u);
  EXPECT_EQ(CodePageOf(kNoLanguage), 1252);
  EXPECT_EQ(CodePageOf(0x0437), 0);
}

// Every language is installed with its sorts, except Korean (Johab): ICU has no converter for
// its code page 1361.
TEST(LanguageTableTest, EveryLanguageButJohabIsInstalled) {
  for (const TLanguage& language : Languages()) {
    if (language.LanguageId == kNoLanguage) continue;
    SCOPED_TRACE(language.Name);
    bool expected = language.CodePage != 1361;
    EXPECT_EQ(IsValidLocale(MakeLcid(language.LanguageId, 0)), expected);
    if (language.AlternateSortId != 0) {
      EXPECT_EQ(IsValidLocale(MakeLcid(language.LanguageId, language.AlternateSortId)), expected);
    }
  }
}

TEST(LanguageTableTest, RefusesWhatTheTableDoesNotOffer) {
  EXPECT_FALSE(IsValidLocale(0));        // no locale
  EXPECT_FALSE(IsValidLocale(0x0437));   // a language the table lacks
  EXPECT_FALSE(IsValidLocale(0x20407));  // German has no sort 2
  EXPECT_FALSE(IsValidLocale(0x10409));  // English has no sort 1
  EXPECT_EQ(CollationOf(0x20407), nullptr);
}

TEST(LanguageTableTest, ALocaleCanBeMadeUnavailableAndBack) {
  const char a[] = "a";
  SetLocaleUnavailable(0x0407, true);
  EXPECT_FALSE(IsValidLocale(0x0407));
  EXPECT_TRUE(IsValidLocale(0x10407));
  EXPECT_THROW(CompareString(0x0407, kSortStringSort, a, 1, a, 1), ELocaleError);
  SetLocaleUnavailable(0x0407, false);
  EXPECT_TRUE(IsValidLocale(0x0407));
  EXPECT_EQ(CompareString(0x0407, kSortStringSort, a, 1, a, 1), 0);
}

}  // namespace
}  // namespace tarnel::locale
