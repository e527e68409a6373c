// TBitmap: one bit per record slot, record number n at bit (n - 1) mod 64 of word (n - 1) div 64
// (so byte (n - 1) div 8 of a little-endian image holds it at bit (n - 1) mod 8). Bits beyond the
// slot count are always clear, so counts and inversions stay within the table. Whole-map
// operations and searches work a 64-bit word at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnel {

class TBitmap {
 public:
  // Sizes the bitmap for `slots` record slots; new bits are clear.
  void Resize(int32_t slots);
  int32_t Slots() const { return FSlots; }
  bool Empty() const { return FWords.empty(); }
  void Free();

  bool Test(int32_t recordNo) const {
    return recordNo >= 1 && recordNo <= FSlots && (FWords[Index(recordNo)] & Mask(recordNo)) != 0;
  }
  void Set(int32_t recordNo) {
    if (recordNo >= 1 && recordNo <= FSlots) FWords[Index(recordNo)] |= Mask(recordNo);
  }
  void Clear(int32_t recordNo) {
    if (recordNo >= 1 && recordNo <= FSlots) FWords[Index(recordNo)] &= ~Mask(recordNo);
  }
  void ClearAll();
  void SetAll();
  void Invert();
  void And(const TBitmap& other);
  void Or(const TBitmap& other);
  // Set bits for record numbers 1 to `upTo` (all slots when negative).
  int32_t CountSet(int32_t upTo = -1) const;
  // The first set bit at or after `from`, or 0.
  int32_t NextSet(int32_t from) const;
  // The last set bit at or before `from`, or 0.
  int32_t PreviousSet(int32_t from) const;

 private:
  static size_t Index(int32_t recordNo) { return static_cast<size_t>(recordNo - 1) >> 6; }
  static uint64_t Mask(int32_t recordNo) { return uint64_t{1} << ((recordNo - 1) & 63); }
  void ClearBeyondSlots();

  std::vector<uint64_t> FWords;
  int32_t FSlots = 0;
};

}  // namespace tarnel
