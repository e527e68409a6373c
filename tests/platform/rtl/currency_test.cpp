#include "platform/rtl/currency.h"

#include <gtest/gtest.h>

#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

TEST(CurrencyTest, EncodesTheStoredBcdForm) {
  struct TCase {
    TCurrency Amount;
    int Decimals;
    int64_t Bcd;
    TCurrency Back;  // the amount rounded to the decimals
  };
  const TCase cases[] = {
      {15000, 2, 1502, 15000},
      {-15000, 2, -1502, -15000},
      {20000, 0, 20, 20000},
      {123400, 2, 12342, 123400},
      {-15000, 1, -151, -15000},
      {70000, 0, 70, 70000},
      {12345, 2, 1232, 12300},
      {12350, 2, 1242, 12400},
      {-12350, 2, -1242, -12400},
      {12345, 4, 123454, 12345},
      {0, 2, 2, 0},
      {-40, 2, 2, 0},
      {5000, 0, 10, 10000},
      {-5000, 0, -10, -10000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Amount);
    EXPECT_EQ(CurrencyToBcd(c.Amount, c.Decimals), c.Bcd);
    EXPECT_EQ(BcdToCurrency(c.Bcd), c.Back);
  }
  // The values of one field order like the amounts.
  EXPECT_LT(CurrencyToBcd(-15000, 2), CurrencyToBcd(0, 2));
  EXPECT_LT(CurrencyToBcd(0, 2), CurrencyToBcd(100, 2));
}

TEST(CurrencyTest, RefusesWhatTheFormCannotHold) {
  EXPECT_THROW(CurrencyToBcd(INT64_MAX, 4), EConvertError);
  EXPECT_THROW(CurrencyToBcd(INT64_MIN, 3), EConvertError);
  EXPECT_EQ(CurrencyToBcd(INT64_MIN, 2), -922337203685477582);
  EXPECT_THROW(CurrencyToBcd(1, 5), EConvertError);
  EXPECT_THROW(CurrencyToBcd(1, -1), EConvertError);
  EXPECT_THROW(BcdToCurrency(15), EConvertError);
  EXPECT_THROW(BcdToCurrency(-19), EConvertError);
}

}  // namespace
}  // namespace tarnel
