// TBitmap: one bit per record slot, record number n at bit (n - 1) mod 8 of byte (n - 1) div 8.
// Bits beyond the slot count are always clear, so counts and inversions stay within the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnel {

class TBitmap {
 public:
  // Sizes the bitmap for `slots` record slots ((slots div 8) + 1 bytes); new bits are clear.
  void Resize(int32_t slots);
  int32_t Slots() const { return FSlots; }
  bool Empty() const { return FBytes.empty(); }
  void Free();

  bool Test(int32_t recordNo) const {
    return recordNo >= 1 && recordNo <= FSlots && (FBytes[Index(recordNo)] & Mask(recordNo)) != 0;
  }
  void Set(int32_t recordNo) {
    if (recordNo >= 1 && recordNo <= FSlots) FBytes[Index(recordNo)] |= Mask(recordNo);
  }
  void Clear(int32_t recordNo) {
    if (recordNo >= 1 && recordNo <= FSlots) FBytes[Index(recordNo)] &= static_cast<uint8_t>(~Mask(recordNo));
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
  static size_t Index(int32_t recordNo) { return static_cast<size_t>(recordNo - 1) >> 3; }
  static uint8_t Mask(int32_t recordNo) { return static_cast<uint8_t>(1u << ((recordNo - 1) & 7)); }
  void ClearBeyondSlots();

  std::vector<uint8_t> FBytes;
  int32_t FSlots = 0;
};

}  // namespace tarnel
