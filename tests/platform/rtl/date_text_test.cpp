#include "platform/rtl/date_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

TDateTime FixedNow() { return EncodeDate(2024, 6, 15) + EncodeTime(12, 0, 0, 0); }

// Conversions under given formats, with the clock fixed in June 2024 (two-digit years and dates
// without a year depend on it).
class DateTextTest : public ::testing::Test {
 protected:
  void SetUp() override { FPrevious = SetClock(FixedNow); }
  void TearDown() override { SetClock(FPrevious); }

  const TLocaleFormats FEnglish = GetLocaleFormats(false, 0, 0);
  const TLocaleFormats FGerman = GetLocaleFormats(false, 0x0407, 0);
  const TLocaleFormats FJapanese = GetLocaleFormats(false, 0x0411, 0);
  TClock FPrevious = nullptr;
};

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int millisecond = 0) {
  return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, millisecond);
}

TEST_F(DateTextTest, ReadsDatesInTheOrderOfTheShortDateFormat) {
  struct TCase {
    const TLocaleFormats* Formats;
    const char* Text;
    TDateTime Expected;  // -1e9: not a date
  };
  const double kInvalid = -1e9;
  const TCase cases[] = {
      {&FEnglish, "12/31/1999", At(1999, 12, 31)}, {&FEnglish, " 1/2/2003 ", At(2003, 1, 2)},
      {&FEnglish, "1 / 2 / 2003", At(2003, 1, 2)}, {&FEnglish, "12/31/99", At(1999, 12, 31)},
      {&FEnglish, "1/1/05", At(2005, 1, 1)},       {&FEnglish, "1/1/74", At(1974, 1, 1)},
      {&FEnglish, "1/1/73", At(2073, 1, 1)},       {&FEnglish, "1/1/0073", At(73, 1, 1)},
      {&FEnglish, "3/4", At(2024, 3, 4)},          {&FEnglish, "2/29/2001", kInvalid},
      {&FEnglish, "31/12/1999", kInvalid},         {&FEnglish, "12/31/1999x", kInvalid},
      {&FEnglish, "12.31.1999", kInvalid},         {&FEnglish, "12/31/", kInvalid},
      {&FEnglish, "12/31/19999", kInvalid},        {&FEnglish, "", kInvalid},
      {&FGerman, "31.12.1999", At(1999, 12, 31)},  {&FGerman, "1.2", At(2024, 2, 1)},
      {&FGerman, "12/31/1999", kInvalid},          {&FJapanese, "1999/12/31", At(1999, 12, 31)},
      {&FJapanese, "12/31", At(2024, 12, 31)},
  };
  for (const TCase& c : cases) {
    TDateTime value = 0;
    bool ok = TryStrToDate(c.Text, value, *c.Formats);
    EXPECT_EQ(ok, c.Expected != kInvalid) << c.Text;
    if (ok) {
      EXPECT_EQ(value, c.Expected) << c.Text;
    }
  }
}

TEST_F(DateTextTest, ReadsTimes) {
  struct TCase {
    const char* Text;
    int Hour, Minute, Second, Millisecond;  // Hour -1: not a time
  };
  const TCase cases[] = {
      {"10:30", 10, 30, 0, 0},
      {" 10:30:15 ", 10, 30, 15, 0},
      {"10:30:15.5", 10, 30, 15, 500},
      {"10:30:15.123", 10, 30, 15, 123},
      {"10", 10, 0, 0, 0},
      {"2:30 PM", 14, 30, 0, 0},
      {"2:30pm", 14, 30, 0, 0},
      {"PM 2:30", 14, 30, 0, 0},
      {"12:00 AM", 0, 0, 0, 0},
      {"12:00 PM", 12, 0, 0, 0},
      {"13:00 PM", -1, 0, 0, 0},
      {"0:00 AM", -1, 0, 0, 0},
      {"24:00", -1, 0, 0, 0},
      {"10:60", -1, 0, 0, 0},
      {"10:", -1, 0, 0, 0},
      {"10:30 x", -1, 0, 0, 0},
      {"", -1, 0, 0, 0},
  };
  for (const TCase& c : cases) {
    TDateTime value = 0;
    bool ok = TryStrToTime(c.Text, value, FEnglish);
    EXPECT_EQ(ok, c.Hour >= 0) << c.Text;
    if (ok) {
      EXPECT_NEAR(value, EncodeTime(c.Hour, c.Minute, c.Second, c.Millisecond), 1e-12) << c.Text;
    }
  }
}

