// The languages the system knows: Windows language ids (primary language | sublanguage << 10) and
// locale ids (SortId × 65536 + LanguageId), each with its ICU locale, ANSI code page and English
// name. One fixed table, in the order the transfer utility lists the languages.
#pragma once

#include <cstdint>
#include <span>

namespace tarnel::locale {

constexpr uint16_t MakeLangId(uint16_t primary, uint16_t sub) {
  return static_cast<uint16_t>(sub << 10 | primary);
}
constexpr uint16_t PrimaryLangId(uint16_t languageId) { return languageId & 0x3FF; }
constexpr uint16_t SubLangId(uint16_t languageId) { return languageId >> 10; }
constexpr uint32_t MakeLcid(uint16_t languageId, uint16_t sortId) {
  return static_cast<uint32_t>(sortId) << 16 | languageId;
}
constexpr uint16_t LangIdFromLcid(uint32_t lcid) { return static_cast<uint16_t>(lcid & 0xFFFF); }
constexpr uint16_t SortIdFromLcid(uint32_t lcid) { return static_cast<uint16_t>(lcid >> 16); }

// Language 0: no locale. Texts compare bytewise, only a to z change case, code page 1252.
constexpr uint16_t kNoLanguage = 0;
constexpr int kNoLanguageCodePage = 1252;

struct TLanguage {
  uint16_t LanguageId;
  const char* Name;          // as the transfer utility lists it, "Machine ASCII" for language 0
  const char* IcuLocale;     // formats and case mapping; empty for language 0
  uint16_t CodePage;         // the ANSI code page table texts of this language are stored in
  const char* Collation;     // ICU collation of sort 0; nullptr: that of IcuLocale
  uint16_t AlternateSortId;  // the one further sort the language offers, 0 when none
  const char* AlternateCollation;
};

// Every known language in list order; the first entry is language 0.
std::span<const TLanguage> Languages();
// The entry of a language id, or nullptr.
const TLanguage* FindLanguage(uint16_t languageId);
// The ICU collation of a locale id, or nullptr when the language does not offer that sort.
const char* CollationOf(uint32_t lcid);
// The ANSI code page of a language: 1252 for language 0, 0 for a language the table lacks.
int CodePageOf(uint16_t languageId);

}  // namespace tarnel::locale
