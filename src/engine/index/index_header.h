// The 4096-byte header of an index file (.IDX): the descriptors of the primary index (0), the
// secondary indexes (1 to 30) and the slot-status index "Sys Deleted" (31), the end of the file
// and the table's record count. The whole header is kept in memory while the file is open.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/base/file_format.h"

namespace tarnel {

constexpr int kPageSize = 4096;
constexpr int kPageHeaderSize = 13;
constexpr int kPageDataSize = kPageSize - kPageHeaderSize;  // 4083
constexpr int kMaxKeyLength = 1036;
constexpr int kMaxKeyFields = 16;
constexpr int kMaxSecondaryIndexes = 30;
constexpr uint8_t kPrimaryIndex = 0;
constexpr uint8_t kSysDeletedIndex = 31;
constexpr uint8_t kNoIndex = 255;  // record-number order
constexpr int kKeySuffixLength = 4;
// Room for any key: the longest key fields and the identifier suffix.
constexpr int kKeyBufferSize = kMaxKeyLength + kKeySuffixLength;
// A key built on the stack, so that searches and changes allocate nothing for their keys.
using TKeyBuffer = std::array<uint8_t, kKeyBufferSize>;
constexpr char kSysDeletedName[] = "Sys Deleted";
constexpr char kPrimaryIndexName[] = "Primary";  // how messages name index 0

enum TCompression : uint8_t { cmNone = 0, cmLeading = 1, cmTrailing = 2, cmBoth = 3 };

struct TIndexDescriptor {
  static constexpr size_t kDiskSize = 120;

  std::string IndexName;  // empty for the primary index
  uint16_t KeyLength = 0;
  bool Descending = false;
  bool CaseInsensitive = false;
  bool Unique = false;
  uint8_t Compression = cmNone;
  uint8_t FieldCount = 0;
  std::array<uint8_t, kMaxKeyFields> FieldDescending{};
  std::array<uint16_t, kMaxKeyFields> FieldNumbers{};
  uint32_t RootPage = 0;
  uint32_t FreePage = 0;

  void Encode(uint8_t* out) const;
  static TIndexDescriptor Decode(const uint8_t* in);
};

struct TIndexHeader {
  static constexpr size_t kDiskSize = kPageSize;
  static constexpr int kDescriptorCount = 32;  // 0 to 30 and "Sys Deleted"

  int32_t ChangeCount = 0;
  uint8_t Version = kFileVersion;
  uint32_t EndOfFile = kPageSize;
  uint8_t SecondaryCount = 0;
  std::array<TIndexDescriptor, kDescriptorCount> Descriptors{};
  int32_t RecordCount = 0;
  bool NoPrimaryIndex = false;
  bool HeaderModified = false;

  void Encode(uint8_t* out) const;
  static TIndexHeader Decode(const uint8_t* in);
};

}  // namespace tarnel
