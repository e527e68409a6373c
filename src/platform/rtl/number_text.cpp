#include "platform/rtl/number_text.h"

#include "platform/rtl/exception.h"

namespace tarnel {

namespace {

bool EqualsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != word[i]) return false;
  }
  return true;
}

// An integer of at most `bits` bits; hexadecimal digits may fill all of them (so "$FFFFFFFF" is
// -1 as a 32-bit integer).
bool ParseInteger(std::string_view text, int bits, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  uint64_t limit = base == 16 ? (bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1)
                              : (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) return false;
    if (magnitude > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) {
      return false;
    }
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  if (base == 16 && bits == 32) magnitude = static_cast<uint64_t>(static_cast<int32_t>(magnitude));
  uint64_t signedMagnitude = negative ? 0 - magnitude : magnitude;
  value = static_cast<int64_t>(signedMagnitude);
  return true;
}

}  // namespace

bool TryStrToInt(std::string_view text, int32_t& value) {
  int64_t wide;
  if (!ParseInteger(text, 32, wide)) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool TryStrToInt64(std::string_view text, int64_t& value) { return ParseInteger(text, 64, value); }

int32_t StrToInt(std::string_view text) {
  return ConvertOrRaise<int32_t>(text, "integer value",
                                 [&](int32_t& value) { return TryStrToInt(text, value); });
}

int64_t StrToInt64(std::string_view text) {
  return ConvertOrRaise<int64_t>(text, "integer value",
                                 [&](int64_t& value) { return TryStrToInt64(text, value); });
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToFloat(std::string_view text, double& value, const TLocaleFormats& formats) {
  TDecimal decimal;
  return ParseDecimal(text, formats.DecimalSeparator, decimal) && DecimalToDouble(decimal, value);
}

double StrToFloat(std::string_view text, const TLocaleFormats& formats) {
  return ConvertOrRaise<double>(text, "floating point value",
                                [&](double& value) { return TryStrToFloat(text, value, formats); });
}

std::string FloatToStr(double value, const TLocaleFormats& formats) {
  return FloatToStrF(value, TFloatFormat::General, 15, 0, formats);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TLocaleFormats& formats) {
  return FormatDecimal(DecimalOf(value), format, precision, digits, formats);
}

std::string FormatFloat(std::string_view picture, double value, const TLocaleFormats& formats) {
  return FormatDecimalPicture(picture, DecimalOf(value), formats);
}

bool TryStrToCurr(std::string_view text, TCurrency& value, const TLocaleFormats& formats) {
  TDecimal decimal;
  return ParseDecimal(text, formats.DecimalSeparator, decimal) && DecimalToCurrency(decimal, value);
}

TCurrency StrToCurr(std::string_view text, const TLocaleFormats& formats) {
  return ConvertOrRaise<TCurrency>(text, "floating point value", [&](TCurrency& value) {
    return TryStrToCurr(text, value, formats);
  });
}

std::string CurrToStr(TCurrency value, const TLocaleFormats& formats) {
  return CurrToStrF(value, TFloatFormat::General, 0, formats);
}

// An amount has at most 19 significant digits, so it is written exactly.
std::string CurrToStrF(TCurrency value, TFloatFormat format, int digits,
                       const TLocaleFormats& formats) {
  return FormatDecimal(DecimalOfCurrency(value), format, 19, digits, formats);
}

std::string FormatCurr(std::string_view picture, TCurrency value, const TLocaleFormats& formats) {
  return FormatDecimalPicture(picture, DecimalOfCurrency(value), formats);
}

bool TryStrToBool(std::string_view text, bool& value) {
  if (EqualsIgnoringCase(text, "TRUE")) {
    value = true;
  } else if (EqualsIgnoringCase(text, "FALSE")) {
    value = false;
  } else {
    return false;
  }
  return true;
}

bool StrToBool(std::string_view text) {
  return ConvertOrRaise<bool>(text, "boolean value",
                              [&](bool& value) { return TryStrToBool(text, value); });
}

}  // namespace tarnel
