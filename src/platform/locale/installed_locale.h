// The locales of the language table that this machine can use. A locale is installed when the
// table knows its language and sort, ICU has data for its language (and its collation, when it
// names one) and a converter for its code page, and no test has made it unavailable. An
// installed locale owns its collators, made on first use and kept for the life of the process.
#pragma once

#include <unicode/ucol.h>

#include <atomic>
#include <cstdint>

#include "platform/locale/code_page.h"
#include "platform/locale/language_table.h"

namespace tarnel::locale {

class TInstalledLocale {
 public:
  // The installed locale of a locale id, or nullptr (always for language 0).
  static const TInstalledLocale* Find(uint32_t lcid);
  // As Find, but a locale that is not installed raises ELocaleError.
  static const TInstalledLocale& Require(uint32_t lcid);

  const TLanguage& Language() const { return *FLanguage; }
  const TCodePage& CodePage() const { return *FCodePage; }
  // Case mapping with the Turkish dotted and dotless i.
  bool TurkishCasing() const { return PrimaryLangId(FLanguage->LanguageId) == 31; }

  // The collator of this locale for one comparison form, shared by all threads (ICU collators
  // may be used concurrently once made). String sort: every character counts, punctuation
  // included, at tertiary strength; word sort: punctuation and spaces count only after letters,
  // accents and case (ICU's shifted handling at quaternary strength). Ignoring case compares at
  // secondary strength.
  const UCollator* Collator(bool stringSort, bool ignoreCase) const;

  TInstalledLocale(const TInstalledLocale&) = delete;
  TInstalledLocale& operator=(const TInstalledLocale&) = delete;

 private:
  friend struct TLocaleSlot;
  TInstalledLocale(const TLanguage* language, const char* collation);
  ~TInstalledLocale();
  bool Install();

  const TLanguage* FLanguage;
  const char* FCollation;
  const TCodePage* FCodePage = nullptr;
  mutable std::atomic<UCollator*> FCollators[4] = {};
};

// A new collator of an ICU collation for one comparison form (as TInstalledLocale::Collator
// describes them), or nullptr when ICU cannot open it. The caller closes it.
UCollator* OpenCollator(const char* collation, bool stringSort, bool ignoreCase);

// True for an installed locale; false for language 0, which is no locale.
bool IsValidLocale(uint32_t lcid);
// Makes an installed locale unavailable, or available again, for the whole process: the way
// tests reach what happens on a machine without it. Collators already handed out stay valid.
void SetLocaleUnavailable(uint32_t lcid, bool unavailable);

}  // namespace tarnel::locale
