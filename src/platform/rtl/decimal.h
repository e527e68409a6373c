// A number as decimal digits, the common ground of the floating-point and currency conversions:
// read from a double, a currency amount or a text, rounded the class library's way (half away
// from zero), and written in its general, exponent, fixed, number and currency formats or by a
// FormatFloat picture ("#,##0.00;(#,##0.00);Zero", "0.0E+00").
#pragma once

#include <string>
#include <string_view>

#include "platform/rtl/currency.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

enum class TFloatFormat { General, Exponent, Fixed, Number, Currency };

struct TDecimal {
  bool Negative = false;
  bool NotANumber = false;
  bool Infinite = false;
  int Exponent = 0;    // the value is 0.Digits × 10^Exponent
  std::string Digits;  // no leading or trailing zeros; empty for zero

  bool IsZero() const { return Digits.empty() && !NotANumber && !Infinite; }
};

// The double to 17 significant digits, which identify it.
TDecimal DecimalOf(double value);
// The amount exactly.
TDecimal DecimalOfCurrency(TCurrency amount);
// Reads blanks, a sign, digits with `decimalSeparator`, and an exponent (E or e, a sign, digits),
// then blanks; false when the text is anything else.
bool ParseDecimal(std::string_view text, const std::string& decimalSeparator, TDecimal& value);
// The double nearest to the digits; false when it overflows (underflow gives zero).
bool DecimalToDouble(const TDecimal& value, double& result);
// The digits rounded to 4 decimals as an amount; false when out of range.
bool DecimalToCurrency(TDecimal value, TCurrency& result);

// Keeps at most `significant` digits and at most `decimals` digits after the point, rounding
// half away from zero. A value that rounds to zero loses its sign.
void RoundDecimal(TDecimal& value, int significant, int decimals);

// `precision` significant digits (1 to 19); `digits`: decimals for Fixed, Number and Currency
// (0 to 18), the least number of exponent digits for General and Exponent (0 to 4).
std::string FormatDecimal(TDecimal value, TFloatFormat format, int precision, int digits,
                          const TLocaleFormats& formats);
// The FormatFloat picture language; an empty picture is the general format with 15 digits.
std::string FormatDecimalPicture(std::string_view picture, const TDecimal& value,
                                 const TLocaleFormats& formats);

}  // namespace tarnel
