// The utility's version information, as its build gives it.
#pragma once

#include "platform/ui/info_version.h"

namespace tarnel::tolbrin {

ui::TInfoVersion ProgramVersion();

}  // namespace tarnel::tolbrin
