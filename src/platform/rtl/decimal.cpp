#include "platform/rtl/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tarnel {

namespace {

constexpr int kMaxExponent = 99999;

void Normalize(TDecimal& value) {
  size_t first = value.Digits.find_first_not_of('0');
  if (first == std::string::npos) {
    value.Digits.clear();
  } else {
    value.Digits.erase(0, first);
    value.Exponent -= static_cast<int>(first);
    value.Digits.erase(value.Digits.find_last_not_of('0') + 1);
  }
  if (value.Digits.empty()) {
    value.Exponent = 0;
    value.Negative = false;
  }
}

// The digit of the value at a decimal place (0 the units, 1 the tens, -1 the tenths).
char DigitAt(const TDecimal& value, int place) {
  int index = value.Exponent - 1 - place;
  return index >= 0 && index < static_cast<int>(value.Digits.size())
             ? value.Digits[static_cast<size_t>(index)]
             : '0';
}

std::string Padded(int number, int width) {
  std::string text = std::to_string(number);
  return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(text.size()))), '0') +
         text;
}

// The integer digits of a value (at least "0"), with thousands separators when asked.
std::string IntegerPart(const TDecimal& value, const std::string* thousands) {
  std::string text;
  int places = std::max(value.Exponent, 1);
  for (int place = places - 1; place >= 0; --place) {
    text += DigitAt(value, place);
    if (thousands != nullptr && place > 0 && place % 3 == 0) text += *thousands;
  }
  return text;
}

std::string FractionPart(const TDecimal& value, int count) {
  std::string text;
  for (int place = -1; place >= -count; --place) text += DigitAt(value, place);
  return text;
}

int FractionDigits(const TDecimal& value) {
  return std::max(0, static_cast<int>(value.Digits.size()) - value.Exponent);
}

// d.dddE-x as the general format writes it: no trailing zeros, the sign only when negative.
std::string GeneralScientific(const TDecimal& value, int exponentDigits,
                              const TLocaleFormats& formats) {
  std::string text(1, value.Digits[0]);
  if (value.Digits.size() > 1) text += formats.DecimalSeparator + value.Digits.substr(1);
  int exponent = value.Exponent - 1;
  text += exponent < 0 ? "E-" : "E";
  return text + Padded(std::abs(exponent), exponentDigits);
}

std::string General(TDecimal value, int precision, int digits, const TLocaleFormats& formats) {
  RoundDecimal(value, precision, 9999);
  if (value.IsZero()) return "0";
  if (value.Exponent > precision || value.Exponent < -4) {
    return GeneralScientific(value, std::min(digits, 4), formats);
  }
  std::string text = IntegerPart(value, nullptr);
  int fraction = FractionDigits(value);
  if (fraction > 0) text += formats.DecimalSeparator + FractionPart(value, fraction);
  return text;
}

std::string Exponential(TDecimal value, int precision, int digits, const TLocaleFormats& formats) {
  RoundDecimal(value, precision, 9999);
  std::string mantissa = value.Digits;
  mantissa.resize(static_cast<size_t>(precision), '0');
  std::string text(1, mantissa[0]);
  if (precision > 1) text += formats.DecimalSeparator + mantissa.substr(1);
  int exponent = value.IsZero() ? 0 : value.Exponent - 1;
  text += exponent < 0 ? "E-" : "E+";
  return text + Padded(std::abs(exponent), std::min(digits, 4));
}

// The amount in the currency format: the number, then the currency string placed by the
// Windows codes of the settings.
std::string Currency(const std::string& number, bool negative, const TLocaleFormats& formats) {
  static const char* const kPositive[] = {"$n", "n$", "$ n", "n $"};
  static const char* const kNegative[] = {"($n)", "-$n",  "$-n",   "$n-",  "(n$)", "-n$",
                                          "n-$",  "n$-",  "-n $",  "-$ n", "n $-", "$ n-",
                                          "$ -n", "n- $", "($ n)", "(n $)"};
  const char* shape =
      negative ? kNegative[formats.NegCurrFormat % 16] : kPositive[formats.CurrencyFormat % 4];
  std::string text;
  for (const char* c = shape; *c != 0; ++c) {
    if (*c == '$') {
      text += formats.CurrencyString;
    } else if (*c == 'n') {
      text += number;
    } else {
      text += *c;
    }
  }
  return text;
}

