// Paradox tables the transfer tests make for themselves: written by pxlib (records, BLOBs in
// the .MB file), with a validity-check file (.VAL) composed here byte by byte for the checks no
// fixture has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tarnel::test {

struct TPxField {
  std::string Name;
  char Type;  // pxlib's pxf codes
  int Length;
  int Decimals = 0;  // BCD
};

// A value of one field: null, an integer (short, long, autoincrement, date, time, logical), a
// float (number, currency, timestamp in milliseconds), or bytes (alpha, bytes, the BCD number
// as text, BLOB contents).
using TPxValue = std::variant<std::monostate, int64_t, double, std::string>;
using TPxRow = std::vector<TPxValue>;

// Writes `path` (.DB) without a primary key, and its .MB beside it when a field is a BLOB.
void WriteParadoxTable(const std::string& path, const std::vector<TPxField>& fields, const std::vector<TPxRow>& rows);

// One validity check, its values in the field's Paradox form (see the Px* helpers); an empty
// text given as a value stands for today (date) or now (time, timestamp).
struct TPxCheck {
  int Position;  // 0-based field position
  bool Required = false;
  std::optional<std::string> Minimum;
  std::optional<std::string> Maximum;
  std::optional<std::string> Default;
};
// Writes the .VAL file of a table whose fields are `fields`.
void WriteValidityChecks(const std::string& path, const std::vector<TPxField>& fields,
                         const std::vector<TPxCheck>& checks);

// Paradox forms of values: big-endian, the sign bit flipped (numbers: inverted when negative).
std::string PxLong(int32_t value);
std::string PxShort(int16_t value);
std::string PxNumber(double value);

}  // namespace tarnel::test
