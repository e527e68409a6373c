#include "platform/locale/locale_info.h"

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/dtfmtsym.h>
#include <unicode/smpdtfmt.h>
#include <unicode/ucurr.h>

#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/locale/installed_locale.h"

namespace tarnel::locale {

namespace {

using icu::UnicodeString;

std::string Utf8(const UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

bool IsBidiMark(char16_t c) { return c == 0x200E || c == 0x200F || c == 0x061C; }
bool IsBlank(char16_t c) { return c == ' ' || c == 0x00A0 || c == 0x202F; }
bool IsPatternLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

UnicodeString Trimmed(const UnicodeString& text) {
  int32_t first = 0;
  int32_t last = text.length();
  while (first < last && (IsBlank(text[first]) || IsBidiMark(text[first]))) ++first;
  while (last > first && (IsBlank(text[last - 1]) || IsBidiMark(text[last - 1]))) --last;
  return UnicodeString(text, first, last - first);
}

// One piece of an ICU date pattern: a run of one pattern letter, or literal text.
struct TPatternPiece {
  char16_t Letter;  // 0 for literal text
  int Count;
  UnicodeString Literal;
};

std::vector<TPatternPiece> SplitPattern(const UnicodeString& pattern) {
  std::vector<TPatternPiece> pieces;
  auto literal = [&](char16_t c) {
    if (pieces.empty() || pieces.back().Letter != 0) pieces.push_back({0, 0, UnicodeString()});
    pieces.back().Literal.append(c);
  };
  bool quoted = false;
  for (int32_t i = 0; i < pattern.length(); ++i) {
    char16_t c = pattern[i];
    if (c == '\'') {
      if (i + 1 < pattern.length() && pattern[i + 1] == '\'') {
        literal(c);
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (!quoted && IsPatternLetter(c)) {
      if (!pieces.empty() && pieces.back().Letter == c) {
        ++pieces.back().Count;
      } else {
        pieces.push_back({c, 1, UnicodeString()});
      }
    } else if (!IsBidiMark(c)) {
      literal(c);
    }
  }
  return pieces;
}

std::string Repeat(char c, int count) { return std::string(static_cast<size_t>(count), c); }

// Literal text for a picture: letters and double quotes, which the class library would read as
// fields or quotes, go in single quotes.
std::string QuotedLetters(const UnicodeString& literal) {
  std::string text;
  bool quoted = false;
  for (int32_t i = 0; i < literal.length(); ++i) {
    char16_t c = literal[i];
    bool special = IsPatternLetter(c) || c == '"';
    if (special != quoted) {
      text += '\'';
      quoted = special;
    }
    text += Utf8(UnicodeString(c));
  }
  if (quoted) text += '\'';
  return text;
}

// The class library's picture for one ICU field; empty for fields it does not write (eras,
// numeric days of the week and anything outside a date).
std::string DateField(char16_t letter, int count, bool fourDigitYears) {
  switch (letter) {
    case 'y':
    case 'u':
    case 'Y':
      return count == 2 && !fourDigitYears ? "yy" : "yyyy";
    case 'M':
    case 'L':
      return count >= 4 ? "MMMM" : Repeat('M', count == 5 ? 3 : count);
    case 'd':
      return Repeat('d', count > 2 ? 2 : count);
    case 'E':
      return count == 4 ? "dddd" : "ddd";
    case 'c':
    case 'e':
      return count < 3 ? "" : count == 4 ? "dddd" : "ddd";
    default:
      return "";
  }
}

// An ICU date pattern as a class library picture: fields translated, quoted text kept in single
// quotes, eras and their blanks left out.
std::string DatePicture(const UnicodeString& pattern, bool fourDigitYears) {
  std::string picture;
  for (const TPatternPiece& piece : SplitPattern(pattern)) {
    if (piece.Letter == 0) {
      picture += QuotedLetters(piece.Literal);
    } else {
      std::string field = DateField(piece.Letter, piece.Count, fourDigitYears);
      if (field.empty()) {
        while (!picture.empty() && picture.back() == ' ') picture.pop_back();
      }
      picture += field;
    }
  }
  size_t first = picture.find_first_not_of(' ');
  size_t last = picture.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : picture.substr(first, last - first + 1);
}

// The literal between a field of `firstLetters` and a following field of `nextLetters`, without
// blanks: "." of "dd.MM.yy", ":" of "HH:mm".
std::string SeparatorBetween(const UnicodeString& pattern, std::u16string_view firstLetters,
                             std::u16string_view nextLetters) {
  std::vector<TPatternPiece> pieces = SplitPattern(pattern);
  for (size_t i = 0; i + 2 < pieces.size(); ++i) {
    if (pieces[i].Letter != 0 && firstLetters.find(pieces[i].Letter) != firstLetters.npos &&
        pieces[i + 1].Letter == 0 && pieces[i + 2].Letter != 0 &&
        nextLetters.find(pieces[i + 2].Letter) != nextLetters.npos) {
      return Utf8(Trimmed(pieces[i + 1].Literal));
    }
  }
  return "";
}

// A number pattern reduced to its shape: "$" for the currency sign, "n" for the number, "-",
// "(", ")" and " " for blanks between them ("-$ n", "n $").
std::string Shape(const UnicodeString& pattern) {
  std::string shape;
  auto put = [&](char c) {
    if (shape.empty() ? c != ' ' : shape.back() != c) shape += c;
  };
  for (int32_t i = 0; i < pattern.length(); ++i) {
    char16_t c = pattern[i];
    if (c == 0x00A4) {
      put('$');
    } else if (c == '#' || c == '0' || c == ',' || c == '.') {
      put('n');
    } else if (c == '-' || c == '(' || c == ')') {
      put(static_cast<char>(c));
    } else if (IsBlank(c)) {
      put(' ');
    }
  }
  while (!shape.empty() && shape.back() == ' ') shape.pop_back();
  return shape;
}

int IndexOf(const std::string& shape, std::initializer_list<const char*> shapes) {
  int index = 0;
  for (const char* known : shapes) {
    if (shape == known) return index;
    ++index;
  }
  return -1;
}

// The Windows placement codes of a currency pattern ("¤#,##0.00", "#,##0.00 ¤;-#,##0.00 ¤").
void ReadCurrencyPattern(const UnicodeString& pattern, TLocaleInfo& info) {
  int32_t split = pattern.indexOf(u';');
  UnicodeString positive = split < 0 ? pattern : UnicodeString(pattern, 0, split);
  std::string positiveShape = Shape(positive);
  info.CurrencyFormat = IndexOf(positiveShape, {"$n", "n$", "$ n", "n $"});
  std::string negativeShape =
      split < 0 ? "-" + positiveShape : Shape(UnicodeString(pattern, split + 1));
  info.NegCurrFormat =
      IndexOf(negativeShape, {"($n)", "-$n", "$-n", "$n-", "(n$)", "-n$", "n-$", "n$-", "-n $",
                              "-$ n", "n $-", "$ n-", "$ -n", "n- $", "($ n)", "(n $)"});
}

// The pattern of ICU's date format (or time format, with a date style of kNone).
UnicodeString DatePattern(const icu::Locale& locale, icu::DateFormat::EStyle dateStyle,
                          icu::DateFormat::EStyle timeStyle) {
  std::unique_ptr<icu::DateFormat> format(
      dateStyle == icu::DateFormat::kNone ? icu::DateFormat::createTimeInstance(timeStyle, locale)
                                          : icu::DateFormat::createDateInstance(dateStyle, locale));
  UnicodeString pattern;
  if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get())) simple->toPattern(pattern);
  return pattern;
}

template <size_t N>
void CopyNames(const UnicodeString* names, int32_t count, int32_t first,
               std::array<std::string, N>& target) {
  for (size_t i = 0; i < N; ++i) {
    auto index = static_cast<int32_t>(i) + first;
    if (names != nullptr && index < count) target[i] = Utf8(names[index]);
  }
}

void ReadDatesAndTimes(const icu::Locale& locale, TLocaleInfo& info) {
  UnicodeString shortDate = DatePattern(locale, icu::DateFormat::kShort, icu::DateFormat::kNone);
  info.ShortDateFormat = DatePicture(shortDate, true);
  info.LongDateFormat =
      DatePicture(DatePattern(locale, icu::DateFormat::kFull, icu::DateFormat::kNone), false);
  info.DateSeparator = SeparatorBetween(shortDate, u"yMLd", u"yMLd");
  UnicodeString shortTime = DatePattern(locale, icu::DateFormat::kNone, icu::DateFormat::kShort);
  info.TimeSeparator = SeparatorBetween(shortTime, u"hHkK", u"m");
  for (const TPatternPiece& piece : SplitPattern(shortTime)) {
    if (piece.Letter == 'h' || piece.Letter == 'H' || piece.Letter == 'k' || piece.Letter == 'K') {
      info.TimeLeadingZero = piece.Count >= 2;
      info.TwelveHourClock = piece.Letter == 'h' || piece.Letter == 'K';
      break;
    }
  }

  UErrorCode status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(locale, status);
  if (U_FAILURE(status)) return;
  int32_t count = 0;
  const UnicodeString* amPm = symbols.getAmPmStrings(count);
  if (count >= 2) {
    info.TimeAMString = Utf8(amPm[0]);
    info.TimePMString = Utf8(amPm[1]);
  }
  using icu::DateFormatSymbols;
  const UnicodeString* names =
      symbols.getMonths(count, DateFormatSymbols::FORMAT, DateFormatSymbols::ABBREVIATED);
  CopyNames(names, count, 0, info.ShortMonthNames);
  names = symbols.getMonths(count, DateFormatSymbols::FORMAT, DateFormatSymbols::WIDE);
  CopyNames(names, count, 0, info.LongMonthNames);
  // Day names are indexed from 1 (Sunday).
  names = symbols.getWeekdays(count, DateFormatSymbols::FORMAT, DateFormatSymbols::ABBREVIATED);
  CopyNames(names, count, 1, info.ShortDayNames);
  names = symbols.getWeekdays(count, DateFormatSymbols::FORMAT, DateFormatSymbols::WIDE);
  CopyNames(names, count, 1, info.LongDayNames);
}

void ReadNumbers(const icu::Locale& locale, TLocaleInfo& info) {
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(locale, status);
  if (U_SUCCESS(status)) {
    info.DecimalSeparator =
        Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol));
    info.ThousandSeparator =
        Utf8(symbols.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol));
  }
  status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> currency(
      icu::NumberFormat::createCurrencyInstance(locale, status));
  auto* decimal = dynamic_cast<icu::DecimalFormat*>(currency.get());
  if (U_FAILURE(status) || decimal == nullptr) return;
  // A region without a currency of its own (the Caribbean) gives the unknown currency "XXX".
  const char16_t* code = decimal->getCurrency();
  if (code == nullptr || code[0] == 0 || std::u16string_view(code) == u"XXX") return;
  UnicodeString pattern;
  decimal->toPattern(pattern);
  ReadCurrencyPattern(pattern, info);
  info.CurrencyString = Utf8(
      decimal->getDecimalFormatSymbols()->getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
  status = U_ZERO_ERROR;
  int32_t digits = ucurr_getDefaultFractionDigits(code, &status);
  if (U_SUCCESS(status)) info.CurrencyDecimals = digits;
}

}  // namespace

std::optional<TLocaleInfo> GetLocaleInfo(uint32_t lcid) {
  const TInstalledLocale* locale = TInstalledLocale::Find(lcid);
  if (locale == nullptr) return std::nullopt;
  return GetIcuLocaleInfo(locale->Language().IcuLocale);
}

TLocaleInfo GetIcuLocaleInfo(const std::string& icuLocale) {
  icu::Locale locale(icuLocale.c_str());
  UErrorCode status = U_ZERO_ERROR;
  locale.setKeywordValue("calendar", "gregorian", status);
  locale.setKeywordValue("numbers", "latn", status);
  TLocaleInfo info;
  ReadDatesAndTimes(locale, info);
  ReadNumbers(locale, info);
  return info;
}

}  // namespace tarnel::locale