// One section of a FormatFloat picture and what its placeholders ask for.
struct TSection {
  std::string_view Text;
  int IntPlaceholders = 0;
  int FracPlaceholders = 0;
  int MinInt = 0;   // integer digits always written: from the first '0' before the point
  int MinFrac = 0;  // decimals always written: up to the last '0' after the point
  bool Thousands = false;
  bool Scientific = false;
};

bool IsQuote(char c) { return c == '\'' || c == '"'; }

// The position after a quoted literal that starts at `i`.
size_t SkipQuoted(std::string_view text, size_t i) {
  size_t close = text.find(text[i], i + 1);
  return close == std::string_view::npos ? text.size() : close + 1;
}

bool IsExponentAt(std::string_view text, size_t i) {
  return (text[i] == 'E' || text[i] == 'e') && i + 1 < text.size() &&
         (text[i + 1] == '+' || text[i + 1] == '-');
}

std::vector<std::string_view> SplitSections(std::string_view picture) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  for (size_t i = 0; i < picture.size();) {
    if (IsQuote(picture[i])) {
      i = SkipQuoted(picture, i);
    } else if (picture[i] == ';' && sections.size() < 2) {
      sections.push_back(picture.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  sections.push_back(picture.substr(start));
  return sections;
}

TSection ParseSection(std::string_view text) {
  TSection section;
  section.Text = text;
  bool afterPoint = false;
  int firstZero = -1;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (IsQuote(c)) {
      i = SkipQuoted(text, i);
      continue;
    }
    if (IsExponentAt(text, i)) {
      section.Scientific = true;
      i += 2;
      while (i < text.size() && text[i] == '0') ++i;
      continue;
    }
    if (c == '0' || c == '#') {
      if (afterPoint) {
        ++section.FracPlaceholders;
        if (c == '0') section.MinFrac = section.FracPlaceholders;
      } else {
        if (c == '0' && firstZero < 0) firstZero = section.IntPlaceholders;
        ++section.IntPlaceholders;
      }
    } else if (c == '.') {
      afterPoint = true;
    } else if (c == ',') {
      section.Thousands = true;
    }
    ++i;
  }
  if (firstZero >= 0) section.MinInt = section.IntPlaceholders - firstZero;
  return section;
}

// Writes a rounded value through a section; the digits take the placeholders' places.
std::string WriteSection(const TSection& section, TDecimal value, bool withSign,
                         const TLocaleFormats& formats) {
  int exponent = 0;
  int intDigits;
  if (section.Scientific) {
    if (!value.IsZero()) {
      exponent = value.Exponent - section.IntPlaceholders;
      value.Exponent = section.IntPlaceholders;
    }
    intDigits = value.IsZero() ? section.MinInt : section.IntPlaceholders;
  } else {
    intDigits = std::max(std::max(value.Exponent, 0), section.MinInt);
  }
  int fracDigits =
      std::min(section.FracPlaceholders, std::max(section.MinFrac, FractionDigits(value)));
  const std::string* thousands = section.Thousands ? &formats.ThousandSeparator : nullptr;
  std::string text = withSign && value.Negative ? "-" : "";
  auto writeDigit = [&](int place) {
    text += DigitAt(value, place);
    if (thousands != nullptr && place > 0 && place % 3 == 0) text += *thousands;
  };
  // Integer digits beyond the placeholders go before the first one (or before the point when
  // the section has no integer placeholders).
  auto writeLeading = [&] {
    for (int place = intDigits - 1; place >= section.IntPlaceholders; --place) writeDigit(place);
  };
  std::string_view picture = section.Text;
  int intSeen = 0;
  int fracSeen = 0;
  bool afterPoint = false;
  for (size_t i = 0; i < picture.size();) {
    char c = picture[i];
    if (IsQuote(c)) {
      size_t close = picture.find(c, i + 1);
      size_t end = close == std::string_view::npos ? picture.size() : close;
      text += picture.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (section.Scientific && IsExponentAt(picture, i)) {
      text += c;
      if (exponent < 0) {
        text += '-';
      } else if (picture[i + 1] == '+') {
        text += '+';
      }
      i += 2;
      int width = 0;
      for (; i < picture.size() && picture[i] == '0'; ++i) ++width;
      text += Padded(std::abs(exponent), std::min(width, 4));
      continue;
    }
    if ((c == '0' || c == '#') && !afterPoint) {
      if (intSeen == 0) writeLeading();
      int place = section.IntPlaceholders - 1 - intSeen++;
      if (place < intDigits) writeDigit(place);
    } else if (c == '0' || c == '#') {
      if (fracSeen < fracDigits) text += DigitAt(value, -1 - fracSeen);
      ++fracSeen;
    } else if (c == '.' && !afterPoint) {
      afterPoint = true;
      if (section.IntPlaceholders == 0) writeLeading();
      if (fracDigits > 0) text += formats.DecimalSeparator;
    } else if (c != ',') {
      text += c;
    }
    ++i;
  }
  return text;
}

}  // namespace

TDecimal DecimalOf(double value) {
  TDecimal decimal;
  decimal.Negative = std::signbit(value);
  if (std::isnan(value)) {
    decimal.NotANumber = true;
    decimal.Negative = false;
    return decimal;
  }
  if (std::isinf(value)) {
    decimal.Infinite = true;
    return decimal;
  }
  char text[40];
  auto written =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 16);
  std::string_view scientific(text, static_cast<size_t>(written.ptr - text));
  size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  decimal.Digits = std::string(1, scientific[0]) + std::string(scientific.substr(2, e - 2));
  decimal.Exponent = exponent + 1;
  Normalize(decimal);
  return decimal;
}

