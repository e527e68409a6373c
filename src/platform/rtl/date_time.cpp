#include "platform/rtl/date_time.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

#include "platform/rtl/exception.h"

namespace tarnel {

namespace {

constexpr int kDaysBeforeMonth[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
};
constexpr int32_t kMSecsPerHour = 3600000;
constexpr int32_t kMSecsPerMinute = 60000;

std::atomic<TClock> gClock{nullptr};

TDateTime SystemNow() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  ::localtime_r(&now.tv_sec, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec,
                    static_cast<int>(now.tv_nsec / 1000000));
}

[[noreturn]] void InvalidTimeStamp(const std::string& text) {
  throw EConvertError("'" + text + "' is not a valid timestamp");
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const int* days = kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0];
  return days[month] - days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  int before = year - 1;
  date = before * 365 + before / 4 - before / 100 + before / 400 +
         kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0][month - 1] + day - kDateDelta;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError("Invalid argument to date encode");
  return date;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return false;
  }
  time = (hour * kMSecsPerHour + minute * kMSecsPerMinute + second * 1000 + millisecond) /
         static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime time;
  if (!TryEncodeTime(hour, minute, second, millisecond, time)) {
    throw EConvertError("Invalid argument to time encode");
  }
  return time;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  constexpr int kDays400 = 146097;
  constexpr int kDays100 = 36524;
  constexpr int kDays4 = 1461;
  int days = DateTimeToTimeStamp(date).Date;
  if (days <= 0) {
    year = month = day = 0;
    return;
  }
  --days;
  year = 1 + days / kDays400 * 400;
  days %= kDays400;
  // The last day of a 400-year (or 4-year) cycle belongs to its last century (or year).
  int centuries = std::min(days / kDays100, 3);
  days -= centuries * kDays100;
  int quads = days / kDays4;
  days %= kDays4;
  int years = std::min(days / 365, 3);
  days -= years * 365;
  year += centuries * 100 + quads * 4 + years;
  const int* before = kDaysBeforeMonth[IsLeapYear(year) ? 1 : 0];
  month = 1;
  while (days >= before[month]) ++month;
  day = days - before[month - 1] + 1;
}

void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& millisecond) {
  int32_t milliseconds = DateTimeToTimeStamp(time).Time;
  hour = milliseconds / kMSecsPerHour;
  minute = milliseconds / kMSecsPerMinute % 60;
  second = milliseconds / 1000 % 60;
  millisecond = milliseconds % 1000;
}

int DayOfWeek(TDateTime date) {
  int32_t days = DateTimeToTimeStamp(date).Date;
  return (days % 7 + 7) % 7 + 1;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  double whole = std::trunc(value);
  if (!std::isfinite(value) || whole + kDateDelta < -2147483647.0 ||
      whole + kDateDelta > 2147483646.0) {
    throw EConvertError("Invalid argument to date encode");
  }
  TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(whole) + kDateDelta;
  stamp.Time = static_cast<int32_t>(std::round(std::fabs(value - whole) * kMSecsPerDay));
  if (stamp.Time >= kMSecsPerDay) {
    stamp.Time -= kMSecsPerDay;
    ++stamp.Date;
  }
  return stamp;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  if (stamp.Date < 1 || stamp.Time < 0 || stamp.Time >= kMSecsPerDay) {
    InvalidTimeStamp(std::to_string(stamp.Date) + "." + std::to_string(stamp.Time));
  }
  double days = static_cast<double>(stamp.Date) - kDateDelta;
  double fraction = stamp.Time / static_cast<double>(kMSecsPerDay);
  return days >= 0 ? days + fraction : days - fraction;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
  return static_cast<double>(stamp.Date) * kMSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double milliseconds) {
  double days = std::floor(milliseconds / kMSecsPerDay);
  if (!std::isfinite(milliseconds) || days < 1 || days > 2147483647.0) {
    InvalidTimeStamp(std::to_string(milliseconds));
  }
  TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(days);
  stamp.Time = std::min(static_cast<int32_t>(milliseconds - days * kMSecsPerDay), kMSecsPerDay - 1);
  return stamp;
}

double DateTimeToMSecs(TDateTime value) { return TimeStampToMSecs(DateTimeToTimeStamp(value)); }

TDateTime MSecsToDateTime(double milliseconds) {
  return TimeStampToDateTime(MSecsToTimeStamp(milliseconds));
}

TDateTime Now() {
  TClock clock = gClock.load();
  return clock != nullptr ? clock() : SystemNow();
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TDateTime now = Now();
  return now - std::trunc(now);
}

TClock SetClock(TClock clock) { return gClock.exchange(clock); }

}  // namespace tarnel
