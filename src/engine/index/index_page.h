// TPage: one index page in memory. Entries are decoded into fixed-size slots so that searches
// and shifts work on a plain array; EncodePage packs them back into the 4096-byte image in the
// index's compression mode. A slot is the key followed by
//   interior page      child page, subtree count (4 + 4 bytes)
//   cmNone leaf        record number (4)
//   compressed leaf    record number (4), prefix and trail lengths (2 + 2)
// with the numbers little-endian, so that interior pages and cmNone leaves hold their entries
// exactly as the disk does and are decoded and encoded by one copy.
//
// On disk a page is a 13-byte header (type, entry count, previous and next page, used bytes)
// followed by the packed entries: interior entries are key, child page, subtree count; leaf
// entries key and record number, compressed as
//   cmNone      key                                   L + 4 bytes
//   cmLeading   P (2 bytes), key[P, L)                L - P + 6
//   cmTrailing  T (2 bytes), key[0, L - T)            L - T + 6
//   cmBoth      P (1 byte), T (1 byte), key[P, L - T) L - P - T + 6
// where P is the prefix shared with the previous entry of the page and T the zero bytes dropped
// from the end of the compressible part (for keys ending in a record-identifier suffix the part
// before the suffix; the suffix is always stored).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/base/byte_order.h"
#include "engine/index/index_header.h"

namespace tarnel {

enum TPageType : uint8_t { ptRootNode = 0, ptNode = 1, ptLeaf = 2, ptRootLeaf = 3 };

// The options of the index a page belongs to.
struct TPageOptions {
  uint16_t KeyLength = 0;
  uint8_t IndexNo = 0;
  bool Descending = false;
  bool Unique = false;
  uint8_t Compression = cmNone;
  bool HasSuffix = false;  // keys end in the 4-byte record identifier (non-unique secondary index)
};

class TPage {
 public:
  TPage() = default;

  // Resets the buffer for the given index: unused, clean, unpinned, no entries.
  void Reset(const TPageOptions& options);

  // Fills the page from a plain (descrambled) image. With `newPage` only the header is taken.
  // A damaged image raises 8965 naming `fileName`.
  void DecodePage(const uint8_t* image, bool newPage, const std::string& fileName);
  // Packs the page into a plain 4096-byte image.
  void EncodePage(uint8_t* image, const std::string& fileName) const;

  bool IsLeaf() const { return PageType == ptLeaf || PageType == ptRootLeaf; }
  bool IsRoot() const { return PageType == ptRootNode || PageType == ptRootLeaf; }
  bool IsCompressedLeaf() const { return IsLeaf() && FOptions.Compression != cmNone; }
  // Entries an interior page or a cmNone leaf holds at most.
  int PageCapacity() const;
  // The page holds more than it may: too many entries, or compressed entries over 4083 bytes.
  bool Overflows() const;

  // Entries are numbered from 1.
  uint8_t* Key(int entry) { return Slot(entry); }
  const uint8_t* Key(int entry) const { return Slot(entry); }
  uint32_t Value(int entry) const { return GetU32(Slot(entry) + FOptions.KeyLength); }
  void SetValue(int entry, uint32_t value) { PutU32(Slot(entry) + FOptions.KeyLength, value); }
  // 0 for the entries of a leaf, which count nothing below them; setting it there does nothing.
  uint32_t SubtreeCount(int entry) const { return IsLeaf() ? 0 : GetU32(Slot(entry) + FOptions.KeyLength + 4); }
  void SetSubtreeCount(int entry, uint32_t count) {
    if (!IsLeaf()) PutU32(Slot(entry) + FOptions.KeyLength + 4, count);
  }
  // 0 outside compressed leaves.
  uint16_t PrefixLength(int entry) const {
    return IsCompressedLeaf() ? GetU16(Slot(entry) + FOptions.KeyLength + 4) : 0;
  }
  uint16_t TrailLength(int entry) const {
    return IsCompressedLeaf() ? GetU16(Slot(entry) + FOptions.KeyLength + 6) : 0;
  }
  // Bytes the entry takes in the packed page.
  int EntrySize(int entry) const;

  // Inserts an entry so that it becomes entry `position` (1 to EntryCount + 1).
  void InsertEntry(int position, const uint8_t* key, uint32_t value, uint32_t subtreeCount);
  void RemoveEntry(int position);
  // Moves `count` entries starting at entry `from` into `target` (a page of the same index and
  // level) so that the first of them becomes its entry `at`. A target of another level (a
  // damaged tree) is error 8965.
  void MoveEntriesTo(int from, int count, TPage& target, int at);
  void SetKey(int entry, const uint8_t* key);
  // The number of leaf entries below this page: EntryCount of a leaf, the sum of the subtree
  // counts of an interior page.
  uint32_t CountBelow() const;
  // Recomputes P and T of every entry and UsedBytes, after any change to a leaf.
  void RecomputeCompression();

  const TPageOptions& Options() const { return FOptions; }
  uint16_t KeyLength() const { return FOptions.KeyLength; }

  bool Modified = false;
  uint16_t PinCount = 0;
  uint32_t PageOffset = 0;
  uint32_t ParentPage = 0;
  uint16_t UsedBytes = 0;
  uint16_t EntryCount = 0;
  uint16_t WritePos = 1;
  uint16_t ReadPos = 1;
  uint8_t PageType = ptRootNode;
  uint32_t PrevPage = 0;
  uint32_t NextPage = 0;
  bool Freed = false;

 private:
  size_t SlotSize() const {
    return static_cast<size_t>(FOptions.KeyLength) + (IsLeaf() && FOptions.Compression == cmNone ? 4 : 8);
  }
  // Interior pages and cmNone leaves: slots as on disk.
  bool SlotsAsStored() const { return !IsCompressedLeaf(); }
  uint8_t* Slot(int entry) { return FEntries.data() + static_cast<size_t>(entry - 1) * SlotSize(); }
  const uint8_t* Slot(int entry) const {
    return FEntries.data() + static_cast<size_t>(entry - 1) * SlotSize();
  }
  // Bytes of the compressible part of a key: the whole key, or the part before the suffix.
  int CompressibleLength() const;
  uint16_t ComputeTrail(const uint8_t* key, int prefix) const;
  // Recomputes P and T of one entry against the entry before it.
  void RecomputeEntry(int entry);
  void SetPrefixTrail(int entry, uint16_t prefix, uint16_t trail);
  void Reserve(int entries);

  TPageOptions FOptions;
  std::vector<uint8_t> FEntries;
};

}  // namespace tarnel
