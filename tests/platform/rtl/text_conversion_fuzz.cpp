// Texts from table files (defaults, minimums, maximums, keys) and pictures reach the
// conversions unchecked: whatever the bytes, a conversion converts or raises EConvertError,
// collation answers consistently, and a mapping never grows.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/locale/case_mapping.h"
#include "platform/locale/collation.h"
#include "platform/rtl/date_text.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/number_text.h"

namespace {

using namespace tarnel;

TDateTime FixedNow() { return EncodeDate(2024, 6, 15) + EncodeTime(12, 0, 0, 0); }

const TLocaleFormats& FormatsFor(uint8_t selector) {
  static const TLocaleFormats kEnglish = GetLocaleFormats(false, 0, 0);
  static const TLocaleFormats kGerman = GetLocaleFormats(false, 0x0407, 0);
  static const TLocaleFormats kJapanese = GetLocaleFormats(false, 0x0411, 0);
  switch (selector % 3) {
    case 0:
      return kEnglish;
    case 1:
      return kGerman;
    default:
      return kJapanese;
  }
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void Convert(uint8_t operation, std::string_view text, const TLocaleFormats& formats) {
  double number;
  TCurrency amount;
  TDateTime moment;
  int64_t integer;
  bool flag;
  switch (operation % 8) {
    case 0:
      TryStrToInt64(text, integer);
      break;
    case 1:
      if (TryStrToFloat(text, number, formats)) {
        double back;
        Check(TryStrToFloat(FloatToStrF(number, TFloatFormat::General, 17, 0, formats), back,
                            formats) &&
              back == number);
      }
      break;
    case 2:
      if (TryStrToCurr(text, amount, formats)) {
        TCurrency back;
        Check(TryStrToCurr(CurrToStr(amount, formats), back, formats) && back == amount);
      }
      break;
    case 3:
      if (TryStrToDate(text, moment, formats)) {
        Check(StrToDate(DateToStr(moment, formats), formats) == moment);
      }
      break;
    case 4:
      TryStrToDateTime(text, moment, formats);
      TryStrToBool(text, flag);
      break;
    case 5:
      FormatFloat(text, 1234.5678, formats);
      FormatFloat(text, -0.000125, formats);
      FormatCurr(text, -123456789, formats);
      break;
    case 6:
      FormatDateTime(text, EncodeDate(1999, 12, 31) + EncodeTime(14, 5, 9, 7), formats);
      break;
    default:
      break;
  }
}

void Collate(uint8_t selector, std::string_view bytes) {
  static const uint32_t kLocales[] = {0, 0x0407, 0x041D, 0x0411, 0x0804, 0x0412, 0x0408, 0x041F};
  uint32_t lcid = kLocales[selector % 8];
  uint32_t flags = selector & 0x80 ? locale::kSortStringSort : 0;
  size_t half = bytes.size() / 2;
  std::string_view a = bytes.substr(0, half);
  std::string_view b = bytes.substr(half);
  auto compare = [&](std::string_view x, std::string_view y) {
    return locale::CompareString(lcid, flags, x.data(), static_cast<int>(x.size()), y.data(),
                                 static_cast<int>(y.size()));
  };
  Check(compare(a, b) == -compare(b, a));
  Check(compare(a, a) == 0);
  std::string mapped(bytes);
  int length = locale::LCMapString(lcid, locale::kLcmapHalfWidth | locale::kLcmapUpperCase,
                                   mapped.data(), static_cast<int>(mapped.size()), mapped.data(),
                                   static_cast<int>(mapped.size()));
  Check(length >= 0 && static_cast<size_t>(length) <= bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TClock kClock = SetClock(FixedNow);
  (void)kClock;
  if (size < 2) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  try {
    if (data[0] & 0x80) {
      Collate(data[1], text);
    } else {
      Convert(data[0], text, FormatsFor(data[1]));
    }
  } catch (const EConvertError&) {
  }
  return 0;
}
