#include "platform/locale/case_mapping.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/locale/installed_locale.h"
#include "platform/rtl/exception.h"

namespace tarnel::locale {

namespace {

// A full-width character and the one or two half-width characters it folds to (a voiced
// katakana becomes the plain half-width katakana and the half-width voicing mark).
struct THalfWidth {
  char16_t Wide;
  char16_t Narrow[2];
  int Count;
};

char16_t SingleDecomposition(const UNormalizer2* normalizer, char16_t c) {
  UErrorCode status = U_ZERO_ERROR;
  UChar units[4];
  int32_t length = unorm2_getRawDecomposition(normalizer, c, units, 4, &status);
  return U_SUCCESS(status) && length == 1 ? units[0] : 0;
}

// Built from ICU's character data: the <wide> and <narrow> compatibility decompositions of the
// half-width and full-width forms block and the ideographic space, and the canonical
// decompositions of the voiced katakana.
std::vector<THalfWidth> BuildHalfWidthTable() {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* compatibility = unorm2_getNFKCInstance(&status);
  const UNormalizer2* canonical = unorm2_getNFCInstance(&status);
  std::vector<THalfWidth> table;
  auto find = [&](char16_t wide) -> const THalfWidth* {
    for (const THalfWidth& entry : table) {
      if (entry.Wide == wide) return &entry;
    }
    return nullptr;
  };
  auto add = [&](char16_t wide, char16_t narrow) {
    if (find(wide) == nullptr) table.push_back({wide, {narrow, 0}, 1});
  };
  auto consider = [&](char16_t c) {
    char16_t decomposed = SingleDecomposition(compatibility, c);
    if (decomposed == 0) return;
    int type = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
    if (type == U_DT_WIDE) add(c, decomposed);
    if (type == U_DT_NARROW) add(decomposed, c);
  };
  consider(0x3000);
  for (char16_t c = 0xFF01; c <= 0xFFEE; ++c) consider(c);
  for (char16_t c = 0x30A0; c <= 0x30FF; ++c) {
    UChar parts[4];
    status = U_ZERO_ERROR;
    if (unorm2_getRawDecomposition(canonical, c, parts, 4, &status) != 2 || U_FAILURE(status)) {
      continue;
    }
    const THalfWidth* base = find(parts[0]);
    const THalfWidth* mark = find(parts[1]);
    if (base != nullptr && mark != nullptr) {
      table.push_back({c, {base->Narrow[0], mark->Narrow[0]}, 2});
    }
  }
  std::sort(table.begin(), table.end(),
            [](const THalfWidth& a, const THalfWidth& b) { return a.Wide < b.Wide; });
  return table;
}

const THalfWidth* FindHalfWidth(char16_t c) {
  if (c < 0x2190) return nullptr;  // below the arrows, the first wide forms with a narrow one
  static const std::vector<THalfWidth> table = BuildHalfWidthTable();
  auto found =
      std::lower_bound(table.begin(), table.end(), c,
                       [](const THalfWidth& entry, char16_t wide) { return entry.Wide < wide; });
  return found != table.end() && found->Wide == c ? &*found : nullptr;
}

char16_t MapCase(char16_t c, bool upper, bool turkish) {
  if (turkish) {
    if (upper && c == u'i') return u'\u0130';
    if (!upper && c == u'I') return u'\u0131';
  }
  UChar32 mapped = upper ? u_toupper(c) : u_tolower(c);
  return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

int MapAscii(bool upper, bool lower, const char* source, int length, char* destination) {
  for (int i = 0; i < length; ++i) {
    char c = source[i];
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    destination[i] = c;
  }
  return length;
}

}  // namespace

int LCMapString(uint32_t lcid, uint32_t flags, const char* source, int length, char* destination,
                int capacity) {
  bool upper = (flags & kLcmapUpperCase) != 0;
  bool lower = (flags & kLcmapLowerCase) != 0;
  bool halfWidth = (flags & kLcmapHalfWidth) != 0;
  if ((flags & ~(kLcmapLowerCase | kLcmapUpperCase | kLcmapHalfWidth)) != 0 || (upper && lower)) {
    throw ELocaleError("Unsupported mapping flags " + std::to_string(flags));
  }
  if (capacity < length) throw ELocaleError("The mapping destination is too small");
  if (LangIdFromLcid(lcid) == kNoLanguage) {
    return MapAscii(upper, lower, source, length, destination);
  }
  const TInstalledLocale& locale = TInstalledLocale::Require(lcid);
  const TCodePage& codePage = locale.CodePage();
  int read = 0;
  int written = 0;
  while (read < length) {
    char16_t unit;
    bool defined;
    int sourceBytes = codePage.DecodeChar(source + read, length - read, unit, defined);
    char16_t mapped[2];
    int count = 0;
    if (defined) {
      const THalfWidth* narrow = halfWidth ? FindHalfWidth(unit) : nullptr;
      count = narrow ? narrow->Count : 1;
      for (int i = 0; i < count; ++i) {
        char16_t c = narrow ? narrow->Narrow[i] : unit;
        mapped[i] = upper || lower ? MapCase(c, upper, locale.TurkishCasing()) : c;
      }
      // A character the mapping leaves alone keeps its own bytes: a code page may have two
      // byte pairs for one character.
      if (count == 1 && mapped[0] == unit) count = 0;
    }
    char bytes[4];
    int mappedBytes = 0;
    for (int i = 0; i < count && mappedBytes >= 0; ++i) {
      int size = codePage.EncodeChar(mapped[i], bytes + mappedBytes, true);
      mappedBytes = size == 0 ? -1 : mappedBytes + size;
    }
    // The source character is read before its mapping is written, and the mapping never
    // outgrows it, so mapping in place is safe.
    if (count == 0 || mappedBytes < 0 || mappedBytes > sourceBytes) {
      std::memmove(destination + written, source + read, static_cast<size_t>(sourceBytes));
      written += sourceBytes;
    } else {
      std::memcpy(destination + written, bytes, static_cast<size_t>(mappedBytes));
      written += mappedBytes;
    }
    read += sourceBytes;
  }
  return written;
}

}  // namespace tarnel::locale
