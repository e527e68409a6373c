#include "platform/locale/user_locale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace tarnel::locale {
namespace {

// Each test pins the user's locale and gives the environment's back afterwards.
class UserLocaleTest : public ::testing::Test {
 protected:
  void TearDown() override { SetUserLocale(""); }
};

// Sets an environment variable (or unsets it) for its lifetime.
class TEnvironmentVariable {
 public:
  TEnvironmentVariable(const char* name, const char* value) : FName(name) {
    if (const char* old = getenv(name)) FOld = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~TEnvironmentVariable() { FOld ? setenv(FName, FOld->c_str(), 1) : unsetenv(FName); }

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

TEST_F(UserLocaleTest, TakesTheLanguageFromThePosixName) {
  struct TCase {
    const char* Name;
    const char* Icu;
    uint16_t LanguageId;
  };
  const TCase cases[] = {
      {"de_DE.UTF-8", "de_DE", 0x0407},
      {"de_BE.UTF-8", "de_BE", 0x0407},
      {"de_AT", "de_AT", 0x0C07},
      {"en_US.UTF-8", "en_US", 0x0409},
      {"en_IN.UTF-8", "en_IN", 0x0409},
      {"es_ES.UTF-8", "es_ES", 0x0C0A},
      {"pt_PT.UTF-8", "pt_PT", 0x0816},
      {"sr_RS.UTF-8", "sr_RS", 0x0C1A},
      {"sr_RS@latin", "sr_Latn_RS", 0x081A},
      {"zh_TW.Big5", "zh_TW", 0x0404},
      {"ko_KR.UTF-8", "ko_KR", 0x0412},
      {"de-CH", "de_CH", 0x0807},
      {"ga_IE.UTF-8", "ga_IE", 0},
      {"C", "", 0},
      {"POSIX", "", 0},
      {"C.UTF-8", "", 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    SetUserLocale(c.Name);
    EXPECT_EQ(UserLocale(), c.Icu);
    EXPECT_EQ(GetUserDefaultLangID(), c.LanguageId);
    EXPECT_EQ(GetThreadLocale(), c.LanguageId);
  }
}

TEST_F(UserLocaleTest, ReadsTheEnvironment) {
  TEnvironmentVariable all("LC_ALL", nullptr);
  TEnvironmentVariable lang("LANG", "sv_SE.UTF-8");
  SetUserLocale("");
  EXPECT_EQ(UserLocale(), "sv_SE");
  EXPECT_EQ(GetUserDefaultLangID(), 0x041D);
  {
    TEnvironmentVariable overriding("LC_ALL", "fr_CA.UTF-8");
    SetUserLocale("");
    EXPECT_EQ(UserLocale(), "fr_CA");
  }
  TEnvironmentVariable none("LANG", nullptr);
  SetUserLocale("");
  EXPECT_EQ(UserLocale(), "");
}

TEST_F(UserLocaleTest, ComparesAndMapsInTheUsersLocale) {
  SetUserLocale("de_DE.UTF-8");
  EXPECT_EQ(AnsiCompareText("Ärger.dat", "ärger.DAT"), 0);
  EXPECT_LT(AnsiCompareText("Ärger", "Zorn"), 0);
  EXPECT_NE(AnsiCompareStr("secret", "Secret"), 0);
  EXPECT_EQ(AnsiCompareStr("secret", "secret"), 0);
  EXPECT_EQ(AnsiUpperCase("straße ä"), "STRASSE Ä");
  EXPECT_EQ(AnsiLowerCase("ÄRGER"), "ärger");
  SetUserLocale("tr_TR.UTF-8");
  EXPECT_EQ(AnsiUpperCase("i"), "İ");
}

TEST_F(UserLocaleTest, WithoutALocaleUsesBytesAndAsciiLetters) {
  SetUserLocale("C");
  EXPECT_EQ(AnsiCompareText("abc.DAT", "ABC.dat"), 0);
  EXPECT_NE(AnsiCompareText("ä", "Ä"), 0);
  EXPECT_EQ(AnsiCompareStr("B", "a"), -1);
  EXPECT_EQ(AnsiCompareStr("ab", "abc"), -1);
  EXPECT_EQ(AnsiUpperCase("straße"), "STRAßE");
  EXPECT_EQ(AnsiLowerCase("ABC"), "abc");
}

}  // namespace
}  // namespace tarnel::locale
