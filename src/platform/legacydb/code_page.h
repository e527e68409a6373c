// Code pages of the source tables and the conversion of their texts into another code page
// (the transliteration the transfer utility offers). The numbers are Windows and DOS code page
// numbers; 65001 is UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel::legacydb {

// The code page of a dBase language driver byte (header byte 29); 0 when the byte names none.
int CodePageOfLanguageDriver(uint8_t driver);
// The code page of a language driver name such as "DB437US0", "DBWINUS0" or "ANSII850" (the
// names dBase 7 headers and Paradox sort orders carry); 0 when the name tells none.
int CodePageOfDriverName(const std::string& name);

constexpr int kUtf8 = 65001;

// Converts texts from one code page into another (65001 is UTF-8). Characters the target cannot
// show become "?".
class TTransliterator {
 public:
  TTransliterator(int fromCodePage, int toCodePage);

  // Raises ELegacyDbError naming `fileName` when either code page has no converter on this
  // machine.
  std::string Convert(const std::string& text, const std::string& fileName);

 private:
  int FFromCodePage;
  int FToCodePage;
};

}  // namespace tarnel::legacydb
