#include "engine/blob/blob_file.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <unordered_set>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/paths.h"
#include "engine/base/scramble.h"
#include "engine/base/short_string.h"
#include "engine/base/table_context.h"

namespace tarnel {

namespace {

constexpr char kExtension[] = ".BLB";

uint32_t CheckedBlockSize(const TTableContext& table, uint32_t blobBlockSize) {
  if (blobBlockSize == 0) return kDefaultBlobBlockSize;
  if (blobBlockSize < kMinBlobBlockSize || blobBlockSize > kMaxBlobBlockSize) {
    RaiseEngineError(kErrBlobFieldLimits, table.TableFileName());
  }
  return blobBlockSize;
}

// A BLOB's contents are reserved at most this far ahead of the blocks found (one read's worth).
constexpr uint32_t kMaxReadBytes = 65535;

// The blocks a walk along a chain has met, so that a chain running back into itself is found.
// The few blocks of an ordinary chain are kept in fixed room and searched directly; a long chain
// moves on into a hash set.
class TVisitedBlocks {
 public:
  explicit TVisitedBlocks(uint32_t first) { Add(first); }
  TVisitedBlocks(const TVisitedBlocks&) = delete;
  TVisitedBlocks& operator=(const TVisitedBlocks&) = delete;

  // False when the block was met before.
  bool Add(uint32_t offset) {
    if (Contains(offset)) return false;
    if (FFewCount < FFew.size()) {
      FFew[FFewCount++] = offset;
    } else {
      FMany.insert(offset);
    }
    return true;
  }
  bool Contains(uint32_t offset) const {
    for (size_t i = 0; i < FFewCount; ++i) {
      if (FFew[i] == offset) return true;
    }
    return !FMany.empty() && FMany.count(offset) != 0;
  }
  size_t Count() const { return FFewCount + FMany.size(); }

 private:
  std::array<uint32_t, 16> FFew{};
  size_t FFewCount = 0;
  std::unordered_set<uint32_t> FMany;
};

}  // namespace

TBlobFile::TBlobFile(TTableContext& table, uint32_t blobBlockSize)
    : FTable(table), FCache(*this, table, CheckedBlockSize(table, blobBlockSize)) {}

TBlobFile::~TBlobFile() { TBlobFile::Close(); }

std::string TBlobFile::NormalizeFileName(const std::string& name) const {
  return RemoveExtension(Trim(name)) + kExtension;
}

void TBlobFile::RaiseForTable(uint16_t code) const {
  RaiseEngineError(code, FTable.TableFileName());
}

uint16_t TBlobFile::Status(uint16_t code) const {
  if (code != 0) SetErrorContext(code, FTable.TableFileName(), "", "", "");
  return code;
}

uint32_t TBlobFile::BlocksFor(uint64_t bytes) const {
  return static_cast<uint32_t>((bytes + DataSize() - 1) / DataSize());
}

std::string BlobRepairMessage(const char* damage, int32_t recordNumber) {
  return damage + std::to_string(recordNumber) + ", " + kErrorFixedRepair;
}

// ---- the file and its header

void TBlobFile::Open() {
  if (Active()) return;
  TFileHandler::Open();
  try {
    ReadHeader();
    if (FHeader.Version != kBlobVersion) Raise(kErrWrongVersion);
  } catch (...) {
    TFileHandler::Close();
    throw;
  }
  FCache.FreeAllBlocks();
}

void TBlobFile::Close() {
  CloseAllBlobs();
  FCache.FreeAllBlocks();
  TFileHandler::Close();
}

void TBlobFile::CreateNew() {
  TFileHandler::CreateNew();
  CloseAllBlobs();
  FCache.FreeAllBlocks();
  FHeader = TBlobHeader();
  FHeader.Version = kBlobVersion;
  FHeader.EndOfFile = kBlobHeaderSize;
  FHeader.HeaderModified = true;
}

void TBlobFile::ReadHeader() {
  uint8_t image[kBlobHeaderSize];
  Seek(0, 0);
  Read(image, kBlobHeaderSize);
  if (FTable.Scrambled()) ScrambleBlock(image, kBlobHeaderSize, kBlockKey1, kBlockKey2);
  FHeader = TBlobHeader::Decode(image);
  FHeader.HeaderModified = false;
}

void TBlobFile::WriteHeader(bool force) {
  if (!force && !FHeader.HeaderModified) return;
  // A damaged or very old count wraps instead of overflowing.
  FHeader.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(FHeader.ChangeCount) + 1);
  uint8_t image[kBlobHeaderSize];
  FHeader.Encode(image);
  if (FTable.Scrambled()) ScrambleBlock(image, kBlobHeaderSize, kBlockKey1, kBlockKey2);
  Seek(0, 0);
  Write(image, kBlobHeaderSize);
  FHeader.HeaderModified = false;
}

