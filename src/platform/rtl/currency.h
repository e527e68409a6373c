// Currency amounts as the class library keeps them (a 64-bit integer of the amount × 10,000) and
// the engine's stored BCD form: the amount at a field's decimals followed by one digit giving
// those decimals (1.5 with 2 decimals is 1502, -1.5 is -1502, 2 with 0 decimals is 20), so that
// the values of one field order like the amounts.
#pragma once

#include <cstdint>

namespace tarnel {

using TCurrency = int64_t;
constexpr int64_t kCurrencyScale = 10000;

// Rounds half away from zero to `decimals` places (0 to 4) and appends the decimals digit; an
// amount too large for the form, or decimals outside 0 to 4, raise EConvertError.
int64_t CurrencyToBcd(TCurrency amount, int decimals);
// A stored value whose last digit is above 4 raises EConvertError.
TCurrency BcdToCurrency(int64_t bcd);

}  // namespace tarnel
