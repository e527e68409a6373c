#include "platform/rtl/date_text.h"

#include <algorithm>

#include "platform/rtl/exception.h"

namespace tarnel {

namespace {

constexpr int kTwoDigitYearCenturyWindow = 50;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

// Reads a date or time text from left to right; every item may have blanks before it.
class TScanner {
 public:
  explicit TScanner(std::string_view text) : FText(text) {}

  bool AtEnd() {
    Blanks();
    return FPosition == FText.size();
  }

  // Digits while the number stays below 1000 (so at most four significant ones).
  bool Number(int& value, int& length) {
    Blanks();
    size_t start = FPosition;
    value = 0;
    while (FPosition < FText.size() && IsDigit(FText[FPosition]) && value < 1000) {
      value = value * 10 + (FText[FPosition++] - '0');
    }
    length = static_cast<int>(FPosition - start);
    return length > 0;
  }

  // A fraction of a second after its separator: the first three digits as milliseconds.
  bool Milliseconds(int& value) {
    size_t start = FPosition;
    value = 0;
    while (FPosition < FText.size() && IsDigit(FText[FPosition])) {
      if (FPosition - start < 3) value = value * 10 + (FText[FPosition] - '0');
      ++FPosition;
    }
    for (size_t digits = FPosition - start; digits < 3; ++digits) value *= 10;
    return FPosition > start;
  }

