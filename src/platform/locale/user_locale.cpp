#include "platform/locale/user_locale.h"

#include <unicode/ucasemap.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/locale/installed_locale.h"
#include "platform/locale/language_table.h"

namespace tarnel::locale {

namespace {

// "de_DE.UTF-8" -> "de_DE", "sr_RS@latin" -> "sr_Latn_RS", "de-CH" -> "de_CH"; "" for C and
// POSIX.
std::string IcuNameOf(std::string name) {
  if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return "";
  std::string modifier;
  size_t at = name.find('@');
  if (at != std::string::npos) {
    modifier = name.substr(at + 1);
    name.erase(at);
  }
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  std::replace(name.begin(), name.end(), '-', '_');
  const char* script = modifier == "latin" ? "Latn" : modifier == "cyrillic" ? "Cyrl" : nullptr;
  if (script != nullptr) {
    size_t underscore = name.find('_');
    name.insert(underscore == std::string::npos ? name.size() : underscore,
                std::string("_") + script);
  }
  return name;
}

std::string EnvironmentLocale() {
  for (const char* variable : {"LC_ALL", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != 0) return value;
  }
  return "";
}

// Language, script and country with the likely ones filled in ("sr_RS" -> "sr_Cyrl_RS").
struct TSubtags {
  std::string Language;
  std::string Script;
  std::string Country;
};

TSubtags SubtagsOf(const char* locale) {
  char full[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  uloc_addLikelySubtags(locale, full, sizeof full, &status);
  if (U_FAILURE(status)) return {};
  char language[ULOC_LANG_CAPACITY] = "";
  char script[ULOC_SCRIPT_CAPACITY] = "";
  char country[ULOC_COUNTRY_CAPACITY] = "";
  uloc_getLanguage(full, language, sizeof language, &status);
  uloc_getScript(full, script, sizeof script, &status);
  uloc_getCountry(full, country, sizeof country, &status);
  return {language, script, country};
}

uint16_t LanguageIdOf(const std::string& icuName) {
  if (icuName.empty()) return kNoLanguage;
  TSubtags user = SubtagsOf(icuName.c_str());
  const TLanguage* sameLanguage = nullptr;
  const TLanguage* sameCountry = nullptr;
  for (const TLanguage& language : Languages()) {
    if (language.LanguageId == kNoLanguage) continue;
    TSubtags entry = SubtagsOf(language.IcuLocale);
    if (entry.Language != user.Language || entry.Script != user.Script) continue;
    auto better = [&](const TLanguage* chosen) {
      return chosen == nullptr || (chosen->Collation != nullptr && language.Collation == nullptr);
    };
    if (better(sameLanguage)) sameLanguage = &language;
    if (entry.Country == user.Country && better(sameCountry)) sameCountry = &language;
  }
  const TLanguage* found = sameCountry ? sameCountry : sameLanguage;
  return found ? found->LanguageId : kNoLanguage;
}

// One user locale with what its comparisons and mappings need, made once.
struct TUserLocale {
  explicit TUserLocale(const std::string& name)
      : Icu(IcuNameOf(name)), LanguageId(LanguageIdOf(Icu)) {
    if (Icu.empty()) return;
    CaseSensitive = OpenCollator(Icu.c_str(), false, false);
    CaseInsensitive = OpenCollator(Icu.c_str(), false, true);
    UErrorCode status = U_ZERO_ERROR;
    CaseMap = ucasemap_open(Icu.c_str(), 0, &status);
    if (U_FAILURE(status)) CaseMap = nullptr;
  }
  ~TUserLocale() {
    ucol_close(CaseSensitive);
    ucol_close(CaseInsensitive);
    ucasemap_close(CaseMap);
  }
  TUserLocale(const TUserLocale&) = delete;
  TUserLocale& operator=(const TUserLocale&) = delete;

  std::string Icu;
  uint16_t LanguageId;
  UCollator* CaseSensitive = nullptr;
  UCollator* CaseInsensitive = nullptr;
  UCaseMap* CaseMap = nullptr;
};

// Every user locale made so far stays alive, so that a thread still comparing with a replaced
// one is safe.
std::mutex gUserLock;
std::vector<std::unique_ptr<TUserLocale>> gUserLocales;
std::atomic<const TUserLocale*> gCurrent{nullptr};

const TUserLocale& Install(const std::string& name) {
  gUserLocales.push_back(std::make_unique<TUserLocale>(name));
  gCurrent.store(gUserLocales.back().get(), std::memory_order_release);
  return *gUserLocales.back();
}

const TUserLocale& Current() {
  const TUserLocale* current = gCurrent.load(std::memory_order_acquire);
  if (current != nullptr) return *current;
  std::lock_guard<std::mutex> guard(gUserLock);
  current = gCurrent.load(std::memory_order_relaxed);
  return current != nullptr ? *current : Install(EnvironmentLocale());
}

int Sign(int value) { return (value > 0) - (value < 0); }

int CompareUtf8(const UCollator* collator, bool ignoreCase, std::string_view a,
                std::string_view b) {
  if (collator == nullptr) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
      auto x = static_cast<unsigned char>(a[i]);
      auto y = static_cast<unsigned char>(b[i]);
      if (ignoreCase) {
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
      }
      if (x != y) return x < y ? -1 : 1;
    }
    return Sign(static_cast<int>(a.size() > b.size()) - static_cast<int>(a.size() < b.size()));
  }
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult result = ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()),
                                             b.data(), static_cast<int32_t>(b.size()), &status);
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

using TMapper = int32_t (*)(const UCaseMap*, char*, int32_t, const char*, int32_t, UErrorCode*);

std::string MapUtf8(TMapper mapper, bool upper, std::string_view text) {
  const UCaseMap* caseMap = Current().CaseMap;
  std::string result(text);
  if (caseMap == nullptr) {
    for (char& c : result) {
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return result;
  }
  auto length = static_cast<int32_t>(text.size());
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = mapper(caseMap, nullptr, 0, text.data(), length, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return result;
  result.resize(static_cast<size_t>(needed));
  status = U_ZERO_ERROR;
  mapper(caseMap, result.data(), needed, text.data(), length, &status);
  return result;
}

}  // namespace

std::string UserLocale() { return Current().Icu; }

void SetUserLocale(const std::string& name) {
  std::lock_guard<std::mutex> guard(gUserLock);
  Install(name.empty() ? EnvironmentLocale() : name);
}

uint16_t GetUserDefaultLangID() { return Current().LanguageId; }

uint32_t GetThreadLocale() { return MakeLcid(GetUserDefaultLangID(), 0); }

int AnsiCompareStr(std::string_view a, std::string_view b) {
  return CompareUtf8(Current().CaseSensitive, false, a, b);
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  return CompareUtf8(Current().CaseInsensitive, true, a, b);
}

std::string AnsiUpperCase(std::string_view text) {
  return MapUtf8(ucasemap_utf8ToUpper, true, text);
}

std::string AnsiLowerCase(std::string_view text) {
  return MapUtf8(ucasemap_utf8ToLower, false, text);
}

}  // namespace tarnel::locale
