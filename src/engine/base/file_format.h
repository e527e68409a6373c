// Format constants shared by the three files of a table.
#pragma once

#include <cstdint>

namespace tarnel {

// The format version every header of a table's files carries.
constexpr uint8_t kFileVersion = 3;

}  // namespace tarnel
