// TBlockCache: the block buffers of one BLOB file, most recently used first. A block that is not
// cached is read together with the neighbours its chain still needs, in one read; modified
// blocks are written sorted by offset, one write per run of neighbours. The cache holds about
// 256 KB of blocks and grows only inside a deferred-update batch, whose changes must stay in
// memory. Buffers are found by their offset in constant time. Owned by TBlobFile, which it reads
// and writes through.
//
// REQUIRES: one thread per table; the table's locks keep other programs out (see TTableContext).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/base/number_table.h"
#include "engine/base/recency_list.h"
#include "engine/blob/blob_block.h"

namespace tarnel {

class TFileHandler;
class TTableContext;

inline uint32_t CachedBlockOffset(const TBlock& block) { return block.BlockOffset; }

class TBlockCache {
 public:
  TBlockCache(TFileHandler& file, TTableContext& table, uint32_t blockSize);

  uint32_t BlockSize() const { return FBlockSize; }
  // Blocks read at most in one read: 65535 div BlobBlockSize.
  uint32_t MaxReadAhead() const { return FMaxReadAhead; }
  int Count() const { return static_cast<int>(FBlocks.size()); }
  int Room() const { return FRoom; }

  // Whether `offset` has the form of a block reference: at or after the header, on a block
  // boundary, below the largest file.
  bool IsBlockOffset(uint32_t offset) const;

  // Pins the block at `offset`, moving it to the front. An uncached block is read from disk,
  // together with the blocks after it up to `blocksWanted` in all (at most MaxReadAhead, and no
  // further than `endOfFile`); before that, unless the table takes its read lock per operation,
  // the table checks for changes by other programs: on a change every cache was invalidated and
  // the answer is an empty pin, so that the caller restarts. A block that does not lie inside
  // the file is error 8963.
  TBlockPin GetBlock(uint32_t offset, uint32_t blocksWanted, uint32_t endOfFile);
  // A pinned buffer for a block that is new at `offset`; nothing is read.
  TBlockPin NewBlock(uint32_t offset);

  void FlushBlocks();
  // Every buffer unused, clean and unpinned (another program changed the file, or it was emptied).
  void InvalidateBlocks();
  void UnpinAllBlocks();
  // Frees buffers from the rear down to the normal room, which becomes the room again. Pinned
  // and modified buffers are kept: a pin must stay valid and a change must not be lost.
  void TrimBlockCache();
  void FreeAllBlocks();

 private:
  TBlock* Find(uint32_t offset) const { return offset == 0 ? nullptr : FByOffset.Find(offset); }
  TBlockPin Pin(TBlock& block);
  // Gives a buffer the block at `offset` (0: none), keeping the lookup current.
  void Place(TBlock& block, uint32_t offset);
  void ReadBlocks(uint32_t offset, uint32_t count);
  // A buffer at the front of the list, reset: a new one while there is room, else the rearmost
  // reusable one (after writing the modified ones, outside a batch); inside a batch the room grows.
  TBlock& TakeBuffer();
  TBlock& AddBuffer();
  TBlock* FindReusable() const;
  [[noreturn]] void Corrupt() const;

  TFileHandler& FFile;
  TTableContext& FTable;
  uint32_t FBlockSize;
  uint32_t FMaxReadAhead;
  int FNormalRoom;
  int FRoom;
  std::vector<std::unique_ptr<TBlock>> FBlocks;  // the buffers, in no particular order
  TNumberTable<TBlock, &CachedBlockOffset> FByOffset;  // the buffers that hold a block
  TRecencyList<TBlock> FOrder;
  std::vector<TBlock*> FReadingAhead;  // the buffers marked by the read under way
  // Work areas of a read and of a flush; apart, since taking a buffer during a read may flush.
  std::vector<uint8_t> FReadArea;
  std::vector<uint8_t> FWriteArea;
};

}  // namespace tarnel