bool TBlobFile::HeaderChanged() {
  uint8_t count[4];
  Seek(0, 0);
  Read(count, sizeof count);
  if (FTable.Scrambled()) ScrambleBlock(count, sizeof count, kBlockKey1, kBlockKey2);
  if (GetI32(count) == FHeader.ChangeCount) return false;
  ReadHeader();
  return true;
}

void TBlobFile::EmptyBlobs() {
  if (!Exclusive()) Raise(kErrMustBeExclusive);
  Seek(kBlobHeaderSize, 0);
  Write(nullptr, 0);
  FHeader.Version = kBlobVersion;
  FHeader.EndOfFile = kBlobHeaderSize;
  FHeader.FreeBlock = 0;
  FHeader.HeaderModified = true;
  // Cached blocks lie beyond the new end; written later, they would bring old chains back.
  FCache.InvalidateBlocks();
}

// ---- open BLOBs

int TBlobFile::IndexOf(int32_t handle) const {
  for (size_t i = 0; i < FOpenBlobs.size(); ++i) {
    if (FOpenBlobs[i]->Handle == handle) return static_cast<int>(i);
  }
  return -1;
}

TBlobBuffer* TBlobFile::Find(int32_t handle) const {
  int index = IndexOf(handle);
  return index < 0 ? nullptr : FOpenBlobs[static_cast<size_t>(index)].get();
}

int32_t TBlobFile::NewHandle() {
  for (;;) {
    int32_t handle = FNextHandle;
    FNextHandle = handle == INT32_MIN ? -1 : handle - 1;
    if (IndexOf(handle) < 0) return handle;
  }
}

uint16_t TBlobFile::OpenBlob(int32_t firstBlock, uint16_t fieldNumber, int32_t recordNumber,
                             int32_t& handle) {
  if (OpenBlobCount() >= kMaxOpenBlobs) return Status(kErrTooManyBlobs);
  auto blob = std::make_unique<TBlobBuffer>();
  blob->Handle = NewHandle();
  blob->FieldNumber = fieldNumber;
  blob->FirstBlock = firstBlock;
  blob->RecordNumber = recordNumber;
  TBlobBuffer& opened = *blob;
  FOpenBlobs.push_back(std::move(blob));
  if (firstBlock != 0) {
    try {
      LoadBlob(opened);
    } catch (...) {
      FOpenBlobs.pop_back();
      throw;
    }
  }
  handle = opened.Handle;
  return 0;
}

uint16_t TBlobFile::CloseBlob(int32_t handle, int32_t& firstBlock) {
  int index = IndexOf(handle);
  if (index < 0) return Status(kErrInvalidBlobHandle);
  firstBlock = FOpenBlobs[static_cast<size_t>(index)]->FirstBlock;
  FOpenBlobs.erase(FOpenBlobs.begin() + index);
  return 0;
}

uint16_t TBlobFile::ReadBlob(int32_t handle, int32_t offset, int32_t count, void* destination,
                             int32_t& bytesRead) {
  bytesRead = 0;
  const TBlobBuffer* blob = Find(handle);
  if (blob == nullptr) return Status(kErrInvalidBlobHandle);
  if (offset < 0 || count < 0) return Status(kErrInvalidBlobLength);
  bytesRead = blob->Read(offset, count, destination);
  return int64_t{offset} + count <= blob->Size() ? 0 : Status(kErrEndOfBlob);
}

uint16_t TBlobFile::WriteBlob(int32_t handle, int32_t offset, int32_t count, const void* source) {
  TBlobBuffer* blob = Find(handle);
  if (blob == nullptr) return Status(kErrInvalidBlobHandle);
  if (offset < 0 || count < 0 || int64_t{offset} + count > INT32_MAX) {
    return Status(kErrInvalidBlobLength);
  }
  blob->Write(offset, count, source);
  return 0;
}

uint16_t TBlobFile::TruncateBlob(int32_t handle, int32_t newSize) {
  TBlobBuffer* blob = Find(handle);
  if (blob == nullptr) return Status(kErrInvalidBlobHandle);
  if (newSize < 0) return Status(kErrInvalidBlobLength);
  blob->Truncate(newSize);
  return 0;
}

uint16_t TBlobFile::GetBlobSize(int32_t handle, int32_t& size) {
  const TBlobBuffer* blob = Find(handle);
  size = blob != nullptr ? blob->Size() : 0;
  return blob != nullptr ? 0 : Status(kErrInvalidBlobHandle);
}

void TBlobFile::SetBlobsRecord(int32_t recordNumber) {
  for (auto& blob : FOpenBlobs) blob->RecordNumber = recordNumber;
}

