// The stored form of a table as its verification and repair read and write it: records slot by
// slot exactly as stored (descrambled, with the RecordLink the file holds), BLOB blocks one by
// one, and the walk along one BLOB chain with every check a chain must pass. Nothing here goes
// through the caches; the repair invalidates them after writing.
//
// REQUIRES: the table is open, and the caller holds its read lock or opened it exclusively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/blob/blob_block.h"

namespace tarnel {

class TDataFile;
class TBlobFile;

class TStoredRecords {
 public:
  explicit TStoredRecords(TDataFile& table);

  // Slots the data file holds in full, at most NextRecordNo - 1.
  int32_t CompleteSlots() const { return FCompleteSlots; }
  // Calls `visit` for the slots 1 to `slots` in order with each image (RecordBufferSize bytes,
  // the computed area zero), read in runs of neighbours.
  void ForEach(int32_t slots, const std::function<void(int32_t recordNo, uint8_t* image)>& visit);
  // The image of one slot (RecordBufferSize bytes).
  void Read(int32_t recordNo, uint8_t* image);
  // Stores one image (its RecordSize bytes, scrambled for a protected table).
  void Write(int32_t recordNo, const uint8_t* image);

 private:
  TDataFile& FTable;
  int32_t FCompleteSlots = 0;
};

class TStoredBlocks {
 public:
  // REQUIRES: the table has a BLOB file.
  explicit TStoredBlocks(TDataFile& table);

  uint32_t BlockSize() const { return FBlockSize; }
  uint32_t DataSize() const { return FBlockSize - kBlockHeaderSize; }
  // Blocks the file holds in full, whatever its header says.
  uint32_t BlockCount() const { return FBlockCount; }
  uint32_t OffsetOf(uint32_t index) const { return kFirstBlock + index * FBlockSize; }
  // Which block an offset names: its index, or -1 when it is not a block boundary inside the
  // file.
  int64_t IndexOf(uint32_t offset) const;
  // The block at a valid offset (IndexOf not -1).
  TBlock Read(uint32_t offset);
  void Write(const TBlock& block);
  // Cuts the file after `blocks` blocks.
  void Truncate(uint32_t blocks);

 private:
  static constexpr uint32_t kFirstBlock = 512;
  static constexpr uint32_t kWindowBytes = 65536;

  TBlobFile& FFile;
  bool FScrambled;
  uint32_t FBlockSize;
  uint32_t FBlockCount = 0;
  // Blocks are read through a window of neighbours, since chains mostly run forward.
  std::vector<uint8_t> FWindow;
  uint32_t FWindowStart = 0;
};

// What stops a chain from being sound: its reference (the first block), a link between blocks,
// a link back into the chain, or the lengths.
enum class TChainDamage { None, Reference, Link, Loop, Length };

// One BLOB chain as its walk found it.
struct TChainWalk {
  std::vector<uint32_t> Blocks;  // the sound part of the chain from its first block (offsets)
  // Blocks of the sound part whose PrevBlock does not name the block before them, or that carry a
  // TotalLength although they do not start the chain.
  std::vector<uint32_t> HeaderFixes;
  uint32_t TotalLength = 0;      // as the first block gives it
  uint64_t Bytes = 0;            // data in the sound part
  TChainDamage Damage = TChainDamage::None;
  std::string Problem;           // what the damage is; empty for a sound chain
  bool Sound() const { return Damage == TChainDamage::None; }
};

// Walks the chain of record `recordNo` from `first`: every block inside the file, owned by the
// record and used by no other chain (`usedBy` answers the record whose chain holds a block, 0
// for none); TotalLength in the first block only, every block full but the last, the data adding
// up to TotalLength, and the chain ending there.
TChainWalk WalkChain(TStoredBlocks& blocks, uint32_t first, int32_t recordNo,
                     const std::function<int32_t(uint32_t offset)>& usedBy);

}  // namespace tarnel
