// Windows ANSI and OEM code pages (single- and double-byte) and their conversion to and from
// Unicode. Each code page is read once from ICU's converter into tables that are then shared by
// every thread without locks or allocation; the collation layer decodes table texts through them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel::locale {

class TCodePage {
 public:
  // A byte that starts no character of the code page decodes, for collation and case mapping,
  // as this private-use character plus the byte: no byte string fails to decode, and the
  // stand-ins encode back to their bytes.
  static constexpr char16_t kUndefinedBase = 0xF700;

  // The code page with this number, built on first use and kept for the life of the process;
  // nullptr when ICU has no single- or double-byte converter for it.
  static const TCodePage* Find(int codePage);

  // Decodes the character at `bytes` (`remaining` > 0) into `unit` and returns its length in
  // bytes (1 or 2). A byte that starts no character, or a lead byte without a valid trail byte,
  // decodes alone as kUndefinedBase + byte and `defined` becomes false.
  int DecodeChar(const char* bytes, int remaining, char16_t& unit, bool& defined) const;
  // Decodes `length` bytes into `units` (room for `length` units), undefined bytes as their
  // stand-ins; returns the number of units.
  int Decode(const char* bytes, int length, char16_t* units) const;
  // The bytes of one character (at most 2, written to `out`), or 0 when the code page has none
  // for it. With `lossless`, the private-use stand-ins of undefined bytes encode back to them.
  int EncodeChar(char16_t unit, char* out, bool lossless) const;

 private:
  TCodePage();
  bool Load(const char* converterName);

  static constexpr uint16_t kNoBytes = 0xFFFF;

  char16_t FSingle[256] = {};  // by byte; 0 for lead bytes and undefined bytes (except 0x00)
  bool FSingleDefined[256] = {};
  int16_t FLeadIndex[256];             // row of a lead byte in FDoubleTable, -1 otherwise
  std::vector<char16_t> FDoubleTable;  // 256 trail bytes per lead byte; 0 = no character
  std::vector<uint16_t> FFromUnicode;  // by UTF-16 unit: byte, or lead << 8 | trail, or kNoBytes
};

// The outcome of a conversion: the converted text and how many characters had no counterpart
// (undefined bytes decode as U+FFFD; characters the target lacks encode as '?').
struct TConversion {
  std::string Text;
  int Unmappable = 0;
};

// Each raises ELocaleError when a code page is not available.
TConversion CodePageToUtf8(int codePage, std::string_view bytes);
TConversion Utf8ToCodePage(int codePage, std::string_view text);
TConversion ConvertCodePage(int fromCodePage, int toCodePage, std::string_view bytes);

}  // namespace tarnel::locale
