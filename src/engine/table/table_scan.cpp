#include "engine/table/table_scan.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/base/scramble.h"
#include "engine/blob/blob_file.h"
#include "engine/table/data_file.h"

namespace tarnel {

namespace {

constexpr size_t kRunBytes = 262144;

std::string Block(uint32_t offset) { return "block " + std::to_string(offset); }

}  // namespace

TStoredRecords::TStoredRecords(TDataFile& table) : FTable(table) {
  int64_t length = table.Seek(0, 2);
  int64_t first = table.RecordOffset(1);
  int64_t complete = length > first ? (length - first) / table.RecordSize() : 0;
  FCompleteSlots = static_cast<int32_t>(std::min<int64_t>(complete, table.RecordSlotCount()));
}

void TStoredRecords::ForEach(int32_t slots, const std::function<void(int32_t, uint8_t*)>& visit) {
  size_t recordSize = FTable.RecordSize();
  int32_t perRun = static_cast<int32_t>(std::max<size_t>(1, kRunBytes / recordSize));
  std::vector<uint8_t> run;
  std::vector<uint8_t> image(static_cast<size_t>(FTable.RecordBufferSize()), 0);
  for (int32_t first = 1; first <= slots; first += perRun) {
    int32_t count = std::min(perRun, slots - first + 1);
    run.assign(recordSize * static_cast<size_t>(count), 0);
    FTable.Seek(FTable.RecordOffset(first), 0);
    FTable.Read(run.data(), static_cast<int32_t>(run.size()), true);
    for (int32_t i = 0; i < count; ++i) {
      std::fill(image.begin(), image.end(), uint8_t{0});
      std::memcpy(image.data(), run.data() + recordSize * static_cast<size_t>(i), recordSize);
      if (FTable.Scrambled()) ScrambleBlock(image.data(), recordSize, kBlockKey1, kBlockKey2);
      visit(first + i, image.data());
    }
  }
}

void TStoredRecords::Read(int32_t recordNo, uint8_t* image) {
  std::memset(image, 0, static_cast<size_t>(FTable.RecordBufferSize()));
  FTable.Seek(FTable.RecordOffset(recordNo), 0);
  FTable.Read(image, FTable.RecordSize(), true);
  if (FTable.Scrambled()) ScrambleBlock(image, FTable.RecordSize(), kBlockKey1, kBlockKey2);
}

void TStoredRecords::Write(int32_t recordNo, const uint8_t* image) {
  std::vector<uint8_t> stored(image, image + FTable.RecordSize());
  if (FTable.Scrambled()) ScrambleBlock(stored.data(), stored.size(), kBlockKey1, kBlockKey2);
  FTable.Seek(FTable.RecordOffset(recordNo), 0);
  FTable.Write(stored.data(), static_cast<int32_t>(stored.size()));
}

TStoredBlocks::TStoredBlocks(TDataFile& table)
    : FFile(*table.BlobFile()), FScrambled(table.Scrambled()), FBlockSize(table.BlobFile()->BlobBlockSize()) {
  int64_t length = FFile.Seek(0, 2);
  if (length > kFirstBlock) FBlockCount = static_cast<uint32_t>((length - kFirstBlock) / FBlockSize);
}

int64_t TStoredBlocks::IndexOf(uint32_t offset) const {
  if (offset < kFirstBlock || (offset - kFirstBlock) % FBlockSize != 0) return -1;
  uint32_t index = (offset - kFirstBlock) / FBlockSize;
  return index < FBlockCount ? int64_t{index} : int64_t{-1};
}

TBlock TStoredBlocks::Read(uint32_t offset) {
  bool inWindow = offset >= FWindowStart && uint64_t{offset} + FBlockSize <= uint64_t{FWindowStart} + FWindow.size();
  if (!inWindow) {
    uint64_t end = kFirstBlock + uint64_t{FBlockCount} * FBlockSize;
    uint64_t wanted = std::max<uint64_t>(FBlockSize, kWindowBytes / FBlockSize * FBlockSize);
    FWindow.assign(static_cast<size_t>(std::min<uint64_t>(wanted, end - offset)), 0);
    FWindowStart = offset;
    FFile.Seek(offset, 0);
    FFile.Read(FWindow.data(), static_cast<int32_t>(FWindow.size()), true);
  }
  TBlock block(FBlockSize);
  block.Decode(FWindow.data() + (offset - FWindowStart), FScrambled);
  block.BlockOffset = offset;
  return block;
}

void TStoredBlocks::Write(const TBlock& block) {
  std::vector<uint8_t> image(FBlockSize);
  block.Encode(image.data(), FScrambled);
  FFile.Seek(block.BlockOffset, 0);
  FFile.Write(image.data(), static_cast<int32_t>(image.size()));
  FWindow.clear();
}

void TStoredBlocks::Truncate(uint32_t blocks) {
  FFile.Seek(kFirstBlock + int64_t{blocks} * FBlockSize, 0);
  FFile.Write(nullptr, 0);
  FBlockCount = std::min(FBlockCount, blocks);
  FWindow.clear();
}

TChainWalk WalkChain(TStoredBlocks& blocks, uint32_t first, int32_t recordNo,
                     const std::function<int32_t(uint32_t)>& usedBy) {
  TChainWalk walk;
  auto fail = [&walk](TChainDamage damage, const std::string& text) {
    walk.Damage = damage;
    walk.Problem = text;
    return walk;
  };
  if (blocks.IndexOf(first) < 0) return fail(TChainDamage::Reference, "BLOB reference " + std::to_string(first) + " is not a block of the BLOB file");
  if (int32_t other = usedBy(first)) return fail(TChainDamage::Reference, Block(first) + " belongs to the chain of record " + std::to_string(other));
  TBlock block = blocks.Read(first);
  if (block.Header.OwnerRecord != recordNo) {
    return fail(TChainDamage::Reference, "first " + Block(first) + " belongs to record " + std::to_string(block.Header.OwnerRecord));
  }
  walk.TotalLength = block.Header.TotalLength;
  if (walk.TotalLength == 0 || walk.TotalLength > INT32_MAX) {
    return fail(TChainDamage::Reference, "first " + Block(first) + " gives the length " + std::to_string(walk.TotalLength));
  }
  std::unordered_set<uint32_t> visited;
  uint32_t previous = 0;
  uint32_t offset = first;
  for (;;) {
    visited.insert(offset);
    bool headerWrong = block.Header.PrevBlock != previous || (previous != 0 && block.Header.TotalLength != 0);
    uint32_t length = block.Header.DataLength;
    uint64_t remaining = walk.TotalLength - walk.Bytes;
    if (length == 0 || length > blocks.DataSize() || length > remaining) {
      return fail(TChainDamage::Length, Block(offset) + " holds " + std::to_string(length) + " bytes where " +
                  std::to_string(std::min<uint64_t>(remaining, blocks.DataSize())) + " were due");
    }
    walk.Blocks.push_back(offset);
    if (headerWrong) walk.HeaderFixes.push_back(offset);
    walk.Bytes += length;
    uint32_t next = block.Header.NextBlock;
    if (walk.Bytes == walk.TotalLength) {
      if (next != 0) return fail(TChainDamage::Link, "the chain goes on after its " + std::to_string(walk.Bytes) + " bytes, at " + Block(next));
      return walk;
    }
    if (length < blocks.DataSize()) {
      return fail(TChainDamage::Length, Block(offset) + " holds " + std::to_string(length) + " bytes inside the chain; every block but the last is full");
    }
    if (next == 0) {
      return fail(TChainDamage::Length, "the chain ends after " + std::to_string(walk.Bytes) + " of its " + std::to_string(walk.TotalLength) +
                  " bytes");
    }
    if (visited.count(next) != 0) {
      return fail(TChainDamage::Loop, Block(offset) + " links back to " + Block(next) + " of the same chain");
    }
    if (blocks.IndexOf(next) < 0) return fail(TChainDamage::Link, Block(offset) + " links to " + std::to_string(next) + ", not a block of the file");
    if (int32_t other = usedBy(next)) {
      return fail(TChainDamage::Link, Block(offset) + " links to " + Block(next) + " of the chain of record " + std::to_string(other));
    }
    TBlock following = blocks.Read(next);
    if (following.Header.OwnerRecord != recordNo) {
      return fail(TChainDamage::Link, Block(offset) + " links to " + Block(next) + ", which belongs to record " +
                  std::to_string(following.Header.OwnerRecord));
    }
    previous = offset;
    offset = next;
    block = std::move(following);
  }
}

}  // namespace tarnel
