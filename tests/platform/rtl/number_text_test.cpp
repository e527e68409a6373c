#include "platform/rtl/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/exception.h"

namespace tarnel {
namespace {

const TLocaleFormats& English() {
  static const TLocaleFormats formats = GetLocaleFormats(false, 0, 0);
  return formats;
}

const TLocaleFormats& German() {
  static const TLocaleFormats formats = GetLocaleFormats(false, 0x0407, 0);
  return formats;
}

template <typename Convert>
std::string MessageOf(Convert convert) {
  try {
    convert();
  } catch (const EConvertError& error) {
    return error.Message();
  }
  return "no error";
}

TEST(NumberTextTest, ReadsIntegers) {
  struct TCase {
    const char* Text;
    bool Valid;
    int32_t Value;
  };
  const TCase cases[] = {
      {"0", true, 0},
      {"123", true, 123},
      {"-123", true, -123},
      {"+5", true, 5},
      {"  42", true, 42},
      {"$FF", true, 255},
      {"0x1f", true, 31},
      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"$100000000", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"12 ", false, 0},
      {"1.5", false, 0},
      {"1e3", false, 0},
      {"$", false, 0},
      {"--1", false, 0},
  };
  for (const TCase& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(TryStrToInt(c.Text, value), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(value, c.Value) << c.Text;
    }
  }
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  int64_t wide;
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", wide));
  EXPECT_EQ(MessageOf([] { StrToInt("abc"); }), "'abc' is not a valid integer value");
  EXPECT_EQ(IntToStr(-42), "-42");
}

TEST(NumberTextTest, ReadsFloatingPointValues) {
  struct TCase {
    const TLocaleFormats* Formats;
    const char* Text;
    bool Valid;
    double Value;
  };
  const TCase cases[] = {
      {&English(), "1.5", true, 1.5},   {&English(), " -2.5e3 ", true, -2500},
      {&English(), ".5", true, 0.5},    {&English(), "5.", true, 5},
      {&English(), "+1E+2", true, 100}, {&English(), "0.1", true, 0.1},
      {&English(), "1e-400", true, 0},  {&English(), "1e400", false, 0},
      {&English(), "1,000", false, 0},  {&English(), "", false, 0},
      {&English(), ".", false, 0},      {&English(), "1e", false, 0},
      {&English(), "1.5.", false, 0},   {&English(), "inf", false, 0},
      {&German(), "1,5", true, 1.5},    {&German(), "1.5", false, 0},
  };
  for (const TCase& c : cases) {
    double value = 0;
    EXPECT_EQ(TryStrToFloat(c.Text, value, *c.Formats), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(value, c.Value) << c.Text;
    }
  }
  EXPECT_EQ(MessageOf([] { StrToFloat("x1", English()); }),
            "'x1' is not a valid floating point value");
}

TEST(NumberTextTest, WritesTheFloatFormats) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  double infinity = std::numeric_limits<double>::infinity();
  struct TCase {
    double Value;
    TFloatFormat Format;
    int Precision, Digits;
    const TLocaleFormats* Formats;
    const char* Expected;
  };
  using F = TFloatFormat;
  const TCase cases[] = {
      {0, F::General, 15, 0, &English(), "0"},
      {1.5, F::General, 15, 0, &English(), "1.5"},
      {-2.25, F::General, 15, 0, &English(), "-2.25"},
      {0.1 + 0.2, F::General, 15, 0, &English(), "0.3"},
      {1.0 / 3, F::General, 15, 0, &English(), "0.333333333333333"},
      {123456789012345, F::General, 15, 0, &English(), "123456789012345"},
      {1234567890123456, F::General, 15, 0, &English(), "1.23456789012346E15"},
      {1e20, F::General, 15, 0, &English(), "1E20"},
      {0.00001, F::General, 15, 0, &English(), "0.00001"},
      {0.0000015, F::General, 15, 0, &English(), "1.5E-6"},
      {1e20, F::General, 15, 3, &English(), "1E020"},
      {1234.5, F::General, 4, 0, &English(), "1235"},
      {nan, F::General, 15, 0, &English(), "NAN"},
      {-infinity, F::Fixed, 15, 2, &English(), "-INF"},
      {1234.5678, F::Fixed, 15, 2, &English(), "1234.57"},
      {-0.001, F::Fixed, 15, 2, &English(), "0.00"},
      {2.5, F::Fixed, 15, 0, &English(), "3"},
      {1234.5678, F::Number, 15, 2, &English(), "1,234.57"},
      {-1234567.5, F::Number, 15, 0, &English(), "-1,234,568"},
      {1234.5678, F::Currency, 15, 2, &English(), "$1,234.57"},
      {-1234.5678, F::Currency, 15, 2, &English(), "($1,234.57)"},
      {1234.5678, F::Currency, 15, 2, &German(), "1.234,57 €"},
      {-1234.5678, F::Currency, 15, 2, &German(), "-1.234,57 €"},
      {1234.5678, F::Exponent, 4, 2, &English(), "1.235E+03"},
      {-0.00012, F::Exponent, 3, 0, &English(), "-1.20E-4"},
      {0, F::Exponent, 3, 2, &English(), "0.00E+00"},
      {1.5, F::General, 15, 0, &German(), "1,5"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FloatToStrF(c.Value, c.Format, c.Precision, c.Digits, *c.Formats), c.Expected)
        << c.Expected;
  }
  EXPECT_EQ(FloatToStr(1.5, English()), "1.5");
}

