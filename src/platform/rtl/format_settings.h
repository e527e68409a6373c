// The process-wide date, time, number and currency format settings that the conversions use,
// and the engine's way of putting a table's own formats in force while it reads the texts of
// that table's defaults, minimums and maximums. Texts are UTF-8.
//
// REQUIRES: the current settings change only under FormatSettingsLock(); a thread that converts
// while another may swap them holds the lock too (or passes its own copy to the conversion).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace tarnel {

struct TLocaleFormats {
  std::string CurrencyString;
  uint8_t CurrencyFormat = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 0;   // 0 "($1)" to 15 "(1 $)", the Windows codes
  std::string ThousandSeparator;
  std::string DecimalSeparator;
  uint8_t CurrencyDecimals = 2;
  std::string DateSeparator;
  std::string ShortDateFormat;
  std::string LongDateFormat;
  std::string TimeSeparator;
  std::string TimeAMString;
  std::string TimePMString;
  std::string ShortTimeFormat;
  std::string LongTimeFormat;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;  // Sunday first
  std::array<std::string, 7> LongDayNames;

  bool operator==(const TLocaleFormats&) const = default;
};

// The formats of a locale. With `useThreadLocale`, the user's own locale (LANG); otherwise the
// locale SortId × 65536 + LanguageId. Items the locale does not give fall back to the English
// ones ("$", "M/d/yyyy", "AM", "January" ...); the time formats are built: "hh" when the locale
// writes hours with two digits, else "h", then ":mm" (short) or ":mm:ss" (long), then " AMPM"
// for a 12-hour clock. Language 0 (or no user locale, or a locale that is not installed) gives
// the fixed English formats, with "h:mm AMPM" and "h:mm:ss AMPM".
TLocaleFormats GetLocaleFormats(bool useThreadLocale, uint16_t languageId, uint16_t sortId);

// The current settings; at first use those of the user's locale.
const TLocaleFormats& FormatSettings();
// A copy of the current settings.
TLocaleFormats SaveFormats();
// Makes `formats` the current settings.
void RestoreFormats(const TLocaleFormats& formats);
// Guards every change of the current settings (recursive: a holder may swap again).
std::recursive_mutex& FormatSettingsLock();

// Puts the formats of a table's locale in force for its lifetime and gives the saved settings
// back on every way out, holding FormatSettingsLock() meanwhile.
class TLocaleFormatsGuard {
 public:
  TLocaleFormatsGuard(uint16_t languageId, uint16_t sortId);
  ~TLocaleFormatsGuard();
  TLocaleFormatsGuard(const TLocaleFormatsGuard&) = delete;
  TLocaleFormatsGuard& operator=(const TLocaleFormatsGuard&) = delete;

 private:
  std::unique_lock<std::recursive_mutex> FLock;
  TLocaleFormats FSaved;
};

}  // namespace tarnel