TDecimal DecimalOfCurrency(TCurrency amount) {
  TDecimal decimal;
  decimal.Negative = amount < 0;
  uint64_t magnitude =
      amount < 0 ? 0 - static_cast<uint64_t>(amount) : static_cast<uint64_t>(amount);
  decimal.Digits = std::to_string(magnitude);
  decimal.Exponent = static_cast<int>(decimal.Digits.size()) - 4;
  Normalize(decimal);
  return decimal;
}

bool ParseDecimal(std::string_view text, const std::string& decimalSeparator, TDecimal& value) {
  value = TDecimal();
  size_t i = 0;
  auto blanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  auto digits = [&](std::string& into) {
    size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    into.append(text.substr(start, i - start));
    return i - start;
  };
  blanks();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) value.Negative = text[i++] == '-';
  size_t count = digits(value.Digits);
  value.Exponent = static_cast<int>(std::min<size_t>(count, kMaxExponent));
  if (!decimalSeparator.empty() && text.substr(i, decimalSeparator.size()) == decimalSeparator) {
    i += decimalSeparator.size();
    count += digits(value.Digits);
  }
  if (count == 0) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::string exponentDigits;
    if (digits(exponentDigits) == 0) return false;
    int exponent = 0;
    for (char c : exponentDigits) exponent = std::min(exponent * 10 + (c - '0'), kMaxExponent);
    value.Exponent += negative ? -exponent : exponent;
  }
  blanks();
  if (i != text.size()) return false;
  Normalize(value);
  return true;
}

bool DecimalToDouble(const TDecimal& value, double& result) {
  if (value.IsZero()) {
    result = 0.0;
    return true;
  }
  std::string text = "0." + value.Digits + "e" + std::to_string(value.Exponent);
  auto parsed = std::from_chars(text.data(), text.data() + text.size(), result);
  if (parsed.ec == std::errc::result_out_of_range) {
    if (value.Exponent > 0) return false;
    result = 0.0;
  }
  if (value.Negative) result = -result;
  return true;
}

bool DecimalToCurrency(TDecimal value, TCurrency& result) {
  RoundDecimal(value, 9999, 4);
  if (value.Exponent > 15) return false;
  uint64_t magnitude = 0;
  for (int place = value.Exponent - 1; place >= -4; --place) {
    magnitude = magnitude * 10 + static_cast<uint64_t>(DigitAt(value, place) - '0');
  }
  uint64_t limit = value.Negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  result =
      value.Negative ? static_cast<TCurrency>(0 - magnitude) : static_cast<TCurrency>(magnitude);
  return true;
}

