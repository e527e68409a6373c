// One value of a source field in the reader's logical form, independent of how the Paradox or
// dBase file encodes it: integers, floats, BCD digits, day numbers, milliseconds, text bytes.
// The forms of dates and times are the ones the engine stores (day 1 = 1 January 0001).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/field_type.h"

namespace tarnel::legacydb {

// A BCD number: decimal digits, the last `Decimals` of them after the decimal point.
struct TBcd {
  bool Negative = false;
  int Decimals = 0;
  std::string Digits;  // '0' to '9', at least Decimals + 1 of them

  double ToDouble() const;
  // "-123.456789": no leading zeros before the point, exactly Decimals digits after it.
  std::string ToText() const;
  // The value times 10000, rounded half away from zero; false when it does not fit 64 bits.
  bool ToCurrency(int64_t* amount) const;
};

class TFieldValue {
 public:
  // A null value of `type`.
  explicit TFieldValue(TFieldType type = ftUnknown) : FType(type) {}
  static TFieldValue Integer(TFieldType type, int64_t value);
  static TFieldValue Float(TFieldType type, double value);
  static TFieldValue Bcd(TBcd value);
  static TFieldValue Bytes(TFieldType type, std::string bytes);

  // Names the file and field a value came from in the messages of the accessors' errors.
  TFieldValue& From(std::shared_ptr<const std::string> origin);

  TFieldType Type() const { return FType; }
  bool IsNull() const { return FNull; }

  // Every accessor raises ELegacyDbError, naming the value's file and field, when the value is
  // null or of a type it does not serve.
  //
  // ftString: the text in the table's code page. ftBytes: the bytes.
  const std::string& AsString() const;
  // ftSmallint, ftInteger, ftWord, ftAutoInc, ftBoolean (0 or 1).
  int32_t AsInteger() const;
  bool AsBoolean() const;
  // Every numeric type.
  double AsFloat() const;
  // ftCurrency, ftFloat and ftBCD as a currency amount: the value times 10000, rounded half
  // away from zero. A value outside the 64-bit range raises.
  int64_t AsCurrency() const;
  // ftBCD.
  const TBcd& AsBcd() const;
  // ftDate: the day number, 1 = 1 January 0001.
  int32_t AsDate() const;
  // ftTime: milliseconds since midnight.
  int32_t AsTime() const;
  // ftDateTime: the day number times 86400000 plus the milliseconds since midnight.
  double AsDateTime() const;
  // The value bytes in the form the engine stores for the field type: little-endian 16-bit
  // ftSmallint, ftWord and ftBoolean (0 or 1), 32-bit ftInteger, ftAutoInc, ftDate and ftTime,
  // 64-bit floats for ftFloat, ftCurrency and ftDateTime, the bytes of ftString and ftBytes.
  // ftBCD has no such form: use AsCurrency or AsBcd.
  std::vector<uint8_t> AsBytes() const;

 private:
  [[noreturn]] void Refuse(const char* wanted) const;
  void Expect(bool typeFits, const char* wanted) const;

  TFieldType FType;
  bool FNull = true;
  int64_t FInteger = 0;
  double FFloat = 0;
  std::string FBytes;
  TBcd FBcd;
  std::shared_ptr<const std::string> FOrigin;
};

// Calendar arithmetic on the day numbers (proleptic Gregorian calendar, 1 = 1 January 0001).
int32_t EncodeDate(int year, int month, int day);
// False for a day number below 1 or after 31 December 9999.
bool DecodeDate(int32_t dayNumber, int* year, int* month, int* day);
// Milliseconds since midnight into hours, minutes, seconds and milliseconds.
void DecodeTime(int32_t milliseconds, int* hour, int* minute, int* second, int* millisecond);
bool IsValidDate(int year, int month, int day);

}  // namespace tarnel::legacydb
