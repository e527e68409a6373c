#include "platform/rtl/format_settings.h"

#include "platform/locale/language_table.h"
#include "platform/locale/locale_info.h"
#include "platform/locale/user_locale.h"

namespace tarnel {

namespace {

TLocaleFormats FixedFormats() {
  TLocaleFormats formats;
  formats.CurrencyString = "$";
  formats.CurrencyFormat = 0;
  formats.NegCurrFormat = 0;
  formats.ThousandSeparator = ",";
  formats.DecimalSeparator = ".";
  formats.CurrencyDecimals = 2;
  formats.DateSeparator = "/";
  formats.ShortDateFormat = "M/d/yyyy";
  formats.LongDateFormat = "dddd, MMMM dd, yyyy";
  formats.TimeSeparator = ":";
  formats.TimeAMString = "AM";
  formats.TimePMString = "PM";
  formats.ShortTimeFormat = "h:mm AMPM";
  formats.LongTimeFormat = "h:mm:ss AMPM";
  formats.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  formats.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
  formats.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  formats.LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                          "Thursday", "Friday", "Saturday"};
  return formats;
}

void Take(std::string& target, const std::string& value) {
  if (!value.empty()) target = value;
}

void Take(uint8_t& target, int value) {
  if (value >= 0) target = static_cast<uint8_t>(value);
}

template <size_t N>
void Take(std::array<std::string, N>& target, const std::array<std::string, N>& values) {
  for (size_t i = 0; i < N; ++i) Take(target[i], values[i]);
}

// The locale's items over the English fallbacks, with the time formats built from its clock.
TLocaleFormats FormatsOf(const locale::TLocaleInfo& info) {
  TLocaleFormats formats = FixedFormats();
  Take(formats.CurrencyString, info.CurrencyString);
  Take(formats.CurrencyFormat, info.CurrencyFormat);
  Take(formats.NegCurrFormat, info.NegCurrFormat);
  Take(formats.ThousandSeparator, info.ThousandSeparator);
  Take(formats.DecimalSeparator, info.DecimalSeparator);
  Take(formats.CurrencyDecimals, info.CurrencyDecimals);
  Take(formats.DateSeparator, info.DateSeparator);
  Take(formats.ShortDateFormat, info.ShortDateFormat);
  Take(formats.LongDateFormat, info.LongDateFormat);
  Take(formats.TimeSeparator, info.TimeSeparator);
  Take(formats.TimeAMString, info.TimeAMString);
  Take(formats.TimePMString, info.TimePMString);
  Take(formats.ShortMonthNames, info.ShortMonthNames);
  Take(formats.LongMonthNames, info.LongMonthNames);
  Take(formats.ShortDayNames, info.ShortDayNames);
  Take(formats.LongDayNames, info.LongDayNames);
  std::string hours = info.TimeLeadingZero ? "hh" : "h";
  std::string clock = info.TwelveHourClock ? " AMPM" : "";
  formats.ShortTimeFormat = hours + ":mm" + clock;
  formats.LongTimeFormat = hours + ":mm:ss" + clock;
  return formats;
}

TLocaleFormats& Current() {
  static TLocaleFormats current = GetLocaleFormats(true, 0, 0);
  return current;
}

}  // namespace

TLocaleFormats GetLocaleFormats(bool useThreadLocale, uint16_t languageId, uint16_t sortId) {
  if (useThreadLocale) {
    std::string user = locale::UserLocale();
    return user.empty() ? FixedFormats() : FormatsOf(locale::GetIcuLocaleInfo(user));
  }
  if (languageId == locale::kNoLanguage) return FixedFormats();
  std::optional<locale::TLocaleInfo> info =
      locale::GetLocaleInfo(locale::MakeLcid(languageId, sortId));
  return info ? FormatsOf(*info) : FixedFormats();
}

const TLocaleFormats& FormatSettings() { return Current(); }

TLocaleFormats SaveFormats() {
  std::lock_guard<std::recursive_mutex> guard(FormatSettingsLock());
  return Current();
}

void RestoreFormats(const TLocaleFormats& formats) {
  std::lock_guard<std::recursive_mutex> guard(FormatSettingsLock());
  Current() = formats;
}

std::recursive_mutex& FormatSettingsLock() {
  static std::recursive_mutex lock;
  return lock;
}

TLocaleFormatsGuard::TLocaleFormatsGuard(uint16_t languageId, uint16_t sortId)
    : FLock(FormatSettingsLock()), FSaved(SaveFormats()) {
  RestoreFormats(GetLocaleFormats(false, languageId, sortId));
}

TLocaleFormatsGuard::~TLocaleFormatsGuard() { RestoreFormats(FSaved); }

}  // namespace tarnel
