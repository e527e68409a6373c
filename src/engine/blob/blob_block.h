// One block of a BLOB chain: its 18-byte header and data part on disk (TBlockHeader), its buffer
// in the BLOB file's block cache (TBlock), and the pin an operation holds on a buffer while it
// uses it (TBlockPin). Buffers belong to the cache (TBlockCache); a pin only borrows one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnel {

constexpr uint32_t kBlockHeaderSize = 18;
// A buffer with more pins than this means the cache's bookkeeping has gone wrong (8963).
constexpr uint16_t kMaxBlockPins = 64;

struct TBlockHeader {
  static constexpr size_t kDiskSize = kBlockHeaderSize;

  uint32_t PrevBlock = 0;    // 0 in the first block of a chain
  uint32_t NextBlock = 0;    // 0 in the last block; in a free block the next free block
  uint16_t DataLength = 0;   // data bytes used in this block
  int32_t OwnerRecord = 0;   // record number of the record whose BLOB the chain holds
  uint32_t TotalLength = 0;  // length of the whole BLOB in the first block, 0 in the others

  void Encode(uint8_t* out) const;
  static TBlockHeader Decode(const uint8_t* in);
};

// A buffered block. A buffer with BlockOffset 0 is unused. Pinned buffers are never reused,
// written or refreshed; Modified ones are written before they are reused.
struct TBlock {
  explicit TBlock(uint32_t blockSize) : Data(blockSize - kBlockHeaderSize) {}

  bool Modified = false;
  uint32_t BlockOffset = 0;
  TBlockHeader Header;
  std::vector<uint8_t> Data;  // BlobBlockSize - 18 bytes
  uint16_t PinCount = 0;
  bool ReadingAhead = false;  // inside the run being read: neither reused nor written now
  // Links of the cache's most-recently-used list.
  TBlock* Newer = nullptr;
  TBlock* Older = nullptr;

  // Unused, clean, unpinned, header and data zero.
  void Reset();
  // Header and data cleared in memory for a block that starts a new life in a chain.
  void Clear();
  // From and to the BlobBlockSize bytes on disk; header and data part are scrambled as two
  // separate units when `scrambled`. Decoding leaves the buffer clean.
  void Decode(const uint8_t* image, bool scrambled);
  void Encode(uint8_t* image, bool scrambled) const;
};

// Holds one pin of a cached block and gives it back when it goes (ReleaseBlock). Movable, so
// that walking a chain hands the pin from block to block.
class TBlockPin {
 public:
  TBlockPin() = default;
  // Takes over a pin already counted in block->PinCount.
  explicit TBlockPin(TBlock* block) : FBlock(block) {}
  ~TBlockPin() { Release(); }
  TBlockPin(const TBlockPin&) = delete;
  TBlockPin& operator=(const TBlockPin&) = delete;
  TBlockPin(TBlockPin&& other) noexcept : FBlock(other.FBlock) { other.FBlock = nullptr; }
  TBlockPin& operator=(TBlockPin&& other) noexcept;

  explicit operator bool() const { return FBlock != nullptr; }
  TBlock* operator->() const { return FBlock; }
  TBlock& operator*() const { return *FBlock; }

  // Lowers the pin count by 1 when it is above 0 (an invalidated buffer has none left).
  void Release();

 private:
  TBlock* FBlock = nullptr;
};

}  // namespace tarnel