  // A separator or word, in any case; a separator that is itself a blank is not skipped.
  bool Text(std::string_view text) {
    if (text.empty()) return false;
    if (text[0] != ' ') Blanks();
    if (!StartsIgnoringCase(FText.substr(FPosition), text)) return false;
    FPosition += text.size();
    return true;
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  void Blanks() {
    while (FPosition < FText.size() && FText[FPosition] == ' ') ++FPosition;
  }

  std::string_view FText;
  size_t FPosition = 0;
};

enum class TDateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The order of the first day, month or year field of the short date format.
TDateOrder DateOrderOf(std::string_view format) {
  for (size_t i = 0; i < format.size(); ++i) {
    char c = Upper(format[i]);
    if (format[i] == '\'' || format[i] == '"') {
      size_t close = format.find(format[i], i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == 'D') {
      return TDateOrder::DayMonthYear;
    } else if (c == 'M') {
      return TDateOrder::MonthDayYear;
    } else if (c == 'Y') {
      return TDateOrder::YearMonthDay;
    }
  }
  return TDateOrder::MonthDayYear;
}

bool ScanDate(TScanner& scanner, const TLocaleFormats& formats, TDateTime& date) {
  int n1, n2, n3, l1, l2, l3 = 0;
  if (!scanner.Number(n1, l1) || !scanner.Text(formats.DateSeparator) || !scanner.Number(n2, l2)) {
    return false;
  }
  TDateOrder order = DateOrderOf(formats.ShortDateFormat);
  int currentYear, currentMonth, currentDay;
  DecodeDate(Date(), currentYear, currentMonth, currentDay);
  int year = 0, month = 0, day = 0, yearLength = 0;
  if (scanner.Text(formats.DateSeparator)) {
    if (!scanner.Number(n3, l3)) return false;
    switch (order) {
      case TDateOrder::MonthDayYear:
        year = n3, yearLength = l3, month = n1, day = n2;
        break;
      case TDateOrder::DayMonthYear:
        year = n3, yearLength = l3, month = n2, day = n1;
        break;
      case TDateOrder::YearMonthDay:
        year = n1, yearLength = l1, month = n2, day = n3;
        break;
    }
  } else {
    year = currentYear, yearLength = 4;
    month = order == TDateOrder::DayMonthYear ? n2 : n1;
    day = order == TDateOrder::DayMonthYear ? n1 : n2;
  }
  if (year <= 99 && yearLength <= 2) {
    int base = currentYear - kTwoDigitYearCenturyWindow;
    year += base / 100 * 100;
    if (year < base) year += 100;
  }
  return TryEncodeDate(year, month, day, date);
}

bool ScanHalfDay(TScanner& scanner, const TLocaleFormats& formats, int& baseHour) {
  if (scanner.Text(formats.TimeAMString) || scanner.Text("AM")) {
    baseHour = 0;
  } else if (scanner.Text(formats.TimePMString) || scanner.Text("PM")) {
    baseHour = 12;
  }
  return baseHour >= 0;
}

bool ScanTime(TScanner& scanner, const TLocaleFormats& formats, TDateTime& time) {
  int baseHour = -1;
  ScanHalfDay(scanner, formats, baseHour);
  int hour, minute = 0, second = 0, millisecond = 0, length;
  if (!scanner.Number(hour, length)) return false;
  if (scanner.Text(formats.TimeSeparator)) {
    if (!scanner.Number(minute, length)) return false;
    if (scanner.Text(formats.TimeSeparator)) {
      if (!scanner.Number(second, length)) return false;
      if (scanner.Text(formats.DecimalSeparator) && !scanner.Milliseconds(millisecond)) {
        return false;
      }
    }
  }
  if (baseHour < 0) ScanHalfDay(scanner, formats, baseHour);
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    hour = hour % 12 + baseHour;
  }
  return TryEncodeTime(hour, minute, second, millisecond, time);
}

std::string Number(int value, int width) {
  std::string text = std::to_string(value);
  return text.size() < static_cast<size_t>(width)
             ? std::string(static_cast<size_t>(width) - text.size(), '0') + text
             : text;
}

// The parts of the value being written, decoded once.
struct TParts {
  explicit TParts(TDateTime value) : Value(value) {
    DecodeDate(value, Year, Month, Day);
    DecodeTime(value, Hour, Minute, Second, Millisecond);
    WeekDay = DayOfWeek(value);
  }
  TDateTime Value;
  int Year, Month, Day, Hour, Minute, Second, Millisecond, WeekDay;
};

const std::string& Name(const std::string* names, int count, int index) {
  static const std::string kNone;
  return index >= 1 && index <= count ? names[index - 1] : kNone;
}

// Whether an hour at `position` is written on a 12-hour clock: an am/pm, a/p or ampm comes
// before the next hour field.
bool TwelveHourClockAhead(std::string_view picture, size_t position) {
  bool quoted = false;
  for (size_t i = position; i < picture.size(); ++i) {
    char c = picture[i];
    if (c == '\'' || c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == 'a' || c == 'A')) {
      std::string_view rest = picture.substr(i);
      return StartsIgnoringCase(rest, "AM/PM") || StartsIgnoringCase(rest, "A/P") ||
             StartsIgnoringCase(rest, "AMPM");
    } else if (!quoted && (c == 'h' || c == 'H')) {
      return false;
    }
  }
  return false;
}

void AppendFormat(std::string& text, std::string_view picture, const TParts& parts,
                  const TLocaleFormats& formats, int level) {
  char lastToken = ' ';
  size_t i = 0;
  while (i < picture.size()) {
    char starter = picture[i];
    size_t start = i;
    while (i < picture.size() && picture[i] == starter) ++i;
    int count = static_cast<int>(i - start);
    char token = Upper(starter);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    switch (token) {
      case 'Y':
        text += count <= 2 ? Number(parts.Year % 100, 2) : Number(parts.Year, 4);
        break;
      case 'M':
        text += count <= 2   ? Number(parts.Month, count)
                : count == 3 ? Name(formats.ShortMonthNames.data(), 12, parts.Month)
                             : Name(formats.LongMonthNames.data(), 12, parts.Month);
        break;
      case 'D':
        if (count <= 2) {
          text += Number(parts.Day, count);
        } else if (count == 3) {
          text += Name(formats.ShortDayNames.data(), 7, parts.WeekDay);
        } else if (count == 4) {
          text += Name(formats.LongDayNames.data(), 7, parts.WeekDay);
        } else if (level < 2) {
          AppendFormat(text, count == 5 ? formats.ShortDateFormat : formats.LongDateFormat, parts,
                       formats, level + 1);
        }
        break;
      case 'H': {
        int hour = parts.Hour;
        if (TwelveHourClockAhead(picture, i)) hour = hour % 12 == 0 ? 12 : hour % 12;
        text += Number(hour, std::min(count, 2));
        break;
      }
      case 'N':
        text += Number(parts.Minute, std::min(count, 2));
        break;
      case 'S':
        text += Number(parts.Second, std::min(count, 2));
        break;
      case 'Z':
        text += Number(parts.Millisecond, count <= 1 ? 1 : 3);
        break;
      case 'T':
        if (level < 2) {
          AppendFormat(text, count == 1 ? formats.ShortTimeFormat : formats.LongTimeFormat, parts,
                       formats, level + 1);
        }
        break;
      case 'C':
        if (level < 2) {
          AppendFormat(text, formats.ShortDateFormat, parts, formats, level + 1);
          if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0) {
            text += ' ';
            AppendFormat(text, formats.LongTimeFormat, parts, formats, level + 1);
          }
        }
        break;
      case 'A': {
        i = start;
        std::string_view rest = picture.substr(i);
        bool afternoon = parts.Hour >= 12;
        if (StartsIgnoringCase(rest, "AM/PM")) {
          text += rest.substr(afternoon ? 3 : 0, 2);
          i += 5;
        } else if (StartsIgnoringCase(rest, "A/P")) {
          text += rest.substr(afternoon ? 2 : 0, 1);
          i += 3;
        } else if (StartsIgnoringCase(rest, "AMPM")) {
          text += afternoon ? formats.TimePMString : formats.TimeAMString;
          i += 4;
        } else {
          text += starter;
          ++i;
        }
        break;
      }
      case '/':
        for (int n = 0; n < count; ++n) text += formats.DateSeparator;
        break;
      case ':':
        for (int n = 0; n < count; ++n) text += formats.TimeSeparator;
        break;
      case '\'':
      case '"': {
        // Each quote opens or closes a literal; a run of quotes gives empty literals.
        i = start + 1;
        size_t close = picture.find(starter, i);
        size_t end = close == std::string_view::npos ? picture.size() : close;
        text += picture.substr(i, end - i);
        i = end == picture.size() ? end : end + 1;
        break;
      }
      default:
        text.append(static_cast<size_t>(count), starter);
        break;
    }
  }
}

}  // namespace

