#include "engine/base/field_desc.h"

#include <cstring>

#include "engine/base/byte_order.h"

namespace tarnel {

namespace {

// Offsets of the 768-byte field definition.
constexpr size_t kFieldNo = 0;
constexpr size_t kFieldName = 2;
constexpr size_t kFieldType = 84;
constexpr size_t kSubType = 85;
constexpr size_t kFieldSize = 86;
constexpr size_t kDecimals = 87;
constexpr size_t kPhysSize = 88;
constexpr size_t kPhysDecimals = 89;
constexpr size_t kFieldOffset = 90;
constexpr size_t kRequired = 92;
constexpr size_t kMinValue = 94;
constexpr size_t kMaxValue = 145;
constexpr size_t kDefaultValue = 196;
constexpr size_t kComputed = 247;
constexpr size_t kExpression = 248;
static_assert(kExpression + 1 + kMaxExpressionLength + 4 == 508);

}  // namespace

uint8_t PhysSizeOf(uint8_t fieldType, uint8_t fieldSize) {
  switch (fieldType) {
    case dtString: return static_cast<uint8_t>(fieldSize + 1);
    case dtDate: return 4;
    case dtBlob: return 4;
    case dtBoolean: return 2;
    case dtSmallInt: return 2;
    case dtInteger: return 4;
    case dtFloat: return 8;
    case dtBCD: return 8;
    case dtTime: return 4;
    case dtTimeStamp: return 8;
    case dtWord: return 2;
    case dtLongWord: return 4;
    case dtExtended: return 10;
    default: return fieldSize;  // dtBytes, dtVarBytes and unknown codes
  }
}

void TFieldDesc::Encode(uint8_t* out) const {
  std::memset(out, 0, kDiskSize);
  PutU16(out + kFieldNo, FieldNo);
  PutShortString(out + kFieldName, FieldName, kMaxFieldNameLength);
  out[kFieldType] = FieldType;
  out[kSubType] = SubType;
  out[kFieldSize] = FieldSize;
  out[kDecimals] = Decimals;
  out[kPhysSize] = PhysSize;
  out[kPhysDecimals] = PhysDecimals;
  PutU16(out + kFieldOffset, FieldOffset);
  out[kRequired] = Required ? 1 : 0;
  PutShortString(out + kMinValue, MinValue, kMaxValidityTextLength);
  PutShortString(out + kMaxValue, MaxValue, kMaxValidityTextLength);
  PutShortString(out + kDefaultValue, DefaultValue, kMaxValidityTextLength);
  out[kComputed] = Computed ? 1 : 0;
  PutShortString(out + kExpression, Expression, kMaxExpressionLength);
}

TFieldDesc TFieldDesc::Decode(const uint8_t* in) {
  TFieldDesc desc;
  desc.FieldNo = GetU16(in + kFieldNo);
  desc.FieldName = GetShortString(in + kFieldName, kMaxFieldNameLength);
  desc.FieldType = in[kFieldType];
  desc.SubType = in[kSubType];
  desc.FieldSize = in[kFieldSize];
  desc.Decimals = in[kDecimals];
  desc.PhysSize = in[kPhysSize];
  desc.PhysDecimals = in[kPhysDecimals];
  desc.FieldOffset = GetU16(in + kFieldOffset);
  desc.Required = in[kRequired] != 0;
  desc.MinValue = GetShortString(in + kMinValue, kMaxValidityTextLength);
  desc.MaxValue = GetShortString(in + kMaxValue, kMaxValidityTextLength);
  desc.DefaultValue = GetShortString(in + kDefaultValue, kMaxValidityTextLength);
  desc.Computed = in[kComputed] != 0;
  desc.Expression = GetShortString(in + kExpression, kMaxExpressionLength);
  return desc;
}

}  // namespace tarnel
