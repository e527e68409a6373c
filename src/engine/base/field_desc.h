// The definition of one field of a table (768 bytes in the data file after its header) and the
// engine's field type codes. Shared by the table, its indexes, its BLOBs and expressions.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel {

enum TEngineFieldType : uint8_t {
  dtUnknown = 0,
  dtString = 1,
  dtDate = 2,
  dtBlob = 3,
  dtBoolean = 4,
  dtSmallInt = 5,
  dtInteger = 6,
  dtFloat = 7,
  dtBCD = 8,
  dtBytes = 9,
  dtTime = 10,
  dtTimeStamp = 11,
  dtWord = 12,
  dtLongWord = 13,
  dtExtended = 14,
  dtVarBytes = 15,
};

enum TEngineSubType : uint8_t {
  stNone = 0,
  stMoney = 21,    // with dtFloat: a currency amount
  stMemo = 22,     // kinds of BLOB, with dtBlob
  stBinary = 23,
  stFmtMemo = 24,
  stGraphic = 26,
  stTypedBinary = 28,
  stAutoInc = 29,  // with dtInteger: the record identifier
};

constexpr int kMaxFieldNameLength = 30;
constexpr int kMaxValidityTextLength = 50;
constexpr int kMaxExpressionLength = 255;
constexpr int kMaxStringFieldSize = 250;
constexpr int kMaxBCDDecimals = 4;

// Bytes of a field's value in the record for a type and declared size.
uint8_t PhysSizeOf(uint8_t fieldType, uint8_t fieldSize);

struct TFieldDesc {
  static constexpr size_t kDiskSize = 768;

  uint16_t FieldNo = 0;
  std::string FieldName;
  uint8_t FieldType = dtUnknown;
  uint8_t SubType = stNone;
  uint8_t FieldSize = 0;
  uint8_t Decimals = 0;
  uint8_t PhysSize = 0;
  uint8_t PhysDecimals = 0;
  uint16_t FieldOffset = 0;  // offset of the field's null byte within the record
  bool Required = false;
  std::string MinValue;
  std::string MaxValue;
  std::string DefaultValue;
  bool Computed = false;
  std::string Expression;
  // In memory only: the compiled expression of a computed field (owned by whoever installed the
  // working definitions).
  const void* CompiledExpression = nullptr;

  bool IsAutoInc() const { return FieldType == dtInteger && SubType == stAutoInc; }
  // Stored fields take space in the record: all but auto-increment and computed fields.
  bool IsStored() const { return !IsAutoInc() && !Computed; }

  // The 768-byte image: the first 508 bytes used, the rest zero.
  void Encode(uint8_t* out) const;
  static TFieldDesc Decode(const uint8_t* in);
};

}  // namespace tarnel
