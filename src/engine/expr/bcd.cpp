#include "engine/expr/bcd.h"

#include <cmath>
#include <string>

#include "platform/rtl/exception.h"

namespace tarnel {

namespace {

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000};

[[noreturn]] void RaiseOverflow() { throw EConvertError("BCD overflow"); }

TFixed CheckedFixed(TInt128 value) {
  if (value > INT64_MAX || value < INT64_MIN) RaiseOverflow();
  return static_cast<TFixed>(value);
}

// The scale digit of a stored value.
int ScaleOf(int64_t bcd) {
  int scale = static_cast<int>(bcd < 0 ? -(bcd % 10) : bcd % 10);
  if (scale > 4) throw EConvertError("'" + std::to_string(bcd) + "' is not a valid BCD value");
  return scale;
}

}  // namespace

TFixed BcdToFixed(int64_t bcd) {
  return CheckedFixed(static_cast<TInt128>(bcd / 10) * kPowersOfTen[4 - ScaleOf(bcd)]);
}

int64_t FixedToBcd(TFixed fixed, int scale) { return CurrencyToBcd(fixed, scale); }

double BcdToFloat(int64_t bcd) {
  int scale = ScaleOf(bcd);
  return static_cast<double>(bcd / 10) / static_cast<double>(kPowersOfTen[scale]);
}

int64_t FloatToBcd(double value, int scale) {
  // nearbyint rounds in the default mode, to nearest with ties to even.
  double fixed = std::nearbyint(value * static_cast<double>(kFixedScale));
  if (!(fixed >= -9223372036854775808.0 && fixed < 9223372036854775808.0)) RaiseOverflow();
  return FixedToBcd(static_cast<TFixed>(fixed), scale);
}

TFixed RoundQuotient(TInt128 numerator, TInt128 denominator) {
  TInt128 quotient = numerator / denominator;
  TInt128 rest = numerator % denominator;
  TInt128 twiceRest = rest < 0 ? -2 * rest : 2 * rest;
  TInt128 divisor = denominator < 0 ? -denominator : denominator;
  if (twiceRest > divisor || (twiceRest == divisor && quotient % 2 != 0)) {
    quotient += (numerator < 0) != (denominator < 0) ? -1 : 1;
  }
  return CheckedFixed(quotient);
}

}  // namespace tarnel
