#include "platform/legacydb/code_page.h"

#include <cctype>
#include <vector>

#include "platform/legacydb/legacy_error.h"
#include "platform/locale/code_page.h"
#include "platform/rtl/exception.h"

namespace tarnel::legacydb {

namespace {

struct TDriverCodePage {
  uint8_t Driver;
  int CodePage;
};

// dBase and FoxPro language driver bytes.
constexpr TDriverCodePage kDrivers[] = {
    {0x01, 437},   {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},   {0x09, 437},
    {0x0A, 850},   {0x0B, 437},   {0x0D, 437},   {0x0E, 850},   {0x0F, 437},   {0x10, 850},
    {0x11, 437},   {0x12, 850},   {0x13, 932},   {0x14, 850},   {0x15, 437},   {0x16, 850},
    {0x17, 865},   {0x18, 437},   {0x19, 437},   {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
    {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},   {0x24, 860},   {0x25, 850},
    {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},   {0x4E, 949},   {0x4F, 950},
    {0x50, 874},   {0x57, 1252},  {0x58, 1252},  {0x59, 1252},  {0x64, 852},   {0x65, 866},
    {0x66, 865},   {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},   {0x6B, 857},
    {0x6C, 863},   {0x78, 950},   {0x79, 949},   {0x7A, 936},   {0x7B, 932},   {0x7C, 874},
    {0x7D, 1255},  {0x7E, 1256},  {0x86, 737},   {0x87, 852},   {0x88, 857},   {0x96, 10007},
    {0x97, 10029}, {0x98, 10006}, {0xC8, 1250},  {0xC9, 1251},  {0xCA, 1254},  {0xCB, 1253},
    {0xCC, 1257},
};

}  // namespace

int CodePageOfLanguageDriver(uint8_t driver) {
  for (const TDriverCodePage& entry : kDrivers) {
    if (entry.Driver == driver) return entry.CodePage;
  }
  return 0;
}

int CodePageOfDriverName(const std::string& name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("DBWIN", 0) == 0 || upper.rfind("ANSIINTL", 0) == 0) return 1252;
  if (upper == "ASCII") return 437;
  // "DB437US0", "DB850DE0", "ANSII850": the first run of digits after the prefix.
  size_t digits = upper.find_first_of("0123456789");
  if (digits == std::string::npos || digits == 0) return 0;
  size_t end = upper.find_first_not_of("0123456789", digits);
  std::string number = upper.substr(digits, end == std::string::npos ? std::string::npos : end - digits);
  if (number.size() != 3 && number.size() != 4) return 0;
  if (upper.rfind("ANSII", 0) == 0) return 1252;  // the ANSI counterpart of a DOS order
  return std::stoi(number);
}

TTransliterator::TTransliterator(int fromCodePage, int toCodePage)
    : FFromCodePage(fromCodePage), FToCodePage(toCodePage) {}

std::string TTransliterator::Convert(const std::string& text, const std::string& fileName) {
  if (FFromCodePage == FToCodePage || text.empty()) return text;
  try {
    if (FToCodePage == kUtf8) return locale::CodePageToUtf8(FFromCodePage, text).Text;
    if (FFromCodePage == kUtf8) return locale::Utf8ToCodePage(FToCodePage, text).Text;
    return locale::ConvertCodePage(FFromCodePage, FToCodePage, text).Text;
  } catch (const ELocaleError&) {
    bool fromKnown = FFromCodePage == kUtf8 || locale::TCodePage::Find(FFromCodePage) != nullptr;
    int missing = fromKnown ? FToCodePage : FFromCodePage;
    throw ELegacyDbError(fileName, "code page " + std::to_string(missing) + " is not available");
  }
}

}  // namespace tarnel::legacydb
