#include "apps/tarnel/field_text.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "engine/base/byte_order.h"
#include "platform/locale/code_page.h"
#include "platform/rtl/date_time.h"

namespace tarnel::cli {

namespace {

// Day 1 is 1 January 0001 in the proleptic Gregorian calendar; the conversions hold for every
// day number, so that any stored date has a text.
constexpr int64_t kDayOfEpoch = 719163;  // the day number of 1 January 1970

int64_t DayNumberOf(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468 + kDayOfEpoch;
}

void CivilOf(int64_t dayNumber, int64_t& year, int& month, int& day) {
  int64_t z = dayNumber - kDayOfEpoch + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

std::string FormatDate(int64_t dayNumber) {
  int64_t year;
  int month;
  int day;
  CivilOf(dayNumber, year, month, day);
  char text[40];
  std::snprintf(text, sizeof text, "%s%04lld-%02d-%02d", year < 0 ? "-" : "",
                static_cast<long long>(year < 0 ? -year : year), month, day);
  return text;
}

std::string FormatTime(int64_t milliseconds) {
  bool negative = milliseconds < 0;
  int64_t rest = negative ? -milliseconds : milliseconds;
  char text[48];
  int length = std::snprintf(text, sizeof text, "%s%02lld:%02d:%02d", negative ? "-" : "",
                             static_cast<long long>(rest / 3600000), static_cast<int>(rest / 60000 % 60),
                             static_cast<int>(rest / 1000 % 60));
  if (rest % 1000 != 0) std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(rest % 1000));
  return text;
}

// Reads exactly `digits` decimal digits at `text[at]`.
bool Digits(std::string_view text, size_t at, size_t digits, int& value) {
  if (at + digits > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool ParseDate(std::string_view text, int32_t& dayNumber) {
  int year;
  int month;
  int day;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, year) ||
      !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day)) {
    return false;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  dayNumber = static_cast<int32_t>(DayNumberOf(year, month, day));
  return true;
}

bool ParseTime(std::string_view text, int32_t& milliseconds) {
  int hour;
  int minute;
  int second;
  int fraction = 0;
  if (text.size() < 8 || text[2] != ':' || text[5] != ':' || !Digits(text, 0, 2, hour) ||
      !Digits(text, 3, 2, minute) || !Digits(text, 6, 2, second)) {
    return false;
  }
  if (text.size() > 8) {
    size_t digits = text.size() - 9;
    if (text[8] != '.' || digits < 1 || digits > 3 || !Digits(text, 9, digits, fraction)) return false;
    for (size_t i = digits; i < 3; ++i) fraction *= 10;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  milliseconds = ((hour * 60 + minute) * 60 + second) * 1000 + fraction;
  return true;
}

bool ParseTimeStamp(std::string_view text, double& moment) {
  int32_t day;
  int32_t time = 0;
  if (!ParseDate(text.substr(0, 10), day)) return false;
  if (text.size() > 10 && ((text[10] != ' ' && text[10] != 'T') || !ParseTime(text.substr(11), time))) return false;
  moment = static_cast<double>(day) * kMSecsPerDay + time;
  return true;
}

std::string FormatTimeStamp(double moment) {
  if (!std::isfinite(moment)) return std::isnan(moment) ? "nan" : (moment < 0 ? "-inf" : "inf");
  double day = std::floor(moment / kMSecsPerDay);
  auto milliseconds = static_cast<int64_t>(std::llround(moment - day * kMSecsPerDay));
  return FormatDate(static_cast<int64_t>(day)) + " " + FormatTime(milliseconds);
}

template <typename T>
bool ParseInteger(std::string_view text, T& value) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return status == std::errc() && end == text.data() + text.size();
}

template <typename T>
std::string FormatFloat(T value) {
  char text[64];
  auto [end, status] = std::to_chars(text, text + sizeof text, value);
  return status == std::errc() ? std::string(text, end) : std::string();
}

template <typename T>
bool ParseFloat(std::string_view text, T& value) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return status == std::errc() && end == text.data() + text.size();
}

// The 80-bit extended value as the processor keeps it, where long double is that value.
constexpr bool kLongDoubleIsExtended = std::numeric_limits<long double>::digits == 64;

std::string FormatBcd(int64_t bcd) {
  int scale = static_cast<int>(bcd < 0 ? -(bcd % 10) : bcd % 10);
  uint64_t amount = bcd < 0 ? static_cast<uint64_t>(-(bcd / 10)) : static_cast<uint64_t>(bcd / 10);
  std::string digits = std::to_string(amount);
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale)) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), ".");
  }
  return (bcd < 0 ? "-" : "") + digits;
}

