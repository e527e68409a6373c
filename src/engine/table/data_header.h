// The 127-byte header at the start of a data file (.DAT). The header itself is never scrambled,
// so that ChangeCount, Version and Encrypted can be read without a key; only the characters of
// the stored password and description are.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/base/file_format.h"

namespace tarnel {

constexpr int kMaxDescriptionLength = 50;
constexpr int kMaxPasswordLength = 15;
// Dates in LastUpdated are kept on the engine's own scale: the date-time value less this.
constexpr double kLastUpdatedOffset = 693594.0;

struct TDataHeader {
  static constexpr size_t kDiskSize = 127;

  int32_t ChangeCount = 0;
  uint32_t BlobBlockSize = 0;  // 0 reads as 512
  uint8_t Version = kFileVersion;
  uint32_t FreeListHead = 0;
  int32_t NextRecordNo = 1;
  int32_t LastAutoInc = 0;
  uint16_t RecordSize = 0;
  uint16_t FieldCount = 0;
  uint16_t BlobFieldCount = 0;
  double LastUpdated = 0;
  std::string Description;  // characters scrambled in the file when Encrypted
  bool Encrypted = false;
  std::string Password;     // characters scrambled in the file
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
  uint16_t UserMajorVersion = 0;
  uint16_t UserMinorVersion = 0;
  uint16_t ComputedSize = 0;
  bool HeaderModified = false;
  std::array<uint8_t, 13> Reserved{};

  // The header as stored; Description and Password hold their characters as they are in the
  // file (scrambled or not), which the data file resolves.
  void Encode(uint8_t* out) const;
  static TDataHeader Decode(const uint8_t* in);
  uint32_t EffectiveBlobBlockSize() const { return BlobBlockSize == 0 ? 512 : BlobBlockSize; }
};

}  // namespace tarnel
