#include "platform/locale/locale_info.h"

#include <gtest/gtest.h>

namespace tarnel::locale {
namespace {

TEST(LocaleInfoTest, ReadsTheLocaleInTheClassLibrarysTerms) {
  struct TCase {
    uint32_t Lcid;
    const char* ShortDate;
    const char* LongDate;
    const char* DateSeparator;
    const char* TimeSeparator;
    bool LeadingZero, TwelveHour;
    const char* Currency;
    int CurrencyFormat, NegCurrFormat, CurrencyDecimals;
    const char* Decimal;
  };
  const TCase cases[] = {
      {0x0409, "M/d/yyyy", "dddd, MMMM d, yyyy", "/", ":", false, true, "$", 0, 1, 2, "."},
      {0x0407, "dd.MM.yyyy", "dddd, d. MMMM yyyy", ".", ":", true, false, "€", 3, 8, 2, ","},
      {0x0413, "dd-MM-yyyy", "dddd d MMMM yyyy", "-", ":", true, false, "€", 2, 12, 2, ","},
      {0x0411, "yyyy/MM/dd", "yyyy年M月d日dddd", "/", ":", false, false, "￥", 0, 1, 0, "."},
      {0x040B, "d.M.yyyy", "dddd d. MMMM yyyy", ".", ".", false, false, "€", 3, 8, 2, ","},
      {0x0C0A, "d/M/yyyy", "dddd, d 'de' MMMM 'de' yyyy", "/", ":", false, false, "€", 3, 8, 2,
       ","},
      // Gregorian dates and Latin digits even where the locale's default differs.
      {0x0401, "d/M/yyyy", "dddd، d MMMM yyyy", "/", ":", false, true, "ر.س.\u200F", 3, 8, 2, "."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Lcid);
    std::optional<TLocaleInfo> info = GetLocaleInfo(c.Lcid);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->ShortDateFormat, c.ShortDate);
    EXPECT_EQ(info->LongDateFormat, c.LongDate);
    EXPECT_EQ(info->DateSeparator, c.DateSeparator);
    EXPECT_EQ(info->TimeSeparator, c.TimeSeparator);
    EXPECT_EQ(info->TimeLeadingZero, c.LeadingZero);
    EXPECT_EQ(info->TwelveHourClock, c.TwelveHour);
    EXPECT_EQ(info->CurrencyString, c.Currency);
    EXPECT_EQ(info->CurrencyFormat, c.CurrencyFormat);
    EXPECT_EQ(info->NegCurrFormat, c.NegCurrFormat);
    EXPECT_EQ(info->CurrencyDecimals, c.CurrencyDecimals);
    EXPECT_EQ(info->DecimalSeparator, c.Decimal);
  }
}

TEST(LocaleInfoTest, ReadsNames) {
  std::optional<TLocaleInfo> english = GetLocaleInfo(0x0409);
  ASSERT_TRUE(english.has_value());
  EXPECT_EQ(english->ShortMonthNames[0], "Jan");
  EXPECT_EQ(english->LongMonthNames[11], "December");
  EXPECT_EQ(english->ShortDayNames[0], "Sun");
  EXPECT_EQ(english->LongDayNames[6], "Saturday");
  EXPECT_EQ(english->TimeAMString, "AM");
  EXPECT_EQ(english->TimePMString, "PM");
  std::optional<TLocaleInfo> german = GetLocaleInfo(0x0407);
  ASSERT_TRUE(german.has_value());
  EXPECT_EQ(german->LongMonthNames[2], "März");
  EXPECT_EQ(german->LongDayNames[0], "Sonntag");
}

TEST(LocaleInfoTest, GivesNothingWithoutAnInstalledLocale) {
  EXPECT_FALSE(GetLocaleInfo(0).has_value());
  EXPECT_FALSE(GetLocaleInfo(0x0437).has_value());
  // A region without a currency of its own.
  std::optional<TLocaleInfo> caribbean = GetLocaleInfo(0x2409);
  ASSERT_TRUE(caribbean.has_value());
  EXPECT_EQ(caribbean->CurrencyString, "");
  EXPECT_EQ(caribbean->CurrencyFormat, -1);
}

}  // namespace
}  // namespace tarnel::locale
