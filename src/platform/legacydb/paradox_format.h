// The common header of Paradox files (.DB tables, .PX primary indexes, .Xnn/.Ynn and .XGn/.YGn
// secondary indexes share it) and the encoding of Paradox field values.
//
// Values are stored big-endian with the sign bit flipped so that records sort bytewise: integers
// have their top bit inverted, floats have the top bit set when positive and every bit inverted
// when negative, and a field of zero bytes is null. Dates are day numbers (1 = 1 January 0001),
// times milliseconds since midnight, timestamps day number times 86400000 plus milliseconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/legacydb/binary_file.h"
#include "platform/legacydb/field_value.h"
#include "platform/rtl/field_type.h"

namespace tarnel::legacydb {

// Paradox field type codes.
enum TParadoxType : uint8_t {
  pxAlpha = 0x01,
  pxDate = 0x02,
  pxShort = 0x03,
  pxLong = 0x04,
  pxCurrency = 0x05,
  pxNumber = 0x06,
  pxLogical = 0x09,
  pxMemo = 0x0C,
  pxBinary = 0x0D,
  pxFormattedMemo = 0x0E,
  pxOle = 0x0F,
  pxGraphic = 0x10,
  pxTime = 0x14,
  pxTimestamp = 0x15,
  pxAutoInc = 0x16,
  pxBcd = 0x17,
  pxBytes = 0x18,
};

// Paradox file types (header byte 4).
enum TParadoxFileType : uint8_t {
  pfKeyedTable = 0,
  pfPrimaryIndex = 1,
  pfTable = 2,
  pfSecondaryIndex = 3,
  pfSecondaryIndexTree = 4,
  pfIncrementingSecondaryIndex = 5,
  pfCompositeIndex = 6,
  pfCompositeIndexTree = 7,
  pfIncrementingCompositeIndex = 8,
};

// A BCD field always takes 17 bytes in the record: a sign and decimals byte, then 32 digits.
constexpr int kBcdBytes = 17;
// A BLOB field ends with a 10-byte descriptor; the bytes before it hold the BLOB's start.
constexpr int kBlobDescriptorBytes = 10;

struct TParadoxFieldInfo {
  uint8_t Type = 0;
  uint8_t Size = 0;  // bytes in the record; for BCD the number of decimals
};

struct TParadoxHeader {
  uint16_t RecordSize = 0;
  uint16_t HeaderSize = 0;
  uint8_t FileType = 0;
  uint32_t BlockSize = 0;
  int32_t RecordCount = 0;
  uint16_t FileBlocks = 0;
  uint16_t FirstBlock = 0;
  uint8_t IndexFieldNumber = 0;  // of a single-field secondary index
  int KeyFieldCount = 0;
  uint32_t Encryption = 0;  // the password checksum of a protected table, else 0
  uint8_t Version = 0;      // 3 = 3.0, 4 = 3.5, 5 to 9 = 4.x, 10 and 11 = 5.x, 12 = 7
  uint16_t CodePage = 0;    // 0 before 4.x
  uint8_t IndexFlags = 0;   // of a composite secondary index
  std::vector<TParadoxFieldInfo> Fields;
  // Only for tables and the index files that carry names (.Xnn, .XGn):
  std::vector<std::string> FieldNames;
  std::vector<uint16_t> FieldNumbers;
  std::string SortOrderName;
  std::string IndexName;  // of a composite secondary index
};

// Decodes the header at the start of `bytes` (at least the header's own size of the file).
TParadoxHeader DecodeParadoxHeader(const TByteView& bytes);
// Reads and decodes the header of an open Paradox file.
TParadoxHeader ReadParadoxHeader(const TBinaryFile& file);

// The class library's type of a Paradox field type code, and the size it reports.
TFieldType ParadoxFieldType(uint8_t type);
int ParadoxReportedSize(const TParadoxFieldInfo& info);
// Bytes the field takes in a record.
int ParadoxFieldBytes(const TParadoxFieldInfo& info);

// Decodes a value of a non-BLOB field from its record bytes (ParadoxFieldBytes of them).
TFieldValue DecodeParadoxValue(const TParadoxFieldInfo& info, const uint8_t* bytes);

}  // namespace tarnel::legacydb
