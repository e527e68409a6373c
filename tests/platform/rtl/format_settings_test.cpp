#include "platform/rtl/format_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/locale/user_locale.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

TEST(FormatSettingsTest, LanguageZeroHasTheFixedEnglishFormats) {
  TLocaleFormats formats = GetLocaleFormats(false, 0, 0);
  EXPECT_EQ(formats.CurrencyString, "$");
  EXPECT_EQ(formats.CurrencyFormat, 0);
  EXPECT_EQ(formats.NegCurrFormat, 0);
  EXPECT_EQ(formats.ThousandSeparator, ",");
  EXPECT_EQ(formats.DecimalSeparator, ".");
  EXPECT_EQ(formats.CurrencyDecimals, 2);
  EXPECT_EQ(formats.DateSeparator, "/");
  EXPECT_EQ(formats.ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(formats.LongDateFormat, "dddd, MMMM dd, yyyy");
  EXPECT_EQ(formats.TimeSeparator, ":");
  EXPECT_EQ(formats.TimeAMString, "AM");
  EXPECT_EQ(formats.TimePMString, "PM");
  EXPECT_EQ(formats.ShortTimeFormat, "h:mm AMPM");
  EXPECT_EQ(formats.LongTimeFormat, "h:mm:ss AMPM");
  EXPECT_EQ(formats.ShortMonthNames[0], "Jan");
  EXPECT_EQ(formats.LongMonthNames[11], "December");
  EXPECT_EQ(formats.ShortDayNames[0], "Sun");
  EXPECT_EQ(formats.LongDayNames[6], "Saturday");
  // A locale that is not installed, or Korean (Johab), gets the same.
  EXPECT_EQ(GetLocaleFormats(false, 0x0437, 0), formats);
  EXPECT_EQ(GetLocaleFormats(false, 0x0812, 0), formats);
}

TEST(FormatSettingsTest, ReadsTheLocaleAndBuildsTheTimeFormats) {
  struct TCase {
    uint16_t LanguageId;
    const char* ShortDate;
    const char* ShortTime;
    const char* LongTime;
    const char* Currency;
    int CurrencyFormat, NegCurrFormat;
    const char* Decimal;
    const char* LongMonth;
  };
  const TCase cases[] = {
      {0x0409, "M/d/yyyy", "h:mm AMPM", "h:mm:ss AMPM", "$", 0, 1, ".", "March"},
      {0x0407, "dd.MM.yyyy", "hh:mm", "hh:mm:ss", "€", 3, 8, ",", "März"},
      {0x0411, "yyyy/MM/dd", "h:mm", "h:mm:ss", "￥", 0, 1, ".", "3月"},
      // A region without a currency of its own falls back to "$".
      {0x2409, "M/d/yyyy", "hh:mm", "hh:mm:ss", "$", 0, 0, ".", "March"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.LanguageId);
    TLocaleFormats formats = GetLocaleFormats(false, c.LanguageId, 0);
    EXPECT_EQ(formats.ShortDateFormat, c.ShortDate);
    EXPECT_EQ(formats.ShortTimeFormat, c.ShortTime);
    EXPECT_EQ(formats.LongTimeFormat, c.LongTime);
    EXPECT_EQ(formats.CurrencyString, c.Currency);
    EXPECT_EQ(formats.CurrencyFormat, c.CurrencyFormat);
    EXPECT_EQ(formats.NegCurrFormat, c.NegCurrFormat);
    EXPECT_EQ(formats.DecimalSeparator, c.Decimal);
    EXPECT_EQ(formats.LongMonthNames[2], c.LongMonth);
  }
  EXPECT_EQ(GetLocaleFormats(false, 0x0407, 1), GetLocaleFormats(false, 0x0407, 0));
}

// Each test starts from the user's locale pinned to German (day-month-year dates) and gives the
// environment's back afterwards.
class FormatSwapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locale::SetUserLocale("de_DE.UTF-8");
    FSaved = SaveFormats();
    RestoreFormats(GetLocaleFormats(true, 0, 0));
  }
  void TearDown() override {
    RestoreFormats(FSaved);
    locale::SetUserLocale("");
  }

  TLocaleFormats FSaved;
};

TEST_F(FormatSwapTest, TheUsersLocaleGivesTheProgramsFormats) {
  EXPECT_EQ(FormatSettings().ShortDateFormat, "dd.MM.yyyy");
  locale::SetUserLocale("C");
  EXPECT_EQ(GetLocaleFormats(true, 0, 0), GetLocaleFormats(false, 0, 0));
}

TEST_F(FormatSwapTest, AGuardPutsATablesFormatsInForceAndBack) {
  TLocaleFormats german = SaveFormats();
  {
    TLocaleFormatsGuard guard(0, 0);
    EXPECT_EQ(FormatSettings().ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(StrToDate("12/31/1999"), EncodeDate(1999, 12, 31));
  }
  EXPECT_EQ(SaveFormats(), german);
  EXPECT_EQ(StrToDate("31.12.1999"), EncodeDate(1999, 12, 31));
  EXPECT_THROW(
      {
        TLocaleFormatsGuard guard(0, 0);
        StrToDate("31.12.1999");
      },
      EConvertError);
  EXPECT_EQ(SaveFormats(), german);
}

TEST_F(FormatSwapTest, AGuardHoldsTheLockForItsLifetime) {
  std::atomic<bool> lockedElsewhere{true};
  {
    TLocaleFormatsGuard guard(0x0409, 0);
    std::thread other([&] {
      bool locked = FormatSettingsLock().try_lock();
      if (locked) FormatSettingsLock().unlock();
      lockedElsewhere = locked;
    });
    other.join();
    // The holder itself may swap again.
    TLocaleFormatsGuard nested(0, 0);
  }
  EXPECT_FALSE(lockedElsewhere);
  EXPECT_TRUE(FormatSettingsLock().try_lock());
  FormatSettingsLock().unlock();
}

}  // namespace
}  // namespace tarnel