bool TryStrToDate(std::string_view text, TDateTime& value, const TLocaleFormats& formats) {
  TScanner scanner(text);
  return ScanDate(scanner, formats, value) && scanner.AtEnd();
}

TDateTime StrToDate(std::string_view text, const TLocaleFormats& formats) {
  return ConvertOrRaise<TDateTime>(
      text, "date", [&](TDateTime& value) { return TryStrToDate(text, value, formats); });
}

bool TryStrToTime(std::string_view text, TDateTime& value, const TLocaleFormats& formats) {
  TScanner scanner(text);
  return ScanTime(scanner, formats, value) && scanner.AtEnd();
}

TDateTime StrToTime(std::string_view text, const TLocaleFormats& formats) {
  return ConvertOrRaise<TDateTime>(
      text, "time", [&](TDateTime& value) { return TryStrToTime(text, value, formats); });
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const TLocaleFormats& formats) {
  TScanner scanner(text);
  TDateTime date;
  TDateTime time = 0;
  if (ScanDate(scanner, formats, date) &&
      (scanner.AtEnd() || (ScanTime(scanner, formats, time) && scanner.AtEnd()))) {
    value = date >= 0 ? date + time : date - time;
    return true;
  }
  return TryStrToTime(text, value, formats);
}

TDateTime StrToDateTime(std::string_view text, const TLocaleFormats& formats) {
  return ConvertOrRaise<TDateTime>(text, "date and time", [&](TDateTime& value) {
    return TryStrToDateTime(text, value, formats);
  });
}

std::string DateToStr(TDateTime value, const TLocaleFormats& formats) {
  return FormatDateTime("ddddd", value, formats);
}

std::string TimeToStr(TDateTime value, const TLocaleFormats& formats) {
  return FormatDateTime("tt", value, formats);
}

std::string DateTimeToStr(TDateTime value, const TLocaleFormats& formats) {
  return FormatDateTime("c", value, formats);
}

std::string FormatDateTime(std::string_view picture, TDateTime value,
                           const TLocaleFormats& formats) {
  std::string text;
  AppendFormat(text, picture.empty() ? "c" : picture, TParts(value), formats, 0);
  return text;
}

}  // namespace tarnel