void TBlobFile::SaveBlobs() {
  // Checked before anything is written, so that a refused save changes nothing.
  const TBlobBuffer* first = nullptr;
  for (const auto& blob : FOpenBlobs) {
    if (!blob->Modified) continue;
    if (first != nullptr && blob->RecordNumber != first->RecordNumber) {
      RaiseForTable(kErrBlobBuffersCorrupt);
    }
    first = blob.get();
  }
  for (auto& blob : FOpenBlobs) {
    if (!blob->Modified) continue;
    if (blob->Size() <= 0) {
      FreeBlob(*blob);
    } else {
      StoreBlob(*blob);
    }
    blob->Modified = false;
  }
}

void TBlobFile::StoreBlobRefs(uint8_t* record, const TBlobFieldOffset& fieldOffset) const {
  for (const auto& blob : FOpenBlobs) {
    uint8_t* field = record + fieldOffset(blob->FieldNumber);
    field[0] = blob->FirstBlock != 0 ? 1 : 0;
    PutI32(field + 1, blob->FirstBlock);
  }
}

void TBlobFile::CloseAllBlobs() { FOpenBlobs.clear(); }

// ---- chains

TBlockPin TBlobFile::GetChainBlock(uint32_t offset, uint32_t blocksWanted) {
  TBlockPin block = FCache.GetBlock(offset, blocksWanted, FHeader.EndOfFile);
  if (!block) RaiseForTable(kErrBlobBuffersCorrupt);
  return block;
}

TBlockPin TBlobFile::GetFirstBlock(const TBlobBuffer& blob) {
  TBlockPin block = GetChainBlock(static_cast<uint32_t>(blob.FirstBlock), 1);
  if (block->Header.OwnerRecord != blob.RecordNumber) RaiseForTable(kErrBlobBuffersCorrupt);
  return block;
}

void TBlobFile::LoadBlob(TBlobBuffer& blob) {
  while (!TryLoadBlob(blob)) {
  }
}

bool TBlobFile::TryLoadBlob(TBlobBuffer& blob) {
  uint32_t first = static_cast<uint32_t>(blob.FirstBlock);
  // The length is only known from the first block; chains are mostly written into neighbouring
  // blocks, so the first read takes a few of them along.
  constexpr uint32_t kFirstReadBytes = 2048;
  TBlockPin block = FCache.GetBlock(first, std::max<uint32_t>(1, kFirstReadBytes / BlobBlockSize()), FHeader.EndOfFile);
  if (!block) return false;
  if (block->Header.OwnerRecord != blob.RecordNumber) RaiseForTable(kErrBlobBuffersCorrupt);
  // No chain holds more than the file's blocks can; a larger length is damage.
  uint32_t size = block->Header.TotalLength;
  uint32_t end = std::max(FHeader.EndOfFile, kBlobHeaderSize);
  uint64_t blocksInFile = (end - kBlobHeaderSize) / BlobBlockSize();
  if (size > blocksInFile * DataSize() || size > INT32_MAX) RaiseForTable(kErrBlobBuffersCorrupt);
  // The contents grow with the blocks actually found, never more than one read ahead of them.
  blob.Data.clear();
  blob.Data.reserve(std::min(size, kMaxReadBytes));
  TVisitedBlocks visited(first);
  uint32_t copied = 0;
  while (copied < size) {
    if (block->PinCount > 1) RaiseForTable(kErrBlobBuffersCorrupt);
    uint32_t wanted = std::min(DataSize(), size - copied);
    uint32_t taken = std::min<uint32_t>(wanted, block->Header.DataLength);
    if (taken == 0) break;
    blob.Append(block->Data.data(), static_cast<int32_t>(taken));
    copied += taken;
    if (taken < wanted || copied == size || block->Header.NextBlock == 0) break;
    uint32_t next = block->Header.NextBlock;
    if (!visited.Add(next)) RaiseForTable(kErrBlobBuffersCorrupt);
    TBlockPin nextBlock = FCache.GetBlock(next, BlocksFor(size - copied), FHeader.EndOfFile);
    if (!nextBlock) return false;
    block = std::move(nextBlock);
  }
  blob.Modified = false;
  if (copied != size) RaiseForTable(kErrEndOfBlob);
  return true;
}

