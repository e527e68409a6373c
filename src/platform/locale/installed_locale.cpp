#include "platform/locale/installed_locale.h"

#include <unicode/uenum.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace tarnel::locale {

namespace {

bool IcuHasLanguage(const char* locale) {
  static const std::set<std::string> languages = [] {
    std::set<std::string> found;
    for (int32_t i = 0; i < uloc_countAvailable(); ++i) {
      char language[ULOC_LANG_CAPACITY];
      UErrorCode status = U_ZERO_ERROR;
      uloc_getLanguage(uloc_getAvailable(i), language, sizeof language, &status);
      if (U_SUCCESS(status)) found.insert(language);
    }
    return found;
  }();
  char language[ULOC_LANG_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLanguage(locale, language, sizeof language, &status);
  return U_SUCCESS(status) && languages.count(language) > 0;
}

// A collation named by keyword ("de@collation=phonebook") must be one ICU offers for the locale.
bool IcuHasCollation(const char* collation) {
  char type[ULOC_KEYWORDS_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getKeywordValue(collation, "collation", type, sizeof type, &status);
  if (U_FAILURE(status)) return false;
  if (length == 0) return true;
  char base[ULOC_FULLNAME_CAPACITY];
  uloc_getBaseName(collation, base, sizeof base, &status);
  UEnumeration* values = ucol_getKeywordValuesForLocale("collation", base, false, &status);
  bool found = false;
  const char* value;
  while (U_SUCCESS(status) && !found && (value = uenum_next(values, nullptr, &status)) != nullptr) {
    found = std::strcmp(value, type) == 0;
  }
  uenum_close(values);
  return found;
}

int CollatorIndex(bool stringSort, bool ignoreCase) {
  return (stringSort ? 2 : 0) + (ignoreCase ? 1 : 0);
}

}  // namespace

// One locale id of the table, with its installation checked once.
struct TLocaleSlot {
  TLocaleSlot(uint32_t lcid, const TLanguage* language, const char* collation)
      : Lcid(lcid), Locale(language, collation) {}

  bool Usable() {
    std::call_once(Checked, [this] { Installed = Locale.Install(); });
    return Installed && !Unavailable.load(std::memory_order_relaxed);
  }

  uint32_t Lcid;
  TInstalledLocale Locale;
  std::once_flag Checked;
  bool Installed = false;
  std::atomic<bool> Unavailable{false};
};

namespace {

// Every locale id the table offers, ordered by id.
const std::vector<std::unique_ptr<TLocaleSlot>>& Slots() {
  static const std::vector<std::unique_ptr<TLocaleSlot>> slots = [] {
    std::vector<std::unique_ptr<TLocaleSlot>> made;
    for (const TLanguage& language : Languages()) {
      if (language.LanguageId == kNoLanguage) continue;
      auto add = [&](uint16_t sortId) {
        uint32_t lcid = MakeLcid(language.LanguageId, sortId);
        made.push_back(std::make_unique<TLocaleSlot>(lcid, &language, CollationOf(lcid)));
      };
      add(0);
      if (language.AlternateSortId != 0) add(language.AlternateSortId);
    }
    std::sort(made.begin(), made.end(),
              [](const auto& a, const auto& b) { return a->Lcid < b->Lcid; });
    return made;
  }();
  return slots;
}

TLocaleSlot* FindSlot(uint32_t lcid) {
  const auto& slots = Slots();
  auto found = std::lower_bound(slots.begin(), slots.end(), lcid,
                                [](const auto& slot, uint32_t id) { return slot->Lcid < id; });
  return found != slots.end() && (*found)->Lcid == lcid ? found->get() : nullptr;
}

}  // namespace

UCollator* OpenCollator(const char* collation, bool stringSort, bool ignoreCase) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(collation, &status);
  if (U_FAILURE(status)) return nullptr;
  ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING,
                    stringSort ? UCOL_NON_IGNORABLE : UCOL_SHIFTED, &status);
  UColAttributeValue strength = ignoreCase   ? UCOL_SECONDARY
                                : stringSort ? UCOL_TERTIARY
                                             : UCOL_QUATERNARY;
  ucol_setAttribute(collator, UCOL_STRENGTH, strength, &status);
  if (U_FAILURE(status)) {
    ucol_close(collator);
    return nullptr;
  }
  return collator;
}

TInstalledLocale::TInstalledLocale(const TLanguage* language, const char* collation)
    : FLanguage(language), FCollation(collation) {}

TInstalledLocale::~TInstalledLocale() {
  for (auto& collator : FCollators) ucol_close(collator.load());
}

bool TInstalledLocale::Install() {
  FCodePage = TCodePage::Find(FLanguage->CodePage);
  if (FCodePage == nullptr || !IcuHasLanguage(FLanguage->IcuLocale) ||
      !IcuHasCollation(FCollation)) {
    return false;
  }
  UCollator* collator = OpenCollator(FCollation, true, false);
  FCollators[CollatorIndex(true, false)].store(collator);
  return collator != nullptr;
}

const UCollator* TInstalledLocale::Collator(bool stringSort, bool ignoreCase) const {
  std::atomic<UCollator*>& slot = FCollators[CollatorIndex(stringSort, ignoreCase)];
  UCollator* collator = slot.load(std::memory_order_acquire);
  if (collator != nullptr) return collator;
  static std::mutex creation;
  std::lock_guard<std::mutex> guard(creation);
  collator = slot.load(std::memory_order_relaxed);
  if (collator == nullptr) {
    collator = OpenCollator(FCollation, stringSort, ignoreCase);
    if (collator == nullptr)
      throw ELocaleError("The collation of locale " + std::string(FCollation) +
                         " cannot be opened");
    slot.store(collator, std::memory_order_release);
  }
  return collator;
}

const TInstalledLocale* TInstalledLocale::Find(uint32_t lcid) {
  TLocaleSlot* slot = FindSlot(lcid);
  return slot != nullptr && slot->Usable() ? &slot->Locale : nullptr;
}

const TInstalledLocale& TInstalledLocale::Require(uint32_t lcid) {
  const TInstalledLocale* locale = Find(lcid);
  if (locale == nullptr) {
    throw ELocaleError("Locale " + std::to_string(lcid) + " is not installed");
  }
  return *locale;
}

bool IsValidLocale(uint32_t lcid) { return TInstalledLocale::Find(lcid) != nullptr; }

void SetLocaleUnavailable(uint32_t lcid, bool unavailable) {
  TLocaleSlot* slot = FindSlot(lcid);
  if (slot != nullptr) slot->Unavailable.store(unavailable, std::memory_order_relaxed);
}

}  // namespace tarnel::locale