void RoundDecimal(TDecimal& value, int significant, int decimals) {
  if (value.Digits.empty()) return;
  int keep = std::min(significant, value.Exponent + std::min(decimals, kMaxExponent));
  if (keep >= static_cast<int>(value.Digits.size())) return;
  if (keep < 0) {
    value.Digits.clear();
  } else {
    bool up = value.Digits[static_cast<size_t>(keep)] >= '5';
    value.Digits.resize(static_cast<size_t>(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && value.Digits[static_cast<size_t>(i)] == '9')
        value.Digits[static_cast<size_t>(i--)] = '0';
      if (i >= 0) {
        ++value.Digits[static_cast<size_t>(i)];
      } else {
        value.Digits.insert(value.Digits.begin(), '1');
        ++value.Exponent;
      }
    }
  }
  Normalize(value);
}

std::string FormatDecimal(TDecimal value, TFloatFormat format, int precision, int digits,
                          const TLocaleFormats& formats) {
  if (value.NotANumber) return "NAN";
  if (value.Infinite) return value.Negative ? "-INF" : "INF";
  precision = std::clamp(precision, 1, 19);
  digits = std::clamp(digits, 0, 18);
  std::string sign = value.Negative ? "-" : "";
  switch (format) {
    case TFloatFormat::General: {
      std::string text = General(value, precision, digits, formats);
      return text == "0" ? text : sign + text;
    }
    case TFloatFormat::Exponent: {
      RoundDecimal(value, precision, 9999);
      return (value.IsZero() ? "" : sign) + Exponential(value, precision, digits, formats);
    }
    default:
      break;
  }
  RoundDecimal(value, precision, digits);
  if (value.Exponent > precision) return sign + GeneralScientific(value, 0, formats);
  std::string number =
      IntegerPart(value, format == TFloatFormat::Fixed ? nullptr : &formats.ThousandSeparator);
  if (digits > 0) number += formats.DecimalSeparator + FractionPart(value, digits);
  if (format == TFloatFormat::Currency) return Currency(number, value.Negative, formats);
  return (value.Negative ? "-" : "") + number;
}

std::string FormatDecimalPicture(std::string_view picture, const TDecimal& value,
                                 const TLocaleFormats& formats) {
  if (picture.empty() || value.NotANumber || value.Infinite) {
    return FormatDecimal(value, TFloatFormat::General, 15, 0, formats);
  }
  std::vector<std::string_view> sections = SplitSections(picture);
  auto usable = [&](size_t index) { return index < sections.size() && !sections[index].empty(); };
  // The zero section serves a value that is zero, or becomes zero once rounded; only the first
  // section writes a minus sign of its own.
  struct TChoice {
    size_t Index;
    TSection Section;
    TDecimal Rounded;
  };
  auto choose = [&](bool zero) {
    TChoice choice{0, TSection(), zero ? TDecimal() : value};
    if (zero && usable(2)) choice.Index = 2;
    if (!zero && value.Negative && usable(1)) choice.Index = 1;
    choice.Section = ParseSection(sections[choice.Index]);
    if (choice.Section.Scientific) {
      int digits = choice.Section.IntPlaceholders + choice.Section.FracPlaceholders;
      RoundDecimal(choice.Rounded, std::max(digits, 1), 9999);
    } else {
      RoundDecimal(choice.Rounded, 18, choice.Section.FracPlaceholders);
    }
    return choice;
  };
  TChoice choice = choose(value.IsZero());
  if (choice.Rounded.IsZero() && !value.IsZero()) choice = choose(true);
  if (!choice.Section.Scientific && choice.Rounded.Exponent > 18) {
    return FormatDecimal(value, TFloatFormat::General, 15, 0, formats);
  }
  return WriteSection(choice.Section, choice.Rounded, choice.Index == 0, formats);
}

}  // namespace tarnel
