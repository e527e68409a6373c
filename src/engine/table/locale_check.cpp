#include "engine/table/locale_check.h"

#include "platform/locale/installed_locale.h"
#include "platform/locale/language_table.h"

namespace tarnel {

bool LocaleInstalled(uint16_t languageId, uint16_t sortId) {
  return locale::IsValidLocale(locale::MakeLcid(languageId, sortId));
}

}  // namespace tarnel