TEST(NumberTextTest, WritesPictures) {
  struct TCase {
    const char* Picture;
    double Value;
    const char* Expected;
  };
  const TCase cases[] = {
      {"#,##0.00", 1234.567, "1,234.57"},
      {"#,##0", 1234567, "1,234,567"},
      {"0.00", 0.125, "0.13"},
      {"0", 2.5, "3"},
      {"0", -2.5, "-3"},
      {"0.00", -0.001, "0.00"},
      {"##0.00", 5, "5.00"},
      {"000", 7, "007"},
      {"#", 0, ""},
      {"#.##", 1, "1"},
      {"0.###", 1.5, "1.5"},
      {".00", 12.5, "12.50"},
      {"#,##0;(#,##0);Zero", -1234, "(1,234)"},
      {"#,##0;(#,##0);Zero", 0, "Zero"},
      {"#,##0;(#,##0);Zero", 0.4, "Zero"},
      {"#,##0.00;;Zero", -5, "-5.00"},
      {"0.00E+00", 1234.5, "1.23E+03"},
      {"0.0E-0", 0.00012, "1.2E-4"},
      {"0.0E-0", 12000, "1.2E4"},
      {"00.0E+0", 1234, "12.3E+2"},
      {"0.00E+00", 0, "0.00E+00"},
      {"'$'#,##0.00", 5, "$5.00"},
      {"\"Total: \"0 'units'", 3, "Total: 3 units"},
      {"0.00", 1e25, "1E25"},
      {"", 1.5, "1.5"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(FormatFloat(c.Picture, c.Value, English()), c.Expected) << c.Picture;
  }
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), "1.234,50");
}

TEST(NumberTextTest, ReadsAndWritesCurrencyAmounts) {
  struct TCase {
    const char* Text;
    bool Valid;
    TCurrency Value;
  };
  const TCase cases[] = {
      {"1.5", true, 15000},
      {"1.23456", true, 12346},
      {"-1.00005", true, -10001},
      {"0.00004", true, 0},
      {"1e3", true, 10000000},
      {"922337203685477.5807", true, INT64_MAX},
      {"-922337203685477.5808", true, INT64_MIN},
      {"922337203685477.5808", false, 0},
      {"1e16", false, 0},
      {"1,5", false, 0},
  };
  for (const TCase& c : cases) {
    TCurrency value = 0;
    EXPECT_EQ(TryStrToCurr(c.Text, value, English()), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(value, c.Value) << c.Text;
    }
  }
  EXPECT_EQ(MessageOf([] { StrToCurr("1.2.3", English()); }),
            "'1.2.3' is not a valid floating point value");
  EXPECT_EQ(CurrToStr(12345, English()), "1.2345");
  EXPECT_EQ(CurrToStr(15000, English()), "1.5");
  EXPECT_EQ(CurrToStr(-10000, English()), "-1");
  EXPECT_EQ(CurrToStr(INT64_MAX, English()), "922337203685477.5807");
  EXPECT_EQ(CurrToStr(INT64_MIN, English()), "-922337203685477.5808");
  EXPECT_EQ(CurrToStrF(12345, TFloatFormat::Currency, 2, English()), "$1.23");
  EXPECT_EQ(CurrToStrF(-15000, TFloatFormat::Currency, 2, German()), "-1,50 €");
  EXPECT_EQ(FormatCurr("#,##0.00", 12345678, English()), "1,234.57");
  EXPECT_EQ(FormatCurr("##0.00", 123450, English()), "12.35");
}

TEST(NumberTextTest, ReadsBooleans) {
  const char* valid[] = {"TRUE", "true", "True", "FALSE", "false"};
  for (const char* text : valid) {
    bool value;
    EXPECT_TRUE(TryStrToBool(text, value)) << text;
    EXPECT_EQ(value, text[0] == 'T' || text[0] == 't') << text;
  }
  const char* invalid[] = {"T", "1", "", " TRUE", "TRUE ", "yes"};
  for (const char* text : invalid) {
    bool value;
    EXPECT_FALSE(TryStrToBool(text, value)) << text;
  }
  EXPECT_EQ(MessageOf([] { StrToBool("yes"); }), "'yes' is not a valid boolean value");
}

}  // namespace
}  // namespace tarnel
