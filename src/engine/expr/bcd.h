// The fixed-point form in which expressions compute with BCD values: a 64-bit integer of the
// value × 10,000, and its conversions to and from the stored BCD form (digits at the scale,
// then the scale digit) and Float. Failures raise EConvertError, as the currency layer does.
#pragma once

#include <cstdint>

#include "platform/rtl/currency.h"

namespace tarnel {

__extension__ typedef __int128 TInt128;

using TFixed = TCurrency;
constexpr int64_t kFixedScale = kCurrencyScale;

// The value of a stored BCD value × 10,000; a scale digit above 4 or a value beyond the form
// raise.
TFixed BcdToFixed(int64_t bcd);
// Rounds half away from zero to `scale` decimals (0 to 4), as stored BCD values are.
int64_t FixedToBcd(TFixed fixed, int scale);
double BcdToFloat(int64_t bcd);
// The value × 10,000 rounded to the nearest integer (ties to even), then to `scale` decimals.
int64_t FloatToBcd(double value, int scale);
// numerator ÷ denominator (not 0) rounded to the nearest integer, ties to even; raises when
// the result leaves 64 bits.
TFixed RoundQuotient(TInt128 numerator, TInt128 denominator);

}  // namespace tarnel
