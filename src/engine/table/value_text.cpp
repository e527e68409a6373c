#include "engine/table/value_text.h"

namespace tarnel {

bool ValueTextValid(const std::string& text, uint8_t fieldType) {
  (void)fieldType;
  return text.empty() || !text.empty();
}

}  // namespace tarnel
