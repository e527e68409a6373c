// The 512-byte header at the start of a BLOB file (.BLB) and the constants of the file's layout.
// Block k of the file lies at offset 512 + k × the table's BLOB block size; offset 0 in a block
// reference means no block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnel {

constexpr uint32_t kBlobHeaderSize = 512;
constexpr uint8_t kBlobVersion = 3;
// The block size a table stores as 0, and the range of sizes a BLOB file works with: a block
// must hold its header and some data, and a read-ahead of one block must fit in 65535 bytes.
constexpr uint32_t kDefaultBlobBlockSize = 512;
constexpr uint32_t kMinBlobBlockSize = 64;
constexpr uint32_t kMaxBlobBlockSize = 65535;
// A new block is refused once the file has passed this many bytes.
constexpr uint32_t kMaxBlobFileSize = 2000000000;

// Plain in memory; scrambled on disk as one 512-byte buffer when the table is.
struct TBlobHeader {
  static constexpr size_t kDiskSize = kBlobHeaderSize;

  int32_t ChangeCount = 0;  // raised by every header write; other programs compare it
  uint8_t Version = 0;
  uint32_t FreeBlock = 0;  // head of the free list, last freed first; 0 = none
  uint32_t EndOfFile = 0;  // where the next new block is appended
  bool HeaderModified = false;

  // The whole 512-byte image; the reserved bytes are written as zero.
  void Encode(uint8_t* out) const;
  static TBlobHeader Decode(const uint8_t* in);
};

}  // namespace tarnel
