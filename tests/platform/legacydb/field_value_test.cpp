// Field values, BCD numbers, the calendar and the code page tables.
#include <gtest/gtest.h>

#include "platform/legacydb/code_page.h"
#include "platform/legacydb/field_value.h"
#include "platform/legacydb/legacy_error.h"

namespace tarnel::legacydb {
namespace {

TEST(FieldValueTest, BcdConvertsToTextAndCurrency) {
  struct TCase {
    TBcd Bcd;
    const char* Text;
    bool Fits;
    int64_t Currency;
  };
  const TCase cases[] = {
      {{false, 6, "00000000000000000000000066006666"}, "66.006666", true, 660067},
      {{true, 6, "00000000000000000000000123456789"}, "-123.456789", true, -1234568},
      {{false, 2, "00000000000000000000000000000000"}, "0.00", true, 0},
      {{true, 2, "00000000000000000000000000000000"}, "0.00", true, 0},
      {{false, 0, "00000000000000000000000000000042"}, "42", true, 420000},
      {{true, 4, "00000000000000000000000000000005"}, "-0.0005", true, -5},
      {{false, 5, "00000000000000000000000000000005"}, "0.00005", true, 1},
      {{false, 6, "00000000000012345678901234567890"}, "12345678901234.567890", true, 123456789012345679},
      {{false, 6, "12345678901234567890123456000000"}, "12345678901234567890123456.000000", false, 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Bcd.ToText(), c.Text);
    int64_t amount = 0;
    EXPECT_EQ(c.Bcd.ToCurrency(&amount), c.Fits) << c.Text;
    if (c.Fits) {
      EXPECT_EQ(amount, c.Currency) << c.Text;
    }
  }
}

TEST(FieldValueTest, AccessorsServeTheirTypesOnly) {
  TFieldValue smallint = TFieldValue::Integer(ftSmallint, -2);
  EXPECT_EQ(smallint.AsInteger(), -2);
  EXPECT_EQ(smallint.AsFloat(), -2.0);
  EXPECT_EQ(smallint.AsBytes(), (std::vector<uint8_t>{0xFE, 0xFF}));
  EXPECT_THROW(smallint.AsDate(), ELegacyDbError);
  EXPECT_EQ(TFieldValue::Float(ftCurrency, 0.03125).AsCurrency(), 313);
  EXPECT_EQ(TFieldValue::Float(ftCurrency, -0.03125).AsCurrency(), -313);
  EXPECT_THROW(TFieldValue::Float(ftFloat, 1e300).AsCurrency(), ELegacyDbError);
  EXPECT_EQ(TFieldValue::Integer(ftBoolean, 1).AsBytes(), (std::vector<uint8_t>{1, 0}));
  EXPECT_THROW(TFieldValue(ftInteger).AsInteger(), ELegacyDbError);
  try {
    TFieldValue(ftDate).From(std::make_shared<const std::string>("T.DB, field Born")).AsDate();
    FAIL();
  } catch (const ELegacyDbError& error) {
    EXPECT_EQ(std::string(error.what()), "T.DB, field Born: the value is null");
  }
}

TEST(FieldValueTest, DayNumbersFollowTheGregorianCalendar) {
  struct TCase {
    int Year, Month, Day;
    int32_t Number;
  };
  const TCase cases[] = {{1, 1, 1, 1},          {1899, 12, 30, 693594}, {1991, 1, 2, 726834},
                         {2000, 2, 29, 730179}, {9999, 12, 31, 3652059}};
  for (const TCase& c : cases) {
    EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Number);
    int year = 0, month = 0, day = 0;
    ASSERT_TRUE(DecodeDate(c.Number, &year, &month, &day));
    EXPECT_EQ(std::vector<int>({year, month, day}), std::vector<int>({c.Year, c.Month, c.Day}));
  }
  int year = 0, month = 0, day = 0;
  EXPECT_FALSE(DecodeDate(0, &year, &month, &day));
  EXPECT_FALSE(IsValidDate(2001, 2, 29));
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeTime(86399999, &hour, &minute, &second, &millisecond);
  EXPECT_EQ(std::vector<int>({hour, minute, second, millisecond}), std::vector<int>({23, 59, 59, 999}));
}

TEST(CodePageTest, NamesAndDriversGiveCodePages) {
  EXPECT_EQ(CodePageOfLanguageDriver(0x1B), 437);
  EXPECT_EQ(CodePageOfLanguageDriver(0xC9), 1251);
  EXPECT_EQ(CodePageOfLanguageDriver(0x03), 1252);
  EXPECT_EQ(CodePageOfLanguageDriver(0x00), 0);
  EXPECT_EQ(CodePageOfDriverName("DB437US0"), 437);
  EXPECT_EQ(CodePageOfDriverName("DB866RU0"), 866);
  EXPECT_EQ(CodePageOfDriverName("DBWINUS0"), 1252);
  EXPECT_EQ(CodePageOfDriverName("ANSII850"), 1252);
  EXPECT_EQ(CodePageOfDriverName("ascii"), 437);
  EXPECT_EQ(CodePageOfDriverName(""), 0);
}

TEST(CodePageTest, TransliteratesAndMarksWhatTheTargetCannotShow) {
  TTransliterator dosToAnsi(437, 1252);
  EXPECT_EQ(dosToAnsi.Convert("M\x81ller \xE1", "T.DBF"), "M\xFCller \xDF");
  TTransliterator cyrillicToAnsi(1251, 1252);
  EXPECT_EQ(cyrillicToAnsi.Convert("\xC0\x42", "T.DBF"), "?B");
  TTransliterator toUtf8(1251, 65001);
  EXPECT_EQ(toUtf8.Convert("\xC0", "T.DBF"), "\xD0\x90");
  TTransliterator unknown(620, 1252);
  EXPECT_THROW(unknown.Convert("x", "T.DBF"), ELegacyDbError);
}

}  // namespace
}  // namespace tarnel::legacydb
