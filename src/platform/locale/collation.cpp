#include "platform/locale/collation.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/locale/installed_locale.h"
#include "platform/rtl/exception.h"

namespace tarnel::locale {

namespace {

constexpr int kStackUnits = 256;

int Sign(int value) { return (value > 0) - (value < 0); }

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

int CompareBytes(bool ignoreCase, const char* a, int lengthA, const char* b, int lengthB) {
  int common = std::min(lengthA, lengthB);
  if (!ignoreCase) {
    int result = common > 0 ? std::memcmp(a, b, static_cast<size_t>(common)) : 0;
    if (result != 0) return Sign(result);
  } else {
    for (int i = 0; i < common; ++i) {
      unsigned char x = AsciiUpper(static_cast<unsigned char>(a[i]));
      unsigned char y = AsciiUpper(static_cast<unsigned char>(b[i]));
      if (x != y) return x < y ? -1 : 1;
    }
  }
  return Sign(lengthA - lengthB);
}

// A decoded string: on the stack when short, on the heap otherwise.
class TDecoded {
 public:
  TDecoded(const TCodePage& codePage, const char* bytes, int length) {
    char16_t* units = FStack;
    if (length > kStackUnits) {
      FHeap.resize(static_cast<size_t>(length));
      units = FHeap.data();
    }
    FUnits = units;
    FCount = codePage.Decode(bytes, length, units);
  }
  const UChar* Units() const { return FUnits; }
  int32_t Count() const { return FCount; }

 private:
  char16_t FStack[kStackUnits];
  std::u16string FHeap;
  const char16_t* FUnits;
  int32_t FCount;
};

}  // namespace

int CompareString(uint32_t lcid, uint32_t flags, const char* a, int lengthA, const char* b,
                  int lengthB) {
  if ((flags & ~(kNormIgnoreCase | kSortStringSort)) != 0) {
    throw ELocaleError("Unsupported comparison flags " + std::to_string(flags));
  }
  bool ignoreCase = (flags & kNormIgnoreCase) != 0;
  if (LangIdFromLcid(lcid) == kNoLanguage) return CompareBytes(ignoreCase, a, lengthA, b, lengthB);
  const TInstalledLocale& locale = TInstalledLocale::Require(lcid);
  const UCollator* collator = locale.Collator((flags & kSortStringSort) != 0, ignoreCase);
  TDecoded left(locale.CodePage(), a, lengthA);
  TDecoded right(locale.CodePage(), b, lengthB);
  switch (ucol_strcoll(collator, left.Units(), left.Count(), right.Units(), right.Count())) {
    case UCOL_LESS:
      return -1;
    case UCOL_GREATER:
      return 1;
    default:
      return 0;
  }
}

}  // namespace tarnel::locale
