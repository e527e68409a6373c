// What a locale says about writing dates, times, numbers and currency amounts, read from ICU's
// locale data (Gregorian calendar, Latin digits) and put in the class library's terms: date
// pictures in its format language ("dd.MM.yyyy", "dddd, MMMM d, yyyy") and the currency placement
// codes of Windows. Texts are UTF-8; an item the locale does not give is empty or -1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnel::locale {

struct TLocaleInfo {
  std::string CurrencyString;
  int CurrencyFormat = -1;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int NegCurrFormat = -1;   // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$",
                            // 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1",
                            // 13 "1- $", 14 "($ 1)", 15 "(1 $)"
  std::string ThousandSeparator;
  std::string DecimalSeparator;
  int CurrencyDecimals = -1;
  std::string DateSeparator;
  std::string ShortDateFormat;  // always with four-digit years
  std::string LongDateFormat;
  std::string TimeSeparator;
  std::string TimeAMString;
  std::string TimePMString;
  bool TimeLeadingZero = false;  // hours written with two digits
  bool TwelveHourClock = false;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;  // Sunday first
  std::array<std::string, 7> LongDayNames;
};

// The data of an installed locale of the language table; nothing for language 0 and for locales
// that are not installed.
std::optional<TLocaleInfo> GetLocaleInfo(uint32_t lcid);
// The data of any ICU locale ("de_CH", "sr_Latn_RS").
TLocaleInfo GetIcuLocaleInfo(const std::string& icuLocale);

}  // namespace tarnel::locale
