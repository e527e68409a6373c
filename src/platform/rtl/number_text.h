// Integers, floating-point values, currency amounts and Booleans as text, the class library's
// way, under the current format settings or given ones. Failed conversions raise EConvertError
// with the class library's messages ("'x' is not a valid integer value").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/currency.h"
#include "platform/rtl/decimal.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

// Leading blanks, a sign, then decimal digits or hexadecimal ones after "$" or "0x"; nothing
// after them.
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);
bool TryStrToInt(std::string_view text, int32_t& value);
bool TryStrToInt64(std::string_view text, int64_t& value);
std::string IntToStr(int64_t value);

// Blanks around, a sign, digits with the decimal separator, an exponent (E or e); no thousands
// separators. Too large a value does not convert; too small a one is 0.
double StrToFloat(std::string_view text, const TLocaleFormats& formats = FormatSettings());
bool TryStrToFloat(std::string_view text, double& value,
                   const TLocaleFormats& formats = FormatSettings());
// The general format with 15 significant digits.
std::string FloatToStr(double value, const TLocaleFormats& formats = FormatSettings());
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TLocaleFormats& formats = FormatSettings());
// Sections for positive, negative and zero values separated by ";"; "0" a digit always
// written, "#" a digit written when significant, "." the decimal separator, "," anywhere asks
// for thousands separators, "E+" / "E-" with "0"s an exponent, quoted text as it is.
std::string FormatFloat(std::string_view picture, double value,
                        const TLocaleFormats& formats = FormatSettings());

// As floating-point text, rounded half away from zero to 4 decimals; amounts beyond the
// currency range do not convert ("'x' is not a valid floating point value").
TCurrency StrToCurr(std::string_view text, const TLocaleFormats& formats = FormatSettings());
bool TryStrToCurr(std::string_view text, TCurrency& value,
                  const TLocaleFormats& formats = FormatSettings());
// The general format with every decimal the amount has.
std::string CurrToStr(TCurrency value, const TLocaleFormats& formats = FormatSettings());
std::string CurrToStrF(TCurrency value, TFloatFormat format, int digits,
                       const TLocaleFormats& formats = FormatSettings());
std::string FormatCurr(std::string_view picture, TCurrency value,
                       const TLocaleFormats& formats = FormatSettings());

// "TRUE" or "FALSE" in any case ("'x' is not a valid boolean value").
bool StrToBool(std::string_view text);
bool TryStrToBool(std::string_view text, bool& value);

}  // namespace tarnel
