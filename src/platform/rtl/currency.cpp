#include "platform/rtl/currency.h"

#include <cstdint>
#include <string>

#include "platform/rtl/exception.h"

namespace tarnel {

namespace {

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000};

}  // namespace

int64_t CurrencyToBcd(TCurrency amount, int decimals) {
  if (decimals < 0 || decimals > 4) {
    throw EConvertError("Invalid BCD scale " + std::to_string(decimals));
  }
  int64_t divisor = kPowersOfTen[4 - decimals];
  int64_t digits = amount / divisor;
  int64_t rest = amount % divisor;
  if (2 * (rest < 0 ? -rest : rest) >= divisor) digits += amount < 0 ? -1 : 1;
  constexpr int64_t kLimit = INT64_MAX / 10 - 1;
  if (digits > kLimit || digits < -kLimit) throw EConvertError("BCD overflow");
  return digits * 10 + (digits < 0 ? -decimals : decimals);
}

TCurrency BcdToCurrency(int64_t bcd) {
  int scale = static_cast<int>(bcd < 0 ? -(bcd % 10) : bcd % 10);
  if (scale > 4) throw EConvertError("'" + std::to_string(bcd) + "' is not a valid BCD value");
  return bcd / 10 * kPowersOfTen[4 - scale];
}

}  // namespace tarnel
