// The texts of a field's default, minimum and maximum as stored values. They are always read in
// the table's own formats and code page, not the user's: the caller holds a TLocaleFormatsGuard
// for the table's language while converting.
#pragma once

#include <cstdint>
#include <string>

#include "engine/base/field_desc.h"

namespace tarnel {

// Whether the text converts to the type; an empty text is valid. The keywords "DATE", "TIME"
// and "NOW" (any case) count for the types that take them.
bool ValueTextValid(const std::string& text, uint8_t fieldType, uint16_t languageId);

// The stored bytes (PhysSize of them) of `text` for `field`. With `keywords`, "DATE" is today,
// "TIME" the time of day (on 30 December 1899 for a timestamp) and "NOW" the current moment;
// without, they are texts like any other. A text that does not convert raises EConvertError
// with the class library's message. Types without a text form give zero bytes.
void TextToStoredValue(const std::string& text, const TFieldDesc& field, uint16_t languageId, bool keywords,
                       uint8_t* value);

}  // namespace tarnel
