// TBlobFile: the BLOB file (.BLB) of one table, created and owned by the table when the table has
// BLOB fields. Every non-empty BLOB is a chain of fixed-size blocks whose first block the
// record's BLOB field names; freed blocks form a free list, last freed first. The file keeps its
// header in memory, a cache of blocks and up to 64 open BLOBs, each held whole in memory.
//
// The BLOB operations answer a status (0, 9494, 10030, 8711, 10029) that names the table in the
// session's error context; block-level damage raises engine errors. The table holds its write
// lock around SaveBlobs and every header write, and takes the file's read slots and write region
// itself (TTableContext tells this file what it needs of the table).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/file_handler.h"
#include "engine/blob/blob_buffer.h"
#include "engine/blob/blob_header.h"
#include "engine/blob/block_cache.h"

namespace tarnel {

class TTableContext;

// The corrections repair mode makes to a damaged chain are reported in these words: the kind of
// damage, the record number, ", " and "error fixed".
constexpr char kRecursivePointerRepair[] = "Recursive intra-block pointer in BLOB file for physical record # ";
constexpr char kInvalidPointerRepair[] = "Invalid intra-block pointer in BLOB file for physical record # ";
constexpr char kErrorFixedRepair[] = "error fixed";
std::string BlobRepairMessage(const char* damage, int32_t recordNumber);

// Offset in the record image of the null byte of a BLOB field, by field number; the 4-byte
// reference follows it.
using TBlobFieldOffset = std::function<uint16_t(uint16_t fieldNumber)>;

class TBlobFile : public TFileHandler {
 public:
  static constexpr int kMaxOpenBlobs = 64;

  // `blobBlockSize` as the data file's header stores it: 0 means 512; sizes outside 64 to 65535
  // are error 9498.
  TBlobFile(TTableContext& table, uint32_t blobBlockSize);
  ~TBlobFile() override;

  // Trimmed, extension cut, ".BLB" appended.
  std::string NormalizeFileName(const std::string& name) const override;
  // Opens the file and reads the header; a Version other than 3 is error 12035.
  void Open() override;
  // Closes every open BLOB and frees the cache (nothing is written), then the file.
  void Close() override;
  // A new, empty file; its header reaches the disk with the table's next header write.
  void CreateNew() override;

  void ReadHeader();
  // When `force` or the header is modified: raises ChangeCount and writes the header.
  void WriteHeader(bool force);
  // Compares the ChangeCount on disk with the one in memory; when they differ the header is
  // read again and the answer is true (the table then invalidates the blocks).
  bool HeaderChanged();
  // Cuts the file to its header and empties the free list; needs Exclusive (10253). The cached
  // blocks are dropped.
  void EmptyBlobs();

  // Opens the BLOB whose chain starts at `firstBlock` (0: empty) for the record `recordNumber`
  // and loads it. 9494 when 64 are open. A damaged chain raises, and nothing stays open.
  uint16_t OpenBlob(int32_t firstBlock, uint16_t fieldNumber, int32_t recordNumber,
                    int32_t& handle);
  // Closes the BLOB and gives back its stored first block. Unsaved changes are dropped.
  uint16_t CloseBlob(int32_t handle, int32_t& firstBlock);
  // 8711 with the bytes that were there when fewer than `count` lie from `offset` on.
  uint16_t ReadBlob(int32_t handle, int32_t offset, int32_t count, void* destination,
                    int32_t& bytesRead);
  uint16_t WriteBlob(int32_t handle, int32_t offset, int32_t count, const void* source);
  uint16_t TruncateBlob(int32_t handle, int32_t newSize);
  uint16_t GetBlobSize(int32_t handle, int32_t& size);

  // The open BLOB with this handle, or nullptr (for the table's null test of a BLOB field).
  const TBlobBuffer* FindBlob(int32_t handle) const { return Find(handle); }
  int OpenBlobCount() const { return static_cast<int>(FOpenBlobs.size()); }

  // Per record, in this order when a record is posted: the record number of a new record to
  // every open BLOB; the chains of the modified BLOBs written (one record only: 8963); the
  // stored first blocks put into the record image; then the BLOBs closed.
  void SetBlobsRecord(int32_t recordNumber);
  void SaveBlobs();
  void StoreBlobRefs(uint8_t* record, const TBlobFieldOffset& fieldOffset) const;
  void CloseAllBlobs();

  // The block cache, for the table's flush (FlushBlocks, then WriteHeader), its change check
  // (InvalidateBlocks) and its clean-up after a failure (UnpinAllBlocks).
  void FlushBlocks() { FCache.FlushBlocks(); }
  void InvalidateBlocks() { FCache.InvalidateBlocks(); }
  void UnpinAllBlocks() { FCache.UnpinAllBlocks(); }
  void TrimBlockCache() { FCache.TrimBlockCache(); }
  int CachedBlockCount() const { return FCache.Count(); }

  uint32_t BlobBlockSize() const { return FCache.BlockSize(); }
  const TBlobHeader& Header() const { return FHeader; }

 private:
  uint32_t DataSize() const { return BlobBlockSize() - kBlockHeaderSize; }
  // Blocks that `bytes` of data fill.
  uint32_t BlocksFor(uint64_t bytes) const;
  [[noreturn]] void RaiseForTable(uint16_t code) const;
  // Records the table in the error context for a non-zero status, so that its message names it.
  uint16_t Status(uint16_t code) const;
  int IndexOf(int32_t handle) const;
  TBlobBuffer* Find(int32_t handle) const;
  int32_t NewHandle();

  // Pins a block of a chain while the file is changed under the table's write lock, where no
  // change by another program can be found (should one be reported, the chain is 8963).
  TBlockPin GetChainBlock(uint32_t offset, uint32_t blocksWanted);
  // The first block of the BLOB's chain; owned by another record: 8963.
  TBlockPin GetFirstBlock(const TBlobBuffer& blob);
  // One attempt at loading; false when a change by another program was found (restart).
  bool TryLoadBlob(TBlobBuffer& blob);
  void LoadBlob(TBlobBuffer& blob);
  void StoreBlob(TBlobBuffer& blob);
  void FreeBlob(TBlobBuffer& blob);
  // Frees the chain after `start`, and `start` itself when `freeStart`, checking every link: a
  // link that loops, leaves the file or enters another record's chain is 9998, or in repair
  // mode cut and reported. `blockCount` (with `start`) is how many blocks to read ahead.
  // REQUIRES: `start` stays pinned by the caller.
  void FreeChain(TBlockPin& start, int32_t recordNumber, uint32_t blockCount, bool freeStart);
  TBlockPin AllocateBlock();
  void ReleaseBlockToFreeList(TBlock& block);

  TTableContext& FTable;
  TBlobHeader FHeader;
  TBlockCache FCache;
  std::vector<std::unique_ptr<TBlobBuffer>> FOpenBlobs;  // in opening order
  int32_t FNextHandle = -1;
};

}  // namespace tarnel
