// Dates and times as text, the class library's way, under the current format settings or
// given ones: read by the order of the short date format and the settings' separators, written
// with the FormatDateTime picture language. The words "DATE", "TIME" and "NOW" that defaults use
// are for the callers to recognise. Failed conversions raise EConvertError ("'x' is not a valid
// date", "... time", "... date and time").
#pragma once

#include <string>
#include <string_view>

#include "platform/rtl/date_time.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

// Two or three numbers separated by the date separator, in the order of the short date format
// (month day year, day month year or year month day), blanks allowed around them. Without a
// year it is the current one; a year of one or two digits lies within 50 years before and 49
// after the current year.
TDateTime StrToDate(std::string_view text, const TLocaleFormats& formats = FormatSettings());
bool TryStrToDate(std::string_view text, TDateTime& value,
                  const TLocaleFormats& formats = FormatSettings());
// Hours, then optionally minutes, seconds and a fraction of the second (after the decimal
// separator), separated by the time separator; an AM or PM string (the settings' or "AM" and
// "PM", in any case) before or after makes it a 12-hour time.
TDateTime StrToTime(std::string_view text, const TLocaleFormats& formats = FormatSettings());
bool TryStrToTime(std::string_view text, TDateTime& value,
                  const TLocaleFormats& formats = FormatSettings());
// A date, optionally followed by a time; or a time alone (on 30 December 1899).
TDateTime StrToDateTime(std::string_view text, const TLocaleFormats& formats = FormatSettings());
bool TryStrToDateTime(std::string_view text, TDateTime& value,
                      const TLocaleFormats& formats = FormatSettings());

// The short date format, the long time format, and the date with the time when it is not
// midnight.
std::string DateToStr(TDateTime value, const TLocaleFormats& formats = FormatSettings());
std::string TimeToStr(TDateTime value, const TLocaleFormats& formats = FormatSettings());
std::string DateTimeToStr(TDateTime value, const TLocaleFormats& formats = FormatSettings());

// The picture language, letters in any case: d dd (day), ddd dddd (day name), ddddd (short
// date), dddddd (long date), m mm (month, or minutes right after an hour), mmm mmmm (month
// name), yy yyyy, h hh, n nn, s ss, z zzz, t tt (short and long time), c (date and time),
// am/pm a/p (as written) and ampm (the settings' strings) for a 12-hour clock, "/" and ":" the
// separators, text in single or double quotes as it is. An empty picture is "c".
std::string FormatDateTime(std::string_view picture, TDateTime value,
                           const TLocaleFormats& formats = FormatSettings());

}  // namespace tarnel