// A decimal with at most `decimals` significant decimals (more are accepted when they are 0),
// stored as the amount at that scale followed by the digit of the scale.
bool ParseBcd(std::string_view text, int decimals, int64_t& bcd) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && text[at] == '-') {
    negative = true;
    ++at;
  }
  constexpr int64_t kLimit = (INT64_MAX - 9) / 10;
  int64_t amount = 0;
  int fractionDigits = -1;  // -1 before the point
  bool anyDigit = false;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c == '.' && fractionDigits < 0) {
      fractionDigits = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    anyDigit = true;
    if (fractionDigits >= 0 && fractionDigits == decimals) {
      if (c != '0') return false;
      continue;
    }
    if (fractionDigits >= 0) ++fractionDigits;
    if (amount > (kLimit - (c - '0')) / 10) return false;
    amount = amount * 10 + (c - '0');
  }
  if (!anyDigit) return false;
  for (int i = std::max(fractionDigits, 0); i < decimals; ++i) {
    if (amount > kLimit / 10) return false;
    amount *= 10;
  }
  if (negative) amount = -amount;
  bcd = amount * 10 + (amount < 0 ? -decimals : decimals);
  return true;
}

bool IsMemo(const TFieldDesc& field) { return field.FieldType == dtBlob && field.SubType == stMemo; }

std::string Text(const std::string& bytes, int codePage, int& unmappable) {
  locale::TConversion conversion = locale::CodePageToUtf8(codePage, bytes);
  unmappable += conversion.Unmappable;
  return conversion.Text;
}

// The text in the table's code page; false with a message when a character has no place there.
bool CodePageText(std::string_view text, int codePage, std::string& bytes, std::string& error) {
  locale::TConversion conversion = locale::Utf8ToCodePage(codePage, text);
  if (conversion.Unmappable > 0) {
    error = "holds characters that are not UTF-8 or that the table's code page " + std::to_string(codePage) +
            " cannot hold";
    return false;
  }
  bytes = std::move(conversion.Text);
  return true;
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct TTypeName {
  const char* Name;
  uint8_t Type;
  uint8_t SubType;
};

constexpr TTypeName kTypeNames[] = {
    {"string", dtString, stNone},       {"date", dtDate, stNone},        {"blob", dtBlob, stBinary},
    {"memo", dtBlob, stMemo},           {"graphic", dtBlob, stGraphic},  {"boolean", dtBoolean, stNone},
    {"smallint", dtSmallInt, stNone},   {"integer", dtInteger, stNone},  {"autoinc", dtInteger, stAutoInc},
    {"float", dtFloat, stNone},         {"money", dtFloat, stMoney},     {"bcd", dtBCD, stNone},
    {"bytes", dtBytes, stNone},         {"time", dtTime, stNone},        {"timestamp", dtTimeStamp, stNone},
    {"word", dtWord, stNone},           {"varbytes", dtVarBytes, stNone},
};

}  // namespace

