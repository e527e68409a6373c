#include "platform/rtl/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

TEST(DateTimeTest, EncodesAndDecodesDates) {
  struct TCase {
    int Year, Month, Day;
    TDateTime Value;
  };
  const TCase cases[] = {
      {1, 1, 1, -693593},  {1899, 12, 30, 0},       {1899, 12, 29, -1},   {1900, 2, 28, 60},
      {1900, 3, 1, 61},    {1970, 1, 1, 25569},     {2000, 2, 29, 36585}, {2000, 12, 31, 36891},
      {2001, 1, 1, 36892}, {9999, 12, 31, 2958465},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Value);
    int year, month, day;
    // The time of day counts forward from midnight also before 1899.
    DecodeDate(c.Value < 0 ? c.Value - 0.75 : c.Value + 0.75, year, month, day);
    EXPECT_EQ(year, c.Year);
    EXPECT_EQ(month, c.Month);
    EXPECT_EQ(day, c.Day);
    // The engine's day number: 1 January 0001 is day 1.
    EXPECT_EQ(DateTimeToTimeStamp(c.Value).Date, static_cast<int32_t>(c.Value) + kDateDelta);
  }
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
  EXPECT_EQ(DayOfWeek(EncodeDate(1999, 12, 31)), 6);  // a Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);       // a Monday
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(DateTimeTest, RefusesImpossibleDatesAndTimes) {
  const int dates[][3] = {{2001, 2, 29}, {1900, 2, 29}, {0, 1, 1},     {10000, 1, 1},
                          {2000, 13, 1}, {2000, 0, 1},  {2000, 4, 31}, {2000, 1, 0}};
  for (const auto& d : dates) {
    TDateTime value;
    EXPECT_FALSE(TryEncodeDate(d[0], d[1], d[2], value)) << d[0] << "-" << d[1] << "-" << d[2];
  }
  const int times[][4] = {
      {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
  for (const auto& t : times) {
    TDateTime value;
    EXPECT_FALSE(TryEncodeTime(t[0], t[1], t[2], t[3], value)) << t[0] << ":" << t[1];
  }
  try {
    EncodeDate(2001, 2, 29);
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Invalid argument to date encode");
  }
  try {
    EncodeTime(24, 0, 0, 0);
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Invalid argument to time encode");
  }
}

TEST(DateTimeTest, KeepsTheTimeOfDayBefore1899) {
  TDateTime value = EncodeDate(1899, 12, 29) - EncodeTime(6, 0, 0, 0);
  EXPECT_EQ(value, -1.25);
  TTimeStamp stamp = DateTimeToTimeStamp(value);
  EXPECT_EQ(stamp.Date, kDateDelta - 1);
  EXPECT_EQ(stamp.Time, 6 * 3600000);
  EXPECT_EQ(TimeStampToDateTime(stamp), -1.25);
  int hour, minute, second, millisecond;
  DecodeTime(value, hour, minute, second, millisecond);
  EXPECT_EQ(hour, 6);
  // A time that rounds up to midnight belongs to the next day.
  EXPECT_EQ(DateTimeToTimeStamp(0.9999999999).Date, kDateDelta + 1);
  EXPECT_EQ(DateTimeToTimeStamp(0.9999999999).Time, 0);
}

TEST(DateTimeTest, GivesTheEnginesStoredForms) {
  TDateTime moment = EncodeDate(1999, 12, 31) + EncodeTime(10, 20, 30, 400);
  TTimeStamp stamp = DateTimeToTimeStamp(moment);
  EXPECT_EQ(stamp.Date, 730119);
  EXPECT_EQ(stamp.Time, 37230400);
  EXPECT_EQ(DateTimeToMSecs(moment), 730119.0 * 86400000 + 37230400);
  EXPECT_NEAR(MSecsToDateTime(DateTimeToMSecs(moment)), moment, 1e-9);
  // A time of day alone lies on 30 December 1899, day 693594.
  EXPECT_EQ(DateTimeToMSecs(EncodeTime(1, 0, 0, 0)), 693594.0 * 86400000 + 3600000);
  TTimeStamp back = MSecsToTimeStamp(730119.0 * 86400000 + 37230400);
  EXPECT_EQ(back.Date, 730119);
  EXPECT_EQ(back.Time, 37230400);
}

TEST(DateTimeTest, RefusesValuesThatAreNoMoment) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(DateTimeToTimeStamp(nan), EConvertError);
  EXPECT_THROW(DateTimeToTimeStamp(1e300), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(nan), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(-1), EConvertError);
  EXPECT_THROW(MSecsToTimeStamp(1e30), EConvertError);
  EXPECT_THROW(TimeStampToDateTime({-1, kDateDelta}), EConvertError);
  try {
    TimeStampToDateTime({0, 0});
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "'0.0' is not a valid timestamp");
  }
}

TDateTime FixedNow() { return EncodeDate(2024, 6, 15) + EncodeTime(13, 45, 0, 0); }

TEST(DateTimeTest, ReadsTheReplaceableClock) {
  TClock previous = SetClock(FixedNow);
  EXPECT_EQ(Now(), FixedNow());
  EXPECT_EQ(Date(), EncodeDate(2024, 6, 15));
  EXPECT_NEAR(Time(), EncodeTime(13, 45, 0, 0), 1e-9);
  SetClock(previous);
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}

}  // namespace
}  // namespace tarnel
