#include "engine/blob/block_cache.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

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
  explicit TReadAheadMarks(std::vector<TBlock*>& marked) : FMarked(marked) {}
  ~TReadAheadMarks() {
    for (TBlock* block : FMarked) block->ReadingAhead = false;
    FMarked.clear();
  }
  TReadAheadMarks(const TReadAheadMarks&) = delete;
  TReadAheadMarks& operator=(const TReadAheadMarks&) = delete;

 private:
  std::vector<TBlock*>& FMarked;
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

void TBlockCache::Place(TBlock& block, uint32_t offset) {
  if (block.BlockOffset == offset) return;
  if (block.BlockOffset != 0) FByOffset.Erase(&block);
  block.BlockOffset = offset;
  if (offset != 0) FByOffset.Insert(&block);
}

TBlockPin TBlockCache::Pin(TBlock& block) {
  if (block.PinCount >= kMaxBlockPins) Corrupt();
  ++block.PinCount;
  FOrder.MoveToFront(block);
  return TBlockPin(&block);
}

TBlockPin TBlockCache::GetBlock(uint32_t offset, uint32_t blocksWanted, uint32_t endOfFile) {
  if (!IsBlockOffset(offset)) Corrupt();
  if (TBlock* cached = Find(offset)) return Pin(*cached);
  if (!FTable.ReadLockPerOperation() && FTable.CheckForChangesBeforeRead()) return TBlockPin();
  if (uint64_t{offset} + FBlockSize > endOfFile) Corrupt();
  uint32_t inFile = (endOfFile - offset) / FBlockSize;
  uint32_t count = std::max(1u, std::min({blocksWanted, FMaxReadAhead, inFile}));
  ReadBlocks(offset, count);
  TBlock* block = Find(offset);
  if (block == nullptr) Corrupt();
  return Pin(*block);
}

TBlockPin TBlockCache::NewBlock(uint32_t offset) {
  TBlock* block = Find(offset);
  if (block == nullptr) {
    block = &TakeBuffer();
    Place(*block, offset);
  }
  return Pin(*block);
}

void TBlockCache::ReadBlocks(uint32_t offset, uint32_t count) {
  TReadAheadMarks marks(FReadingAhead);
  for (uint32_t k = 0; k < count; ++k) {
    if (TBlock* cached = Find(offset + k * FBlockSize)) {
      cached->ReadingAhead = true;
      FReadingAhead.push_back(cached);
    }
  }
  size_t bytes = static_cast<size_t>(count) * FBlockSize;
  if (FReadArea.size() < bytes) FReadArea.resize(bytes);
  FFile.Seek(offset, 0);
  int32_t got = FFile.Read(FReadArea.data(), static_cast<int32_t>(bytes), FTable.ShortReadsAccepted());
  // A block that arrived in part keeps zeros for the rest; the requested one is always taken.
  size_t arrivedBytes = std::min(bytes, static_cast<size_t>(std::max(got, 0)));
  std::memset(FReadArea.data() + arrivedBytes, 0, bytes - arrivedBytes);
  uint32_t arrived = std::max(1u, (static_cast<uint32_t>(arrivedBytes) + FBlockSize - 1) / FBlockSize);
  for (uint32_t k = arrived; k-- > 0;) {
    uint32_t blockOffset = offset + k * FBlockSize;
    const uint8_t* image = FReadArea.data() + static_cast<size_t>(k) * FBlockSize;
    if (TBlock* cached = Find(blockOffset)) {
      if (cached->PinCount == 0 && !cached->Modified) cached->Decode(image, FTable.Scrambled());
      FOrder.MoveToFront(*cached);
    } else {
      TBlock& block = TakeBuffer();
      Place(block, blockOffset);
      block.Decode(image, FTable.Scrambled());
      block.ReadingAhead = true;
      FReadingAhead.push_back(&block);
    }
  }
}

TBlock* TBlockCache::FindReusable() const {
  for (TBlock* block = FOrder.Oldest(); block != nullptr; block = block->Newer) {
    if (!block->Modified && block->PinCount == 0 && !block->ReadingAhead) return block;
  }
  return nullptr;
}

TBlock& TBlockCache::AddBuffer() {
  FBlocks.push_back(std::make_unique<TBlock>(FBlockSize));
  TBlock& block = *FBlocks.back();
  FOrder.LinkFront(block);
  return block;
}

TBlock& TBlockCache::TakeBuffer() {
  if (Count() < FRoom) return AddBuffer();
  TBlock* block = FindReusable();
  if (block == nullptr && !FTable.InBatch()) {
    FlushBlocks();
    block = FindReusable();
  }
  if (block == nullptr) {
    if (!FTable.InBatch()) Corrupt();
    FRoom += kBatchGrowth;
    return AddBuffer();
  }
  Place(*block, 0);
  block->Reset();
  FOrder.MoveToFront(*block);
  return *block;
}

void TBlockCache::FlushBlocks() {
  std::vector<TBlock*> due;
  for (auto& block : FBlocks) {
    if (block->Modified && block->PinCount == 0 && !block->ReadingAhead) due.push_back(block.get());
  }
  if (due.empty()) return;
  std::sort(due.begin(), due.end(),
            [](const TBlock* a, const TBlock* b) { return a->BlockOffset < b->BlockOffset; });
  FWriteArea.resize(due.size() * FBlockSize);
  for (size_t i = 0; i < due.size(); ++i) {
    due[i]->Encode(FWriteArea.data() + i * FBlockSize, FTable.Scrambled());
  }
  size_t first = 0;
  while (first < due.size()) {
    size_t last = first;
    while (last + 1 < due.size() &&
           due[last + 1]->BlockOffset == due[last]->BlockOffset + FBlockSize) {
      ++last;
    }
    FFile.Seek(due[first]->BlockOffset, 0);
    FFile.Write(FWriteArea.data() + first * FBlockSize,
                static_cast<int32_t>((last - first + 1) * FBlockSize));
    for (size_t i = first; i <= last; ++i) due[i]->Modified = false;
    first = last + 1;
  }
}

void TBlockCache::InvalidateBlocks() {
  for (auto& block : FBlocks) block->Reset();
  FByOffset.Clear();
}

void TBlockCache::UnpinAllBlocks() {
  for (auto& block : FBlocks) block->PinCount = 0;
}

void TBlockCache::TrimBlockCache() {
  std::unordered_set<TBlock*> freed;
  for (TBlock* block = FOrder.Oldest(); block != nullptr && Count() - static_cast<int>(freed.size()) > FNormalRoom;) {
    TBlock* newer = block->Newer;
    if (block->PinCount == 0 && !block->Modified) {
      FOrder.Unlink(*block);
      Place(*block, 0);
      freed.insert(block);
    }
    block = newer;
  }
  if (!freed.empty()) {
    std::erase_if(FBlocks, [&](const std::unique_ptr<TBlock>& block) { return freed.count(block.get()) != 0; });
  }
  FRoom = FNormalRoom;
}

void TBlockCache::FreeAllBlocks() {
  FReadingAhead.clear();
  FByOffset.Clear();
  FBlocks.clear();
  FOrder.Clear();
  FRoom = FNormalRoom;
}

}  // namespace tarnel
