// The class library's date-time value and the engine's stored forms of dates and times.
// A TDateTime counts days since 30 December 1899; its fraction is the time of day, also before
// 1899, where the whole part is negative (-1.25 is 29 December 1899, 06:00). The engine keeps a
// date as a day number (1 January 0001 is day 1, so 30 December 1899 is day 693594), a time as
// milliseconds since midnight, and a timestamp as day number × 86400000 + milliseconds.
#pragma once

#include <cstdint>

namespace tarnel {

using TDateTime = double;

constexpr int32_t kDateDelta = 693594;  // the day number of 30 December 1899
constexpr int32_t kMSecsPerDay = 86400000;

// A moment as the engine stores it: the day number and the milliseconds since midnight.
struct TTimeStamp {
  int32_t Time;
  int32_t Date;
};

bool IsLeapYear(int year);
// 28 to 31; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);

// Years 1 to 9999; false (or EConvertError "Invalid argument to date encode") otherwise.
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);
// Hours 0 to 23 and so on; false (or EConvertError "Invalid argument to time encode") otherwise.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
// A date before 1 January 0001 decodes as 0, 0, 0.
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& millisecond);
// 1 for Sunday to 7 for Saturday.
int DayOfWeek(TDateTime date);

// A value that is not a number or whose day number leaves 32 bits raises EConvertError. The
// time rounds to the nearest millisecond.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
// A day number below 1 or a time outside the day raises EConvertError
// ("'693594.-1' is not a valid timestamp").
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// The engine's timestamp form and back; a value that is no timestamp raises EConvertError.
double TimeStampToMSecs(const TTimeStamp& stamp);
TTimeStamp MSecsToTimeStamp(double milliseconds);
double DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(double milliseconds);

// The clock: the local date and time, today at midnight, and the time of day.
TDateTime Now();
TDateTime Date();
TDateTime Time();
// Replaces the clock behind Now, Date and Time (nullptr: the system's local time) and returns
// the one it replaces; tests fix the time with it.
using TClock = TDateTime (*)();
TClock SetClock(TClock clock);

}  // namespace tarnel
