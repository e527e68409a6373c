#include "engine/table/value_text.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "engine/base/byte_order.h"
#include "platform/locale/code_page.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/date_time.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/number_text.h"

namespace tarnel {

namespace {

bool Is(const std::string& text, const char* keyword) { return ::strcasecmp(text.c_str(), keyword) == 0; }

std::string AsUtf8(const std::string& text, uint16_t languageId) {
  return locale::CodePageToUtf8(locale::CodePageOf(languageId), text).Text;
}

int32_t DayNumber(TDateTime date) { return static_cast<int32_t>(std::floor(date)) + kDateDelta; }

int32_t MillisecondsOfDay(TDateTime time) { return DateTimeToTimeStamp(time).Time; }

double TimeStampMilliseconds(TDateTime moment) { return TimeStampToMSecs(DateTimeToTimeStamp(moment)); }

void CheckRange(const std::string& text, int64_t value, int64_t low, int64_t high) {
  if (value < low || value > high) throw EConvertError("'" + text + "' is not a valid integer value");
}

}  // namespace

bool ValueTextValid(const std::string& text, uint8_t fieldType, uint16_t languageId) {
  if (text.empty()) return true;
  std::string utf8 = AsUtf8(text, languageId);
  int32_t integer;
  double number;
  TCurrency amount;
  TDateTime moment;
  switch (fieldType) {
    case dtBoolean: return Is(text, "TRUE") || Is(text, "FALSE");
    case dtWord: return TryStrToInt(utf8, integer) && integer >= 0 && integer <= 65535;
    case dtSmallInt: return TryStrToInt(utf8, integer) && integer >= -32768 && integer <= 32767;
    case dtInteger: return TryStrToInt(utf8, integer);
    case dtFloat: return TryStrToFloat(utf8, number);
    case dtBCD: return TryStrToCurr(utf8, amount);
    case dtDate: return Is(text, "DATE") || TryStrToDate(utf8, moment);
    case dtTime: return Is(text, "TIME") || TryStrToTime(utf8, moment);
    case dtTimeStamp:
      return Is(text, "NOW") || Is(text, "DATE") || Is(text, "TIME") || TryStrToDate(utf8, moment) ||
             TryStrToDateTime(utf8, moment) || TryStrToTime(utf8, moment);
    default: return true;
  }
}

void TextToStoredValue(const std::string& text, const TFieldDesc& field, uint16_t languageId, bool keywords,
                       uint8_t* value) {
  std::memset(value, 0, field.PhysSize);
  std::string utf8 = AsUtf8(text, languageId);
  switch (field.FieldType) {
    case dtString:
      std::memcpy(value, text.data(), std::min<size_t>(text.size(), field.FieldSize));
      break;
    case dtBoolean:
      if (Is(text, "TRUE")) {
        PutU16(value, 1);
      } else if (!Is(text, "FALSE")) {
        throw EConvertError("'" + utf8 + "' is not a valid boolean value");
      }
      break;
    case dtSmallInt: {
      int32_t number = StrToInt(utf8);
      CheckRange(utf8, number, -32768, 32767);
      PutU16(value, static_cast<uint16_t>(number));
      break;
    }
    case dtWord: {
      int32_t number = StrToInt(utf8);
      CheckRange(utf8, number, 0, 65535);
      PutU16(value, static_cast<uint16_t>(number));
      break;
    }
    case dtInteger:
      PutI32(value, StrToInt(utf8));
      break;
    case dtFloat:
      PutF64(value, StrToFloat(utf8));
      break;
    case dtBCD:
      PutI64(value, CurrencyToBcd(StrToCurr(utf8), std::min<int>(field.Decimals, 4)));
      break;
    case dtDate:
      PutI32(value, DayNumber(keywords && Is(text, "DATE") ? Date() : StrToDate(utf8)));
      break;
    case dtTime:
      PutI32(value, MillisecondsOfDay(keywords && Is(text, "TIME") ? Time() : StrToTime(utf8)));
      break;
    case dtTimeStamp: {
      TDateTime moment;
      if (keywords && Is(text, "NOW")) {
        moment = Now();
      } else if (keywords && Is(text, "DATE")) {
        moment = Date();
      } else if (keywords && Is(text, "TIME")) {
        moment = Time();  // the time of day on day 0 of the date-time scale
      } else {
        moment = StrToDateTime(utf8);
      }
      PutF64(value, TimeStampMilliseconds(moment));
      break;
    }
    default:
      break;
  }
}

}  // namespace tarnel
