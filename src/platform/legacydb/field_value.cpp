#include "platform/legacydb/field_value.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/legacydb/legacy_error.h"

namespace tarnel::legacydb {

double TBcd::ToDouble() const {
  std::string text = ToText();
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string TBcd::ToText() const {
  size_t integerDigits = Digits.size() > static_cast<size_t>(Decimals) ? Digits.size() - Decimals : 0;
  size_t first = 0;
  while (first + 1 < integerDigits && Digits[first] == '0') ++first;
  std::string text = integerDigits == 0 ? "0" : Digits.substr(first, integerDigits - first);
  if (Decimals > 0) text += "." + Digits.substr(integerDigits);
  bool zero = Digits.find_first_not_of('0') == std::string::npos;
  return Negative && !zero ? "-" + text : text;
}

bool TBcd::ToCurrency(int64_t* amount) const {
  // Digits up to the fourth decimal, then the fifth decides the rounding.
  if (Decimals < 0 || Digits.size() < static_cast<size_t>(Decimals)) return false;
  uint64_t magnitude = 0;
  size_t integerDigits = Digits.size() - static_cast<size_t>(Decimals);
  size_t kept = integerDigits + 4;
  for (size_t i = 0; i < kept; ++i) {
    int digit = i < Digits.size() ? Digits[i] - '0' : 0;
    if (magnitude > (UINT64_MAX - 9) / 10) return false;
    magnitude = magnitude * 10 + static_cast<uint64_t>(digit);
  }
  if (kept < Digits.size() && Digits[kept] >= '5') ++magnitude;
  uint64_t limit = Negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (magnitude > limit) return false;
  *amount = Negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

TFieldValue TFieldValue::Integer(TFieldType type, int64_t value) {
  TFieldValue result(type);
  result.FNull = false;
  result.FInteger = value;
  result.FFloat = static_cast<double>(value);
  return result;
}

TFieldValue TFieldValue::Float(TFieldType type, double value) {
  TFieldValue result(type);
  result.FNull = false;
  result.FFloat = value;
  return result;
}

TFieldValue TFieldValue::Bcd(TBcd value) {
  TFieldValue result(ftBCD);
  result.FNull = false;
  result.FFloat = value.ToDouble();
  result.FBcd = std::move(value);
  return result;
}

TFieldValue TFieldValue::Bytes(TFieldType type, std::string bytes) {
  TFieldValue result(type);
  result.FNull = false;
  result.FBytes = std::move(bytes);
  return result;
}

TFieldValue& TFieldValue::From(std::shared_ptr<const std::string> origin) {
  FOrigin = std::move(origin);
  return *this;
}

void TFieldValue::Refuse(const char* wanted) const {
  std::string origin = FOrigin ? *FOrigin : std::string("a field value");
  throw ELegacyDbError(origin, FNull ? std::string("the value is null") : std::string("the value is not ") + wanted);
}

void TFieldValue::Expect(bool typeFits, const char* wanted) const {
  if (FNull || !typeFits) Refuse(wanted);
}

const std::string& TFieldValue::AsString() const {
  Expect(FType == ftString || FType == ftBytes, "text");
  return FBytes;
}

int32_t TFieldValue::AsInteger() const {
  Expect(FType == ftSmallint || FType == ftInteger || FType == ftWord || FType == ftAutoInc ||
             FType == ftBoolean,
         "an integer");
  return static_cast<int32_t>(FInteger);
}

bool TFieldValue::AsBoolean() const {
  Expect(FType == ftBoolean, "a logical value");
  return FInteger != 0;
}

double TFieldValue::AsFloat() const {
  Expect(FType == ftSmallint || FType == ftInteger || FType == ftWord || FType == ftAutoInc ||
             FType == ftFloat || FType == ftCurrency || FType == ftBCD,
         "a number");
  return FFloat;
}

int64_t TFieldValue::AsCurrency() const {
  Expect(FType == ftCurrency || FType == ftFloat || FType == ftBCD, "a currency amount");
  int64_t amount = 0;
  if (FType == ftBCD) {
    if (!FBcd.ToCurrency(&amount)) Refuse("within the range of a currency amount");
    return amount;
  }
  double scaled = std::round(FFloat * 10000.0);
  if (!(std::fabs(scaled) < 9.2233720368547758e18)) Refuse("within the range of a currency amount");
  return static_cast<int64_t>(scaled);
}

const TBcd& TFieldValue::AsBcd() const {
  Expect(FType == ftBCD, "a BCD number");
  return FBcd;
}

int32_t TFieldValue::AsDate() const {
  Expect(FType == ftDate, "a date");
  return static_cast<int32_t>(FInteger);
}

int32_t TFieldValue::AsTime() const {
  Expect(FType == ftTime, "a time");
  return static_cast<int32_t>(FInteger);
}

double TFieldValue::AsDateTime() const {
  Expect(FType == ftDateTime, "a date and time");
  return FFloat;
}

namespace {

void AppendLittleEndian(std::vector<uint8_t>& bytes, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> TFieldValue::AsBytes() const {
  std::vector<uint8_t> bytes;
  if (FNull) Refuse("present");
  switch (FType) {
    case ftString:
    case ftBytes:
      bytes.assign(FBytes.begin(), FBytes.end());
      break;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
      AppendLittleEndian(bytes, static_cast<uint64_t>(FInteger), 2);
      break;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
      AppendLittleEndian(bytes, static_cast<uint64_t>(FInteger), 4);
      break;
    case ftFloat:
    case ftCurrency:
    case ftDateTime: {
      uint64_t bits = 0;
      std::memcpy(&bits, &FFloat, sizeof bits);
      AppendLittleEndian(bytes, bits, 8);
      break;
    }
    default:
      Refuse("of a type with a fixed byte form");
  }
  return bytes;
}

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int32_t DaysBeforeYear(int year) {
  int32_t y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

int32_t EncodeDate(int year, int month, int day) {
  int32_t days = DaysBeforeYear(year);
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day;
}

bool DecodeDate(int32_t dayNumber, int* year, int* month, int* day) {
  if (dayNumber < 1 || dayNumber > EncodeDate(9999, 12, 31)) return false;
  int y = static_cast<int>((static_cast<int64_t>(dayNumber) * 400) / 146097) + 1;
  while (DaysBeforeYear(y) >= dayNumber) --y;
  while (DaysBeforeYear(y + 1) < dayNumber) ++y;
  int32_t rest = dayNumber - DaysBeforeYear(y);
  int m = 1;
  while (rest > DaysInMonth(y, m)) rest -= DaysInMonth(y, m++);
  *year = y;
  *month = m;
  *day = static_cast<int>(rest);
  return true;
}

void DecodeTime(int32_t milliseconds, int* hour, int* minute, int* second, int* millisecond) {
  *hour = milliseconds / 3600000;
  *minute = milliseconds / 60000 % 60;
  *second = milliseconds / 1000 % 60;
  *millisecond = milliseconds % 1000;
}

}  // namespace tarnel::legacydb