std::string FormName(const TFieldDesc& field) {
  switch (field.FieldType) {
    case dtString: return "a text of at most " + std::to_string(field.FieldSize) + " bytes";
    case dtDate: return "a date (yyyy-mm-dd)";
    case dtTime: return "a time (hh:mm:ss[.zzz])";
    case dtTimeStamp: return "a timestamp (yyyy-mm-dd hh:mm:ss[.zzz])";
    case dtBoolean: return "true or false";
    case dtSmallInt: return "an integer from -32768 to 32767";
    case dtInteger: return "an integer from -2147483648 to 2147483647";
    case dtWord: return "an integer from 0 to 65535";
    case dtLongWord: return "an integer from 0 to 4294967295";
    case dtFloat:
    case dtExtended: return "a number";
    case dtBCD: return "a number with at most " + std::to_string(field.Decimals) + " decimals";
    case dtBlob: return IsMemo(field) ? "a text" : "base64";
    default: return "base64 of at most " + std::to_string(field.PhysSize) + " bytes";
  }
}

std::string FormatValue(const TFieldDesc& field, const uint8_t* value, int codePage, int& unmappable) {
  switch (field.FieldType) {
    case dtString: {
      size_t length = strnlen(reinterpret_cast<const char*>(value), field.PhysSize);
      return Text(std::string(reinterpret_cast<const char*>(value), length), codePage, unmappable);
    }
    case dtDate: return FormatDate(GetI32(value));
    case dtTime: return FormatTime(GetI32(value));
    case dtTimeStamp: return FormatTimeStamp(GetF64(value));
    case dtBoolean: return GetU16(value) != 0 ? "true" : "false";
    case dtSmallInt: return std::to_string(GetI16(value));
    case dtInteger: return std::to_string(GetI32(value));
    case dtWord: return std::to_string(GetU16(value));
    case dtLongWord: return std::to_string(GetU32(value));
    case dtFloat: return FormatFloat(GetF64(value));
    case dtBCD: return FormatBcd(GetI64(value));
    case dtExtended:
      if constexpr (kLongDoubleIsExtended) {
        long double extended = 0;
        std::memcpy(&extended, value, 10);
        return FormatFloat(extended);
      }
      return EncodeBase64(value, field.PhysSize);
    default: return EncodeBase64(value, field.PhysSize);
  }
}

bool ParseValue(const TFieldDesc& field, std::string_view text, int codePage, uint8_t* value, std::string& error) {
  std::memset(value, 0, field.PhysSize);
  bool valid = false;
  switch (field.FieldType) {
    case dtString: {
      std::string bytes;
      if (!CodePageText(text, codePage, bytes, error)) return false;
      if (bytes.find('\0') != std::string::npos) {
        error = "holds a zero character, which a text field cannot keep";
        return false;
      }
      if (bytes.size() > field.FieldSize) {
        error = "takes " + std::to_string(bytes.size()) + " bytes in the table's code page, the field holds " +
                std::to_string(field.FieldSize);
        return false;
      }
      std::memcpy(value, bytes.data(), bytes.size());
      return true;
    }
    case dtDate: {
      int32_t day;
      valid = ParseDate(text, day);
      if (valid) PutI32(value, day);
      break;
    }
    case dtTime: {
      int32_t time;
      valid = ParseTime(text, time);
      if (valid) PutI32(value, time);
      break;
    }
    case dtTimeStamp: {
      double moment;
      valid = ParseTimeStamp(text, moment);
      if (valid) PutF64(value, moment);
      break;
    }
    case dtBoolean: {
      bool isTrue = text.size() == 4 && ::strncasecmp(text.data(), "true", 4) == 0;
      bool isFalse = text.size() == 5 && ::strncasecmp(text.data(), "false", 5) == 0;
      valid = isTrue || isFalse;
      if (valid) PutU16(value, isTrue ? 1 : 0);
      break;
    }
    case dtSmallInt: {
      int16_t number;
      valid = ParseInteger(text, number);
      if (valid) PutU16(value, static_cast<uint16_t>(number));
      break;
    }
    case dtInteger: {
      int32_t number;
      valid = ParseInteger(text, number);
      if (valid) PutI32(value, number);
      break;
    }
    case dtWord: {
      uint16_t number;
      valid = ParseInteger(text, number);
      if (valid) PutU16(value, number);
      break;
    }
    case dtLongWord: {
      uint32_t number;
      valid = ParseInteger(text, number);
      if (valid) PutU32(value, number);
      break;
    }
    case dtFloat: {
      double number;
      valid = ParseFloat(text, number);
      if (valid) PutF64(value, number);
      break;
    }
    case dtBCD: {
      int64_t bcd;
      valid = field.Decimals <= kMaxBCDDecimals && ParseBcd(text, field.Decimals, bcd);
      if (valid) PutI64(value, bcd);
      break;
    }
    case dtExtended:
      if constexpr (kLongDoubleIsExtended) {
        long double number;
        valid = ParseFloat(text, number);
        if (valid) std::memcpy(value, &number, 10);
        break;
      }
      [[fallthrough]];
    default: {
      std::vector<uint8_t> bytes;
      valid = DecodeBase64(text, bytes) && bytes.size() <= field.PhysSize;
      if (valid) std::memcpy(value, bytes.data(), bytes.size());
      break;
    }
  }
  if (!valid) error = "'" + std::string(text) + "' is not " + FormName(field);
  return valid;
}

