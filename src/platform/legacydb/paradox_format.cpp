#include "platform/legacydb/paradox_format.h"

#include <cstring>

namespace tarnel::legacydb {

namespace {

constexpr size_t kFixedHeaderSize = 0x58;
constexpr size_t kExtendedHeaderSize = 0x78;

bool HasExtendedHeader(uint8_t version, uint8_t fileType) {
  if (version < 5) return false;
  return fileType == pfKeyedTable || fileType == pfTable || fileType == pfSecondaryIndex ||
         fileType == pfIncrementingSecondaryIndex || fileType == pfCompositeIndex ||
         fileType == pfIncrementingCompositeIndex;
}

bool HasNames(uint8_t fileType) {
  return fileType != pfPrimaryIndex && fileType != pfSecondaryIndexTree &&
         fileType != pfCompositeIndexTree;
}

bool IsComposite(uint8_t fileType) {
  return fileType == pfCompositeIndex || fileType == pfIncrementingCompositeIndex;
}

bool AllZero(const uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

uint64_t BigEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

double DecodeDouble(const uint8_t* bytes) {
  uint64_t bits = BigEndian(bytes, 8);
  bits = (bits & (uint64_t{1} << 63)) != 0 ? bits ^ (uint64_t{1} << 63) : ~bits;
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TBcd DecodeBcd(const uint8_t* bytes) {
  TBcd bcd;
  bcd.Negative = (bytes[0] & 0x80) == 0;
  bcd.Decimals = bytes[0] & 0x3F;
  if (bcd.Decimals > 32) bcd.Decimals = 32;
  for (int i = 0; i < 32; ++i) {
    int nibble = (i % 2 == 0 ? bytes[1 + i / 2] >> 4 : bytes[1 + i / 2]) & 0x0F;
    if (bcd.Negative) nibble = 15 - nibble;
    bcd.Digits += static_cast<char>('0' + (nibble > 9 ? 9 : nibble));
  }
  return bcd;
}

}  // namespace

TParadoxHeader DecodeParadoxHeader(const TByteView& bytes) {
  TParadoxHeader header;
  header.RecordSize = bytes.U16(0x00);
  header.HeaderSize = bytes.U16(0x02);
  header.FileType = bytes.U8(0x04);
  uint8_t maxTableSize = bytes.U8(0x05);
  header.RecordCount = static_cast<int32_t>(bytes.U32(0x06));
  header.FileBlocks = bytes.U16(0x0C);
  header.FirstBlock = bytes.U16(0x0E);
  header.IndexFieldNumber = bytes.U8(0x15);
  int fieldCount = static_cast<int16_t>(bytes.U16(0x21));
  header.KeyFieldCount = static_cast<int16_t>(bytes.U16(0x23));
  header.Version = bytes.U8(0x39);
  header.IndexFlags = bytes.U8(0x55);
  if (header.FileType > pfIncrementingCompositeIndex) bytes.Fail("not a Paradox file (unknown file type)");
  if (maxTableSize == 0 || maxTableSize > 32) bytes.Fail("not a Paradox file (bad block size)");
  if (header.Version < 3 || header.Version > 12) bytes.Fail("not a Paradox file (unknown version)");
  if (fieldCount <= 0 || header.KeyFieldCount < 0 || header.KeyFieldCount > fieldCount) {
    bytes.Fail("the field count in the header is damaged");
  }
  header.BlockSize = uint32_t{maxTableSize} * 1024;
  if (header.HeaderSize < kFixedHeaderSize || header.HeaderSize > bytes.Size()) {
    bytes.Fail("the header size is damaged");
  }
  TByteView area = bytes.Sub(0, header.HeaderSize);

  bool extended = HasExtendedHeader(header.Version, header.FileType);
  header.Encryption = extended ? area.U32(0x5C) : area.U32(0x25);
  if (header.Encryption == 0xFF00FF00) header.Encryption = 0;
  if (extended) header.CodePage = area.U16(0x6A);

  size_t offset = extended ? kExtendedHeaderSize : kFixedHeaderSize;
  for (int i = 0; i < fieldCount; ++i) {
    header.Fields.push_back({area.U8(offset), area.U8(offset + 1)});
    offset += 2;
  }
  if (!HasNames(header.FileType)) return header;

  // The table name pointer and one name pointer per field, then the table name area.
  offset += 4 + 4 * static_cast<size_t>(fieldCount);
  offset += header.Version >= 12 ? 261 : 79;
  for (int i = 0; i < fieldCount; ++i) header.FieldNames.push_back(area.ZeroTerminated(offset, &offset));
  if (header.Version < 5) return header;
  for (int i = 0; i < fieldCount; ++i) {
    header.FieldNumbers.push_back(area.U16(offset));
    offset += 2;
  }
  header.SortOrderName = area.ZeroTerminated(offset, &offset);
  if (IsComposite(header.FileType)) header.IndexName = area.ZeroTerminated(offset, &offset);
  return header;
}

TParadoxHeader ReadParadoxHeader(const TBinaryFile& file) {
  TBytes start = file.Read(0, kFixedHeaderSize);
  size_t headerSize = TByteView(start, file.Path()).U16(0x02);
  TBytes bytes = file.Read(0, headerSize < kFixedHeaderSize ? kFixedHeaderSize : headerSize);
  return DecodeParadoxHeader(TByteView(bytes, file.Path()));
}

TFieldType ParadoxFieldType(uint8_t type) {
  switch (type) {
    case pxAlpha: return ftString;
    case pxDate: return ftDate;
    case pxShort: return ftSmallint;
    case pxLong: return ftInteger;
    case pxCurrency: return ftCurrency;
    case pxNumber: return ftFloat;
    case pxLogical: return ftBoolean;
    case pxMemo: return ftMemo;
    case pxBinary: return ftBlob;
    case pxFormattedMemo: return ftFmtMemo;
    case pxOle: return ftParadoxOle;
    case pxGraphic: return ftGraphic;
    case pxTime: return ftTime;
    case pxTimestamp: return ftDateTime;
    case pxAutoInc: return ftAutoInc;
    case pxBcd: return ftBCD;
    case pxBytes: return ftBytes;
    default: return ftUnknown;
  }
}

int ParadoxReportedSize(const TParadoxFieldInfo& info) {
  TFieldType type = ParadoxFieldType(info.Type);
  if (type == ftString || type == ftBytes || type == ftBCD) return info.Size;
  if (IsBlobType(type)) return info.Size > kBlobDescriptorBytes ? info.Size - kBlobDescriptorBytes : 0;
  return 0;
}

int ParadoxFieldBytes(const TParadoxFieldInfo& info) {
  return info.Type == pxBcd ? kBcdBytes : info.Size;
}

TFieldValue DecodeParadoxValue(const TParadoxFieldInfo& info, const uint8_t* bytes) {
  TFieldType type = ParadoxFieldType(info.Type);
  int count = ParadoxFieldBytes(info);
  if (AllZero(bytes, count)) return TFieldValue(type);
  switch (info.Type) {
    case pxAlpha: {
      size_t length = 0;
      while (length < static_cast<size_t>(count) && bytes[length] != 0) ++length;
      return TFieldValue::Bytes(type, std::string(reinterpret_cast<const char*>(bytes), length));
    }
    case pxBytes:
      return TFieldValue::Bytes(type, std::string(reinterpret_cast<const char*>(bytes), count));
    case pxShort:
      if (count != 2) break;
      return TFieldValue::Integer(type, static_cast<int16_t>(BigEndian(bytes, 2) ^ 0x8000));
    case pxLong:
    case pxAutoInc:
    case pxDate:
    case pxTime:
      if (count != 4) break;
      return TFieldValue::Integer(type, static_cast<int32_t>(BigEndian(bytes, 4) ^ 0x80000000u));
    case pxLogical:
      if (count != 1) break;
      return TFieldValue::Integer(type, (bytes[0] ^ 0x80) != 0 ? 1 : 0);
    case pxNumber:
    case pxCurrency:
    case pxTimestamp:
      if (count != 8) break;
      return TFieldValue::Float(type, DecodeDouble(bytes));
    case pxBcd:
      return TFieldValue::Bcd(DecodeBcd(bytes));
    default:
      break;
  }
  return TFieldValue(ftUnknown);
}

}  // namespace tarnel::legacydb
