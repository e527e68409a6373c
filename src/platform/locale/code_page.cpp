#include "platform/locale/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <map>
#include <mutex>

#include "platform/rtl/exception.h"

namespace tarnel::locale {

namespace {

struct TConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using TConverter = std::unique_ptr<UConverter, TConverterCloser>;

// Decodes `length` bytes strictly: the one UTF-16 unit they form, or 0 when they are not one
// whole character (`truncated` tells a lead byte that wants a trail byte).
char16_t DecodeStrictly(UConverter* converter, const char* bytes, int length, bool& truncated) {
  UErrorCode status = U_ZERO_ERROR;
  UChar units[4];
  int32_t count = ucnv_toUChars(converter, units, 4, bytes, length, &status);
  truncated = status == U_TRUNCATED_CHAR_FOUND;
  if (U_FAILURE(status) || count != 1 || U16_IS_SURROGATE(units[0])) return 0;
  return units[0];
}

std::string Utf8Of(char16_t unit) {
  char bytes[4];
  int32_t length = 0;
  U8_APPEND_UNSAFE(bytes, length, unit);
  return std::string(bytes, static_cast<size_t>(length));
}

const TCodePage& Require(int codePage) {
  const TCodePage* found = TCodePage::Find(codePage);
  if (found == nullptr) {
    throw ELocaleError("Code page " + std::to_string(codePage) + " is not available");
  }
  return *found;
}

// Decodes every character of `bytes` through `sink(unit)`; an undefined byte gives U+FFFD.
template <typename Sink>
int DecodeAll(const TCodePage& codePage, std::string_view bytes, Sink sink) {
  int unmappable = 0;
  size_t position = 0;
  while (position < bytes.size()) {
    char16_t unit = 0;
    bool defined = true;
    position += static_cast<size_t>(codePage.DecodeChar(
        bytes.data() + position, static_cast<int>(bytes.size() - position), unit, defined));
    if (!defined) {
      ++unmappable;
      unit = 0xFFFD;
    }
    sink(unit);
  }
  return unmappable;
}

void EncodeInto(const TCodePage& codePage, char16_t unit, TConversion& result) {
  char bytes[2];
  int length = U16_IS_SURROGATE(unit) ? 0 : codePage.EncodeChar(unit, bytes, false);
  if (length == 0) {
    ++result.Unmappable;
    result.Text += '?';
  } else {
    result.Text.append(bytes, static_cast<size_t>(length));
  }
}

}  // namespace

TCodePage::TCodePage() {
  for (int16_t& index : FLeadIndex) index = -1;
}

const TCodePage* TCodePage::Find(int codePage) {
  static std::mutex lock;
  static std::map<int, std::unique_ptr<TCodePage>> loaded;
  std::lock_guard<std::mutex> guard(lock);
  auto found = loaded.find(codePage);
  if (found != loaded.end()) return found->second.get();
  std::unique_ptr<TCodePage> page(new TCodePage());
  std::string number = std::to_string(codePage);
  bool ok = false;
  for (const std::string& name : {"windows-" + number, "ibm-" + number, "cp" + number}) {
    if (page->Load(name.c_str())) {
      ok = true;
      break;
    }
  }
  if (!ok) page.reset();
  return (loaded[codePage] = std::move(page)).get();
}

bool TCodePage::Load(const char* converterName) {
  UErrorCode status = U_ZERO_ERROR;
  TConverter converter(ucnv_open(converterName, &status));
  if (U_FAILURE(status) || ucnv_getMaxCharSize(converter.get()) > 2 ||
      ucnv_getType(converter.get()) == UCNV_UTF8) {
    return false;
  }
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  FFromUnicode.assign(0x10000, kNoBytes);
  std::vector<int> leads;
  for (int byte = 0; byte < 256; ++byte) {
    char in = static_cast<char>(byte);
    bool truncated = false;
    char16_t unit = DecodeStrictly(converter.get(), &in, 1, truncated);
    if (truncated) {
      leads.push_back(byte);
    } else if (unit != 0 || byte == 0) {
      FSingle[byte] = unit;
      FSingleDefined[byte] = true;
      if (FFromUnicode[unit] == kNoBytes) FFromUnicode[unit] = static_cast<uint16_t>(byte);
    }
  }
  FDoubleTable.assign(leads.size() * 256, 0);
  for (size_t row = 0; row < leads.size(); ++row) {
    int lead = leads[row];
    FLeadIndex[lead] = static_cast<int16_t>(row);
    for (int trail = 0; trail < 256; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      bool truncated = false;
      char16_t unit = DecodeStrictly(converter.get(), in, 2, truncated);
      if (unit == 0) continue;
      FDoubleTable[row * 256 + static_cast<size_t>(trail)] = unit;
      if (FFromUnicode[unit] == kNoBytes) {
        FFromUnicode[unit] = static_cast<uint16_t>(lead << 8 | trail);
      }
    }
  }
  return true;
}

int TCodePage::DecodeChar(const char* bytes, int remaining, char16_t& unit, bool& defined) const {
  auto first = static_cast<unsigned char>(bytes[0]);
  int16_t row = FLeadIndex[first];
  if (row >= 0 && remaining >= 2) {
    char16_t pair =
        FDoubleTable[static_cast<size_t>(row) * 256 + static_cast<unsigned char>(bytes[1])];
    if (pair != 0) {
      unit = pair;
      defined = true;
      return 2;
    }
  }
  defined = FSingleDefined[first];
  unit = defined ? FSingle[first] : static_cast<char16_t>(kUndefinedBase + first);
  return 1;
}

int TCodePage::Decode(const char* bytes, int length, char16_t* units) const {
  int count = 0;
  int position = 0;
  while (position < length) {
    bool defined;
    position += DecodeChar(bytes + position, length - position, units[count++], defined);
  }
  return count;
}

int TCodePage::EncodeChar(char16_t unit, char* out, bool lossless) const {
  uint16_t bytes = FFromUnicode[unit];
  if (bytes == kNoBytes) {
    if (lossless && unit >= kUndefinedBase && unit <= kUndefinedBase + 0xFF) {
      out[0] = static_cast<char>(unit - kUndefinedBase);
      return 1;
    }
    return 0;
  }
  if (bytes > 0xFF) {
    out[0] = static_cast<char>(bytes >> 8);
    out[1] = static_cast<char>(bytes & 0xFF);
    return 2;
  }
  out[0] = static_cast<char>(bytes);
  return 1;
}

TConversion CodePageToUtf8(int codePage, std::string_view bytes) {
  TConversion result;
  result.Text.reserve(bytes.size());
  result.Unmappable =
      DecodeAll(Require(codePage), bytes, [&](char16_t unit) { result.Text += Utf8Of(unit); });
  return result;
}

TConversion Utf8ToCodePage(int codePage, std::string_view text) {
  const TCodePage& target = Require(codePage);
  TConversion result;
  result.Text.reserve(text.size());
  int32_t position = 0;
  auto length = static_cast<int32_t>(text.size());
  while (position < length) {
    UChar32 c;
    U8_NEXT(text.data(), position, length, c);
    // Invalid UTF-8 and characters beyond the 16-bit range have no code page counterpart.
    EncodeInto(target, c < 0 || c > 0xFFFF ? char16_t{0xD800} : static_cast<char16_t>(c), result);
  }
  return result;
}

TConversion ConvertCodePage(int fromCodePage, int toCodePage, std::string_view bytes) {
  const TCodePage& source = Require(fromCodePage);
  const TCodePage& target = Require(toCodePage);
  TConversion result;
  result.Text.reserve(bytes.size());
  int undefined = DecodeAll(source, bytes, [&](char16_t unit) {
    if (unit == 0xFFFD) {
      result.Text += '?';
    } else {
      EncodeInto(target, unit, result);
    }
  });
  result.Unmappable += undefined;
  return result;
}

}  // namespace tarnel::locale