std::string FormatBlob(const TFieldDesc& field, const std::vector<uint8_t>& contents, int codePage, int& unmappable) {
  if (IsMemo(field)) return Text(std::string(contents.begin(), contents.end()), codePage, unmappable);
  return EncodeBase64(contents.data(), contents.size());
}

bool ParseBlob(const TFieldDesc& field, std::string_view text, int codePage, std::vector<uint8_t>& contents,
               std::string& error) {
  if (IsMemo(field)) {
    std::string bytes;
    if (!CodePageText(text, codePage, bytes, error)) return false;
    contents.assign(bytes.begin(), bytes.end());
    return true;
  }
  if (DecodeBase64(text, contents)) return true;
  error = "is not " + FormName(field);
  return false;
}

std::string EncodeBase64(const uint8_t* bytes, size_t length) {
  std::string text;
  text.reserve((length + 2) / 3 * 4);
  for (size_t i = 0; i < length; i += 3) {
    uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
    if (i + 1 < length) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < length) group |= bytes[i + 2];
    text += kBase64[group >> 18 & 63];
    text += kBase64[group >> 12 & 63];
    text += i + 1 < length ? kBase64[group >> 6 & 63] : '=';
    text += i + 2 < length ? kBase64[group & 63] : '=';
  }
  return text;
}

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    uint32_t group = 0;
    int padding = 0;
    for (size_t j = 0; j < 4; ++j) {
      char c = text[i + j];
      const char* found = c == '\0' ? nullptr : std::strchr(kBase64, c);
      bool last = i + 4 == text.size();
      if (c == '=' && last && j >= 2 && (j == 3 || text[i + 3] == '=')) {
        ++padding;
        group <<= 6;
        continue;
      }
      if (found == nullptr || padding > 0) return false;
      group = group << 6 | static_cast<uint32_t>(found - kBase64);
    }
    bytes.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
  }
  return true;
}

std::string TypeName(const TFieldDesc& field) {
  for (const TTypeName& entry : kTypeNames) {
    if (entry.Type == field.FieldType && entry.SubType == field.SubType) return entry.Name;
  }
  switch (field.FieldType) {
    case dtBlob: return "blob";
    case dtInteger: return "integer";
    case dtFloat: return "float";
    case dtLongWord: return "longword";
    case dtExtended: return "extended";
    default: return "type " + std::to_string(field.FieldType);
  }
}

bool TypeFromName(const std::string& name, uint8_t& type, uint8_t& subType) {
  for (const TTypeName& entry : kTypeNames) {
    if (::strcasecmp(entry.Name, name.c_str()) == 0) {
      type = entry.Type;
      subType = entry.SubType;
      return true;
    }
  }
  return false;
}

}  // namespace tarnel::cli
