#include "engine/index/index_page.h"

#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"

namespace tarnel {

namespace {

constexpr size_t kHeaderPageType = 0;
constexpr size_t kHeaderEntryCount = 1;
constexpr size_t kHeaderPrevPage = 3;
constexpr size_t kHeaderNextPage = 7;
constexpr size_t kHeaderUsedBytes = 11;

[[noreturn]] void Corrupt(const std::string& fileName) {
  RaiseEngineError(kErrPageBuffersCorrupt, fileName);
}

int CommonPrefix(const uint8_t* a, const uint8_t* b, int length) {
  int n = 0;
  while (n < length && a[n] == b[n]) ++n;
  return n;
}

}  // namespace

void TPage::Reset(const TPageOptions& options) {
  // The slot array keeps its memory for the next page the buffer takes.
  FOptions = options;
  Modified = false;
  PinCount = 0;
  PageOffset = 0;
  ParentPage = 0;
  UsedBytes = 0;
  EntryCount = 0;
  WritePos = 1;
  ReadPos = 1;
  PageType = ptRootNode;
  PrevPage = 0;
  NextPage = 0;
  Freed = false;
}

int TPage::PageCapacity() const {
  int keyLength = FOptions.KeyLength;
  return IsLeaf() ? kPageDataSize / (keyLength + 6) : kPageDataSize / (keyLength + 10);
}

bool TPage::Overflows() const {
  if (IsCompressedLeaf()) return UsedBytes > kPageDataSize;
  return EntryCount > PageCapacity();
}

void TPage::SetPrefixTrail(int entry, uint16_t prefix, uint16_t trail) {
  if (!IsCompressedLeaf()) return;
  PutU16(Slot(entry) + FOptions.KeyLength + 4, prefix);
  PutU16(Slot(entry) + FOptions.KeyLength + 6, trail);
}

int TPage::EntrySize(int entry) const {
  int keyLength = FOptions.KeyLength;
  if (!IsLeaf()) return keyLength + 8;
  switch (FOptions.Compression) {
    case cmLeading: return keyLength - PrefixLength(entry) + 6;
    case cmTrailing: return keyLength - TrailLength(entry) + 6;
    case cmBoth: return keyLength - PrefixLength(entry) - TrailLength(entry) + 6;
    default: return keyLength + 4;
  }
}

int TPage::CompressibleLength() const {
  return FOptions.HasSuffix ? FOptions.KeyLength - kKeySuffixLength : FOptions.KeyLength;
}

uint16_t TPage::ComputeTrail(const uint8_t* key, int prefix) const {
  int compressible = CompressibleLength();
  if (FOptions.Compression == cmBoth && FOptions.HasSuffix &&
      FOptions.KeyLength - prefix < kKeySuffixLength + 1) {
    return 0;
  }
  // Zero bytes are counted over at most the last (C mod 256) bytes of the compressible part, and
  // never into the shared prefix.
  int limit = compressible % 256;
  if (FOptions.Compression == cmBoth) limit = std::min({limit, 255, compressible - prefix});
  int trail = 0;
  while (trail < limit && key[compressible - 1 - trail] == 0) ++trail;
  return static_cast<uint16_t>(trail);
}

void TPage::RecomputeCompression() {
  if (!IsCompressedLeaf()) {
    UsedBytes = 0;
    return;
  }
  int used = 0;
  for (int entry = 1; entry <= EntryCount; ++entry) {
    RecomputeEntry(entry);
    used += EntrySize(entry);
  }
  UsedBytes = static_cast<uint16_t>(std::min(used, 0xFFFF));
}

void TPage::Reserve(int entries) {
  // The slot array grows in steps of a page's worth of bytes.
  size_t needed = static_cast<size_t>(entries) * SlotSize();
  if (needed > FEntries.size()) {
    size_t step = kPageDataSize;
    FEntries.resize((needed + step - 1) / step * step);
  }
}

void TPage::RecomputeEntry(int entry) {
  int prefix = 0;
  if (entry > 1 && FOptions.Compression != cmTrailing) {
    prefix = CommonPrefix(Key(entry - 1), Key(entry), FOptions.KeyLength);
    if (FOptions.Compression == cmBoth) prefix = std::min(prefix, 255);
  }
  uint16_t trail = FOptions.Compression == cmLeading ? 0 : ComputeTrail(Key(entry), prefix);
  SetPrefixTrail(entry, static_cast<uint16_t>(prefix), trail);
}

void TPage::InsertEntry(int position, const uint8_t* key, uint32_t value, uint32_t subtreeCount) {
  Reserve(EntryCount + 1);
  uint8_t* at = Slot(position);
  std::memmove(at + SlotSize(), at, static_cast<size_t>(EntryCount - position + 1) * SlotSize());
  std::memcpy(at, key, FOptions.KeyLength);
  ++EntryCount;
  SetValue(position, value);
  SetSubtreeCount(position, subtreeCount);
  SetPrefixTrail(position, 0, 0);
  if (IsCompressedLeaf()) {
    // Only the new entry and the one after it (whose prefix was shared with another entry)
    // change their compression.
    int used = UsedBytes;
    if (position < EntryCount) used -= EntrySize(position + 1);
    RecomputeEntry(position);
    used += EntrySize(position);
    if (position < EntryCount) {
      RecomputeEntry(position + 1);
      used += EntrySize(position + 1);
    }
    UsedBytes = static_cast<uint16_t>(std::min(used, 0xFFFF));
  } else {
    UsedBytes = 0;
  }
  Modified = true;
}

void TPage::RemoveEntry(int position) {
  int used = UsedBytes;
  bool compressed = IsCompressedLeaf();
  if (compressed) {
    used -= EntrySize(position);
    if (position < EntryCount) used -= EntrySize(position + 1);
  }
  uint8_t* at = Slot(position);
  std::memmove(at, at + SlotSize(), static_cast<size_t>(EntryCount - position) * SlotSize());
  --EntryCount;
  if (compressed) {
    if (position <= EntryCount) {
      RecomputeEntry(position);
      used += EntrySize(position);
    }
    UsedBytes = static_cast<uint16_t>(std::max(0, std::min(used, 0xFFFF)));
  } else {
    UsedBytes = 0;
  }
  Modified = true;
}

void TPage::MoveEntriesTo(int from, int count, TPage& target, int at) {
  if (count <= 0) return;
  if (target.SlotSize() != SlotSize()) RaiseEngineError(kErrPageBuffersCorrupt);
  size_t slot = SlotSize();
  size_t bytes = static_cast<size_t>(count) * slot;
  target.Reserve(target.EntryCount + count);
  uint8_t* gap = target.Slot(at);
  std::memmove(gap + bytes, gap, static_cast<size_t>(target.EntryCount - at + 1) * slot);
  std::memcpy(gap, Slot(from), bytes);
  target.EntryCount = static_cast<uint16_t>(target.EntryCount + count);
  uint8_t* hole = Slot(from);
  std::memmove(hole, hole + bytes, static_cast<size_t>(EntryCount - (from + count) + 1) * slot);
  EntryCount = static_cast<uint16_t>(EntryCount - count);
  RecomputeCompression();
  target.RecomputeCompression();
  Modified = true;
  target.Modified = true;
}

void TPage::SetKey(int entry, const uint8_t* key) {
  std::memcpy(Key(entry), key, FOptions.KeyLength);
  if (IsCompressedLeaf()) RecomputeCompression();
  Modified = true;
}

uint32_t TPage::CountBelow() const {
  if (IsLeaf()) return EntryCount;
  uint32_t count = 0;
  for (int entry = 1; entry <= EntryCount; ++entry) count += SubtreeCount(entry);
  return count;
}

void TPage::DecodePage(const uint8_t* image, bool newPage, const std::string& fileName) {
  PageType = image[kHeaderPageType];
  PrevPage = GetU32(image + kHeaderPrevPage);
  NextPage = GetU32(image + kHeaderNextPage);
  UsedBytes = GetU16(image + kHeaderUsedBytes);
  WritePos = 1;
  ReadPos = 1;
  ParentPage = 0;
  Modified = false;
  Freed = false;
  EntryCount = 0;
  if (newPage) return;
  if (PageType > ptRootLeaf) Corrupt(fileName);

  int keyLength = FOptions.KeyLength;
  int count = GetU16(image + kHeaderEntryCount);
  if (SlotsAsStored()) {
    // Interior entries and cmNone leaf entries are stored as their slots are laid out.
    size_t bytes = static_cast<size_t>(count) * SlotSize();
    if (bytes > static_cast<size_t>(kPageDataSize)) Corrupt(fileName);
    Reserve(count);
    if (bytes > 0) std::memcpy(FEntries.data(), image + kPageHeaderSize, bytes);
    EntryCount = static_cast<uint16_t>(count);
    UsedBytes = 0;
    return;
  }
  int compressible = CompressibleLength();
  if (count > kPageDataSize / 6) Corrupt(fileName);
  Reserve(count);
  size_t pos = kPageHeaderSize;
  auto need = [&](size_t bytes) {
    if (pos + bytes > static_cast<size_t>(kPageSize)) Corrupt(fileName);
  };
  for (int entry = 1; entry <= count; ++entry) {
    uint8_t* key = Slot(entry);
    int prefix = 0;
    int trail = 0;
    uint8_t compression = FOptions.Compression;
    if (compression == cmLeading || compression == cmTrailing) {
      need(2);
      int stored = GetU16(image + pos);
      pos += 2;
      if (compression == cmLeading) {
        prefix = entry == 1 ? 0 : stored;
      } else {
        trail = stored;
      }
    } else if (compression == cmBoth) {
      need(2);
      prefix = entry == 1 ? 0 : image[pos];
      trail = image[pos + 1];
      pos += 2;
    }
    // Dropped zeros lie inside the compressible part, behind the shared prefix; a key ending in
    // a suffix keeps at least one byte before it when zeros are dropped.
    bool suffixApart = FOptions.HasSuffix && trail > 0;
    if (prefix > keyLength) Corrupt(fileName);
    if (trail > 0 && prefix + trail > compressible) Corrupt(fileName);
    if (suffixApart && keyLength - prefix < kKeySuffixLength + 1) Corrupt(fileName);
    if (prefix > 0) std::memcpy(key, Slot(entry - 1), static_cast<size_t>(prefix));
    int kept = (suffixApart ? compressible : keyLength) - prefix - trail;
    need(static_cast<size_t>(kept) + (suffixApart ? kKeySuffixLength : 0) + 4);
    std::memcpy(key + prefix, image + pos, static_cast<size_t>(kept));
    pos += static_cast<size_t>(kept);
    std::memset(key + prefix + kept, 0, static_cast<size_t>(trail));
    if (suffixApart) {
      std::memcpy(key + compressible, image + pos, kKeySuffixLength);
      pos += kKeySuffixLength;
    }
    SetValue(entry, GetU32(image + pos));
    pos += 4;
    SetPrefixTrail(entry, static_cast<uint16_t>(prefix), static_cast<uint16_t>(trail));
  }
  EntryCount = static_cast<uint16_t>(count);
  int used = 0;
  for (int entry = 1; entry <= count; ++entry) used += EntrySize(entry);
  UsedBytes = static_cast<uint16_t>(used);
}

void TPage::EncodePage(uint8_t* image, const std::string& fileName) const {
  image[kHeaderPageType] = PageType;
  PutU16(image + kHeaderEntryCount, Freed ? 0 : EntryCount);
  PutU32(image + kHeaderPrevPage, PrevPage);
  PutU32(image + kHeaderNextPage, NextPage);
  PutU16(image + kHeaderUsedBytes, Freed ? 0 : UsedBytes);
  uint8_t* entries = image + kPageHeaderSize;
  if (!Freed && SlotsAsStored()) {
    size_t bytes = static_cast<size_t>(EntryCount) * SlotSize();
    if (bytes > static_cast<size_t>(kPageDataSize)) Corrupt(fileName);
    if (bytes > 0) std::memcpy(entries, FEntries.data(), bytes);
    std::memset(entries + bytes, 0, kPageDataSize - bytes);
    return;
  }
  std::memset(entries, 0, kPageDataSize);
  if (Freed) return;
  if (UsedBytes > kPageDataSize) Corrupt(fileName);

  int keyLength = FOptions.KeyLength;
  int compressible = CompressibleLength();
  size_t pos = kPageHeaderSize;
  for (int entry = 1; entry <= EntryCount; ++entry) {
    const uint8_t* key = Key(entry);
    if (pos + static_cast<size_t>(EntrySize(entry)) > static_cast<size_t>(kPageSize)) Corrupt(fileName);
    int prefix = PrefixLength(entry);
    int trail = TrailLength(entry);
    switch (FOptions.Compression) {
      case cmLeading: PutU16(image + pos, static_cast<uint16_t>(prefix)); pos += 2; break;
      case cmTrailing: PutU16(image + pos, static_cast<uint16_t>(trail)); pos += 2; break;
      case cmBoth:
        image[pos] = static_cast<uint8_t>(prefix);
        image[pos + 1] = static_cast<uint8_t>(trail);
        pos += 2;
        break;
      default: break;
    }
    bool suffixApart = FOptions.HasSuffix && trail > 0;
    int kept = (suffixApart ? compressible : keyLength) - prefix - trail;
    std::memcpy(image + pos, key + prefix, static_cast<size_t>(kept));
    pos += static_cast<size_t>(kept);
    if (suffixApart) {
      std::memcpy(image + pos, key + compressible, kKeySuffixLength);
      pos += kKeySuffixLength;
    }
    PutU32(image + pos, Value(entry));
    pos += 4;
  }
}

}  // namespace tarnel
