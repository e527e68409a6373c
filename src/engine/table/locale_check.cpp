#include "engine/table/locale_check.h"

namespace tarnel {

bool LocaleInstalled(uint16_t languageId, uint16_t sortId) {
  (void)sortId;
  return languageId != 0;
}

}  // namespace tarnel
