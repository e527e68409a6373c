// The user's own locale, taken from the environment (LC_ALL, else LANG) as a POSIX locale name
// ("de_DE.UTF-8", "sr_RS@latin"): the programs' formats, the user's language id, and the
// comparisons and case mappings of the programs' own texts (UTF-8), such as memory file names
// and passwords. C and POSIX (or nothing set) mean no locale: bytes and ASCII letters only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel::locale {

// The ICU locale id of the user's locale ("de_DE", "sr_Latn_RS"); empty for C and POSIX.
std::string UserLocale();
// Replaces the user's locale for the whole process with a POSIX or ICU locale name ("C" for
// none); an empty name reads the environment again. Programs call it at start and tests to pin
// a locale; threads already comparing keep working with the locale they started with.
void SetUserLocale(const std::string& name);

// The language of the user's locale in the language table: the entry with the same language,
// script and country, else the first with the same language and script (entries without a
// collation of their own first); 0 for no locale or a language the table lacks.
uint16_t GetUserDefaultLangID();
// The user's language with sort 0.
uint32_t GetThreadLocale();

// UTF-8 texts compared in the user's locale (word sort): -1, 0 or 1. AnsiCompareStr is
// case-sensitive, AnsiCompareText ignores case. Without a locale: bytes, or ASCII letters
// compared as upper case.
int AnsiCompareStr(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);
// UTF-8 texts upper- or lower-cased in the user's locale (full case mapping, so "ß" becomes "SS");
// without a locale only a to z (or A to Z) change.
std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);

}  // namespace tarnel::locale
