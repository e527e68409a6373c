// Whether a default, minimum or maximum text converts to a field's type.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel {

bool ValueTextValid(const std::string& text, uint8_t fieldType);

}  // namespace tarnel