void TBlobFile::StoreBlob(TBlobBuffer& blob) {
  TBlockPin block;
  uint32_t oldLength = 0;
  if (blob.FirstBlock != 0) {
    block = GetFirstBlock(blob);
    oldLength = block->Header.TotalLength;
  } else {
    block = AllocateBlock();
    blob.FirstBlock = static_cast<int32_t>(block->BlockOffset);
    block->Header.OwnerRecord = blob.RecordNumber;
  }
  uint32_t size = static_cast<uint32_t>(blob.Size());
  block->Header.TotalLength = size;
  // Blocks of the old chain still expected after `written` bytes, at least the next one.
  auto oldBlocksAfter = [&](uint32_t written) {
    return oldLength > written ? BlocksFor(oldLength - written) : 1u;
  };
  TVisitedBlocks visited(block->BlockOffset);
  uint32_t written = 0;
  for (;;) {
    uint32_t count = std::min(DataSize(), size - written);
    std::memcpy(block->Data.data(), blob.Data.data() + written, count);
    block->Header.DataLength = static_cast<uint16_t>(count);
    block->Modified = true;
    written += count;
    if (written == size) break;
    TBlockPin next;
    if (block->Header.NextBlock != 0) {
      // The old chain is reused; a link into another record's chain would overwrite it.
      next = GetChainBlock(block->Header.NextBlock, oldBlocksAfter(written));
      if (next->Header.OwnerRecord != blob.RecordNumber) RaiseForTable(kErrBlobBuffersCorrupt);
    } else {
      next = AllocateBlock();
    }
    if (!visited.Add(next->BlockOffset)) RaiseForTable(kErrBlobBuffersCorrupt);
    block->Header.NextBlock = next->BlockOffset;
    next->Header.PrevBlock = block->BlockOffset;
    next->Header.OwnerRecord = blob.RecordNumber;
    next->Header.TotalLength = 0;
    next->Modified = true;
    block = std::move(next);
  }
  if (block->Header.NextBlock != 0) {
    FreeChain(block, blob.RecordNumber, oldBlocksAfter(written) + 1, false);
    block->Header.NextBlock = 0;
  }
}

void TBlobFile::FreeBlob(TBlobBuffer& blob) {
  if (blob.FirstBlock == 0) return;
  TBlockPin first = GetFirstBlock(blob);
  FreeChain(first, blob.RecordNumber, BlocksFor(first->Header.TotalLength), true);
  blob.FirstBlock = 0;
}

void TBlobFile::FreeChain(TBlockPin& start, int32_t recordNumber, uint32_t blockCount,
                          bool freeStart) {
  TBlock* current = &*start;
  TBlockPin currentPin;  // the caller keeps `start` pinned; later blocks are pinned here
  TVisitedBlocks visited(start->BlockOffset);
  bool freeCurrent = freeStart;
  while (current->Header.NextBlock != 0) {
    uint32_t next = current->Header.NextBlock;
    const char* damage = nullptr;
    TBlockPin nextPin;
    if (visited.Contains(next)) {
      damage = kRecursivePointerRepair;
    } else if (!FCache.IsBlockOffset(next) ||
               uint64_t{next} + BlobBlockSize() > FHeader.EndOfFile) {
      damage = kInvalidPointerRepair;
    } else {
      uint32_t seen = static_cast<uint32_t>(visited.Count());
      uint32_t wanted = blockCount > seen ? blockCount - seen : 1;
      nextPin = GetChainBlock(next, wanted);
      if (nextPin->PinCount > 1) {
        damage = kRecursivePointerRepair;
      } else if (nextPin->Header.OwnerRecord != recordNumber) {
        damage = kInvalidPointerRepair;
      }
    }
    if (damage != nullptr) {
      if (!FTable.RepairMode()) RaiseForTable(kErrInvalidBlobOffset);
      FTable.RepairMessage(BlobRepairMessage(damage, recordNumber));
      current->Header.NextBlock = 0;
      current->Modified = true;
      break;
    }
    if (freeCurrent) ReleaseBlockToFreeList(*current);
    freeCurrent = true;
    visited.Add(next);
    currentPin = std::move(nextPin);
    current = &*currentPin;
  }
  if (freeCurrent) ReleaseBlockToFreeList(*current);
}

// ---- the free list

TBlockPin TBlobFile::AllocateBlock() {
  TBlockPin block;
  uint32_t head = FHeader.FreeBlock;
  if (head == 0 || head == FHeader.EndOfFile) {
    uint32_t end = FHeader.EndOfFile;
    if (end > kMaxBlobFileSize) RaiseForTable(kErrTableFull);
    if (!FCache.IsBlockOffset(end)) RaiseForTable(kErrBlobBuffersCorrupt);
    block = FCache.NewBlock(end);
    FHeader.EndOfFile = end + BlobBlockSize();
    FHeader.FreeBlock = 0;
  } else {
    block = GetChainBlock(head, 1);
    // A free list that leads into a block in use is damage.
    if (block->PinCount > 1) RaiseForTable(kErrBlobBuffersCorrupt);
    FHeader.FreeBlock = block->Header.NextBlock;
  }
  FHeader.HeaderModified = true;
  block->Clear();
  block->Modified = true;
  return block;
}

void TBlobFile::ReleaseBlockToFreeList(TBlock& block) {
  block.Header.NextBlock = FHeader.FreeBlock == FHeader.EndOfFile ? 0 : FHeader.FreeBlock;
  block.Modified = true;
  FHeader.FreeBlock = block.BlockOffset;
  FHeader.HeaderModified = true;
}

}  // namespace tarnel
