// The text forms of field values that the tool reads and writes, in CSV files, ranges and
// filters alike: dates yyyy-mm-dd, times hh:mm:ss[.zzz], timestamps "yyyy-mm-dd hh:mm:ss[.zzz]",
// Booleans true and false, numbers with "." and no thousands separators, texts and memos in
// UTF-8 (the table keeps them in its code page), bytes and other BLOBs in base64. Every stored
// value has a form, and reading a form back gives the same stored bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/field_desc.h"

namespace tarnel::cli {

// What a text holds, for messages: "a date (yyyy-mm-dd)", "an integer from 0 to 65535".
std::string FormName(const TFieldDesc& field);

// The text of a stored value (the field's PhysSize bytes; for an auto-increment field the 4
// bytes of the identifier). Characters of a text that have no Unicode form become U+FFFD and are
// counted in `unmappable`.
std::string FormatValue(const TFieldDesc& field, const uint8_t* value, int codePage, int& unmappable);
// Reads a text into the stored bytes (PhysSize of them, zero-filled first). False with a message
// when the text is not a value of the field ("is not a date (yyyy-mm-dd)", "holds 31 bytes...").
bool ParseValue(const TFieldDesc& field, std::string_view text, int codePage, uint8_t* value, std::string& error);

// The contents of a BLOB field: a memo as text, anything else in base64.
std::string FormatBlob(const TFieldDesc& field, const std::vector<uint8_t>& contents, int codePage, int& unmappable);
bool ParseBlob(const TFieldDesc& field, std::string_view text, int codePage, std::vector<uint8_t>& contents,
               std::string& error);

std::string EncodeBase64(const uint8_t* bytes, size_t length);
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& bytes);

// The name a type has on the command line ("string", "memo", "autoinc", ...) and back; false for
// an unknown name.
std::string TypeName(const TFieldDesc& field);
bool TypeFromName(const std::string& name, uint8_t& type, uint8_t& subType);

}  // namespace tarnel::cli
