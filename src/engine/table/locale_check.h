// Whether the locale of a table's language is available on this machine.
#pragma once

#include <cstdint>

namespace tarnel {

bool LocaleInstalled(uint16_t languageId, uint16_t sortId);

}  // namespace tarnel