TEST_F(DateTextTest, ReadsDatesWithTimesOrTimesAlone) {
  EXPECT_NEAR(StrToDateTime("12/31/1999 10:30", FEnglish), At(1999, 12, 31, 10, 30), 1e-9);
  EXPECT_NEAR(StrToDateTime("12/31/1999 2:05:09 PM", FEnglish), At(1999, 12, 31, 14, 5, 9), 1e-9);
  EXPECT_EQ(StrToDateTime("12/31/1999", FEnglish), At(1999, 12, 31));
  EXPECT_NEAR(StrToDateTime("10:30", FEnglish), EncodeTime(10, 30, 0, 0), 1e-12);
  EXPECT_NEAR(StrToDateTime("31.12.1999 14:30", FGerman), At(1999, 12, 31, 14, 30), 1e-9);
  // Before 1899 the time still counts forward from midnight.
  EXPECT_NEAR(StrToDateTime("1/1/1800 6:00", FEnglish), At(1800, 1, 1) - 0.25, 1e-9);
  TDateTime value;
  EXPECT_FALSE(TryStrToDateTime("12/31/1999 x", value, FEnglish));
  EXPECT_FALSE(TryStrToDateTime("now", value, FEnglish));
}

TEST_F(DateTextTest, FailsWithTheClassLibrarysMessages) {
  struct TCase {
    TDateTime (*Convert)(std::string_view, const TLocaleFormats&);
    const char* Message;
  };
  const TCase cases[] = {
      {StrToDate, "'date' is not a valid date"},
      {StrToTime, "'date' is not a valid time"},
      {StrToDateTime, "'date' is not a valid date and time"},
  };
  for (const TCase& c : cases) {
    try {
      c.Convert("date", FEnglish);
      ADD_FAILURE() << c.Message;
    } catch (const EConvertError& error) {
      EXPECT_EQ(error.Message(), c.Message);
    }
  }
}

TEST_F(DateTextTest, WritesPictures) {
  TDateTime value = At(1999, 12, 31, 14, 5, 9, 7);  // a Friday
  struct TCase {
    const TLocaleFormats* Formats;
    const char* Picture;
    const char* Expected;
  };
  const TCase cases[] = {
      {&FEnglish, "m/d/yyyy", "12/31/1999"},
      {&FEnglish, "mm/dd/yy", "12/31/99"},
      {&FEnglish, "d-m-y", "31-12-99"},
      {&FEnglish, "mmm mmmm", "Dec December"},
      {&FEnglish, "ddd dddd", "Fri Friday"},
      {&FEnglish, "ddddd", "12/31/1999"},
      {&FEnglish, "dddddd", "Friday, December 31, 1999"},
      {&FEnglish, "h:nn:ss.zzz", "14:05:09.007"},
      {&FEnglish, "hh:mm", "14:05"},
      {&FEnglish, "h:m:s z", "14:5:9 7"},
      {&FEnglish, "h:mm am/pm", "2:05 pm"},
      {&FEnglish, "h:mm AM/PM", "2:05 PM"},
      {&FEnglish, "h a/p", "2 p"},
      {&FEnglish, "hh:mm AMPM", "02:05 PM"},
      {&FEnglish, "t", "2:05 PM"},
      {&FEnglish, "tt", "2:05:09 PM"},
      {&FEnglish, "c", "12/31/1999 2:05:09 PM"},
      {&FEnglish, "", "12/31/1999 2:05:09 PM"},
      {&FEnglish, "'day' d \"of\" mmmm", "day 31 of December"},
      {&FEnglish, "yyyy-mm-dd", "1999-12-31"},
      {&FGerman, "ddddd", "31.12.1999"},
      {&FGerman, "dddddd", "Freitag, 31. Dezember 1999"},
      {&FGerman, "m/d", "12.31"},
      {&FGerman, "t", "14:05"},
      {&FJapanese, "dddddd", "1999年12月31日金曜日"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FormatDateTime(c.Picture, value, *c.Formats), c.Expected) << c.Picture;
  }
  EXPECT_EQ(FormatDateTime("h:mm AMPM", At(2000, 1, 1, 0, 30), FEnglish), "12:30 AM");
  EXPECT_EQ(FormatDateTime("c", At(2000, 1, 1), FEnglish), "1/1/2000");
}

TEST_F(DateTextTest, WritesWhatItReadsBack) {
  TDateTime moment = At(2003, 2, 1, 9, 8, 7);
  for (const TLocaleFormats* formats : {&FEnglish, &FGerman, &FJapanese}) {
    EXPECT_EQ(StrToDate(DateToStr(moment, *formats), *formats), At(2003, 2, 1));
    EXPECT_NEAR(StrToTime(TimeToStr(moment, *formats), *formats), EncodeTime(9, 8, 7, 0), 1e-9);
    EXPECT_NEAR(StrToDateTime(DateTimeToStr(moment, *formats), *formats), moment, 1e-9);
  }
}

}  // namespace
}  // namespace tarnel
