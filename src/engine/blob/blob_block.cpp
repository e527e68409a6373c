#include "engine/blob/blob_block.h"

#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/scramble.h"

namespace tarnel {

namespace {

// Offsets of the block header.
constexpr size_t kPrevBlock = 0;
constexpr size_t kNextBlock = 4;
constexpr size_t kDataLength = 8;
constexpr size_t kOwnerRecord = 10;
constexpr size_t kTotalLength = 14;
static_assert(kTotalLength + 4 == TBlockHeader::kDiskSize);

}  // namespace

void TBlockHeader::Encode(uint8_t* out) const {
  PutU32(out + kPrevBlock, PrevBlock);
  PutU32(out + kNextBlock, NextBlock);
  PutU16(out + kDataLength, DataLength);
  PutI32(out + kOwnerRecord, OwnerRecord);
  PutU32(out + kTotalLength, TotalLength);
}

TBlockHeader TBlockHeader::Decode(const uint8_t* in) {
  TBlockHeader header;
  header.PrevBlock = GetU32(in + kPrevBlock);
  header.NextBlock = GetU32(in + kNextBlock);
  header.DataLength = GetU16(in + kDataLength);
  header.OwnerRecord = GetI32(in + kOwnerRecord);
  header.TotalLength = GetU32(in + kTotalLength);
  return header;
}

void TBlock::Reset() {
  Clear();
  Modified = false;
  BlockOffset = 0;
  PinCount = 0;
  ReadingAhead = false;
}

void TBlock::Clear() {
  Header = TBlockHeader();
  std::fill(Data.begin(), Data.end(), uint8_t{0});
}

void TBlock::Decode(const uint8_t* image, bool scrambled) {
  uint8_t header[kBlockHeaderSize];
  std::memcpy(header, image, kBlockHeaderSize);
  std::memcpy(Data.data(), image + kBlockHeaderSize, Data.size());
  if (scrambled) {
    ScrambleBlock(header, kBlockHeaderSize, kBlockKey1, kBlockKey2);
    ScrambleBlock(Data.data(), Data.size(), kBlockKey1, kBlockKey2);
  }
  Header = TBlockHeader::Decode(header);
  Modified = false;
}

void TBlock::Encode(uint8_t* image, bool scrambled) const {
  Header.Encode(image);
  std::memcpy(image + kBlockHeaderSize, Data.data(), Data.size());
  if (scrambled) {
    ScrambleBlock(image, kBlockHeaderSize, kBlockKey1, kBlockKey2);
    ScrambleBlock(image + kBlockHeaderSize, Data.size(), kBlockKey1, kBlockKey2);
  }
}

TBlockPin& TBlockPin::operator=(TBlockPin&& other) noexcept {
  if (this != &other) {
    Release();
    FBlock = other.FBlock;
    other.FBlock = nullptr;
  }
  return *this;
}

void TBlockPin::Release() {
  if (FBlock != nullptr && FBlock->PinCount > 0) --FBlock->PinCount;
  FBlock = nullptr;
}

}  // namespace tarnel
