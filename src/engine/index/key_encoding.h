// Key parts: how one field's value becomes bytes of a key so that plain unsigned byte order is
// the value order. A part is a flag byte (1 value, 0 null: null sorts first) and PhysSize value
// bytes: integers big-endian with the sign bit turned, doubles with the sign handled, strings
// mapped for the table's language, everything else copied.
#pragma once

#include <cstdint>

#include "engine/base/field_desc.h"

namespace tarnel {

struct TKeyLanguage {
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
};

// Writes the flag byte and the value bytes of `field` at `destination` (which must be zero).
// `value` holds the field's PhysSize stored bytes, or is null for a null value. With `invert`
// the part's bytes are inverted so that the field sorts descending.
void EncodeKeyField(const TFieldDesc& field, const uint8_t* value, bool invert, bool caseInsensitive,
                    const TKeyLanguage& language, uint8_t* destination);

// A 32-bit integer as key bytes: big-endian with the top bit inverted.
void EncodeKeyInteger(int32_t value, uint8_t* destination);

}  // namespace tarnel
