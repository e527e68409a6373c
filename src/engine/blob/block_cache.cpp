#include "engine/blob/block_cache.h"

#include <algorithm>

#include "engine/base/errors.h"
#include "engine/base/file_handler.h"
#include "engine/base/table_context.h"
#include "engine/blob/blob_header.h"

namespace tarnel {

namespace {

constexpr uint32_t kCacheBytes = 262140;
constexpr int kMaxCacheBlocks = 4096;
constexpr uint32_t kMaxReadBytes = 65535;
// Inside a batch a full cache grows by this many blocks instead of writing.
constexpr int kBatchGrowth = 256;

// Clears the read-ahead marks when a read ends, also when it fails.
class TReadAheadMarks {
 public:
  explicit TReadAheadMarks(std::vector<std::unique_ptr<TBlock>>& blocks) : FBlocks(blocks) {}
  ~TReadAheadMarks() {
    for (auto& block : FBlocks) block->ReadingAhead = false;
  }
  TReadAheadMarks(const TReadAheadMarks&) = delete;
  TReadAheadMarks& operator=(const TReadAheadMarks&) = delete;

 private:
  std::vector<std::unique_ptr<TBlock>>& FBlocks;
};

}  // namespace

TBlockCache::TBlockCache(TFileHandler& file, TTableContext& table, uint32_t blockSize)
    : FFile(file),
      FTable(table),
      FBlockSize(blockSize),
      FMaxReadAhead(kMaxReadBytes / blockSize),
      FNormalRoom(std::min(static_cast<int>(kCacheBytes / blockSize), kMaxCacheBlocks)),
      FRoom(FNormalRoom) {}

void TBlockCache::Corrupt() const {
  RaiseEngineError(kErrBlobBuffersCorrupt, FTable.TableFileName());
}

bool TBlockCache::IsBlockOffset(uint32_t offset) const {
  return offset >= kBlobHeaderSize && offset <= kMaxBlobFileSize &&
         (offset - kBlobHeaderSize) % FBlockSize == 0;
}

int TBlockCache::Find(uint32_t offset) const {
  for (size_t i = 0; i < FBlocks.size(); ++i) {
    if (FBlocks[i]->BlockOffset == offset) return static_cast<int>(i);
  }
  return -1;
}

void TBlockCache::MoveToFront(int index) {
  auto position = FBlocks.begin() + index;
  std::rotate(FBlocks.begin(), position, position + 1);
}

TBlockPin TBlockCache::PinAt(int index) {
  TBlock& block = *FBlocks[static_cast<size_t>(index)];
  if (block.PinCount >= kMaxBlockPins) Corrupt();
  ++block.PinCount;
  MoveToFront(index);
  return TBlockPin(&block);
}

TBlockPin TBlockCache::GetBlock(uint32_t offset, uint32_t blocksWanted, uint32_t endOfFile) {
  if (!IsBlockOffset(offset)) Corrupt();
  int index = Find(offset);
  if (index >= 0) return PinAt(index);
  if (!FTable.ReadLockPerOperation() && FTable.CheckForChangesBeforeRead()) return TBlockPin();
  if (uint64_t{offset} + FBlockSize > endOfFile) Corrupt();
  uint32_t inFile = (endOfFile - offset) / FBlockSize;
  uint32_t count = std::max(1u, std::min({blocksWanted, FMaxReadAhead, inFile}));
  ReadBlocks(offset, count);
  return PinAt(Find(offset));
}

TBlockPin TBlockCache::NewBlock(uint32_t offset) {
  int index = Find(offset);
  if (index < 0) {
    TBlock& block = TakeBuffer();
    block.BlockOffset = offset;
    index = 0;
  }
  return PinAt(index);
}

void TBlockCache::ReadBlocks(uint32_t offset, uint32_t count) {
  TReadAheadMarks marks(FBlocks);
  uint32_t end = offset + count * FBlockSize;
  for (auto& block : FBlocks) {
    if (block->BlockOffset >= offset && block->BlockOffset < end) block->ReadingAhead = true;
  }
  std::vector<uint8_t> work(static_cast<size_t>(count) * FBlockSize);
  FFile.Seek(offset, 0);
  int32_t got = FFile.Read(work.data(), static_cast<int32_t>(work.size()),
                           FTable.ShortReadsAccepted());
  // A block that arrived in part keeps zeros for the rest; the requested one is always taken.
  uint32_t arrived = std::max(1u, (static_cast<uint32_t>(got) + FBlockSize - 1) / FBlockSize);
  for (uint32_t k = arrived; k-- > 0;) {
    uint32_t blockOffset = offset + k * FBlockSize;
    const uint8_t* image = work.data() + static_cast<size_t>(k) * FBlockSize;
    int index = Find(blockOffset);
    if (index >= 0) {
      TBlock& cached = *FBlocks[static_cast<size_t>(index)];
      if (cached.PinCount == 0 && !cached.Modified) cached.Decode(image, FTable.Scrambled());
      MoveToFront(index);
    } else {
      TBlock& block = TakeBuffer();
      block.BlockOffset = blockOffset;
      block.Decode(image, FTable.Scrambled());
      block.ReadingAhead = true;
    }
  }
}

int TBlockCache::FindReusable() const {
  for (size_t i = FBlocks.size(); i-- > 0;) {
    const TBlock& block = *FBlocks[i];
    if (!block.Modified && block.PinCount == 0 && !block.ReadingAhead) return static_cast<int>(i);
  }
  return -1;
}

TBlock& TBlockCache::TakeBuffer() {
  if (Count() < FRoom) {
    FBlocks.insert(FBlocks.begin(), std::make_unique<TBlock>(FBlockSize));
    return *FBlocks.front();
  }
  int index = FindReusable();
  if (index < 0 && !FTable.InBatch()) {
    FlushBlocks();
    index = FindReusable();
  }
  if (index < 0) {
    if (!FTable.InBatch()) Corrupt();
    FRoom += kBatchGrowth;
    FBlocks.insert(FBlocks.begin(), std::make_unique<TBlock>(FBlockSize));
    return *FBlocks.front();
  }
  FBlocks[static_cast<size_t>(index)]->Reset();
  MoveToFront(index);
  return *FBlocks.front();
}

void TBlockCache::FlushBlocks() {
  std::vector<TBlock*> due;
  for (auto& block : FBlocks) {
    if (block->Modified && block->PinCount == 0 && !block->ReadingAhead) due.push_back(block.get());
  }
  if (due.empty()) return;
  std::sort(due.begin(), due.end(),
            [](const TBlock* a, const TBlock* b) { return a->BlockOffset < b->BlockOffset; });
  std::vector<uint8_t> work(due.size() * FBlockSize);
  for (size_t i = 0; i < due.size(); ++i) {
    due[i]->Encode(work.data() + i * FBlockSize, FTable.Scrambled());
  }
  size_t first = 0;
  while (first < due.size()) {
    size_t last = first;
    while (last + 1 < due.size() &&
           due[last + 1]->BlockOffset == due[last]->BlockOffset + FBlockSize) {
      ++last;
    }
    FFile.Seek(due[first]->BlockOffset, 0);
    FFile.Write(work.data() + first * FBlockSize,
                static_cast<int32_t>((last - first + 1) * FBlockSize));
    for (size_t i = first; i <= last; ++i) due[i]->Modified = false;
    first = last + 1;
  }
}

void TBlockCache::InvalidateBlocks() {
  for (auto& block : FBlocks) block->Reset();
}

void TBlockCache::UnpinAllBlocks() {
  for (auto& block : FBlocks) block->PinCount = 0;
}

void TBlockCache::TrimBlockCache() {
  for (size_t i = FBlocks.size(); i-- > 0 && Count() > FNormalRoom;) {
    if (FBlocks[i]->PinCount == 0 && !FBlocks[i]->Modified) FBlocks.erase(FBlocks.begin() + i);
  }
  FRoom = FNormalRoom;
}

void TBlockCache::FreeAllBlocks() {
  FBlocks.clear();
  FRoom = FNormalRoom;
}

}  // namespace tarnel
