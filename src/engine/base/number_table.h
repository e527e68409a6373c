// TNumberTable: objects found by a 32-bit number that each object carries (a record number, a
// block offset), through open addressing with linear probing over a power-of-two array kept at
// most half full. Inserting and erasing allocate nothing once the table has grown to its load, so
// caches that renumber their buffers on every read can use it on their hot paths. The table only
// refers to the objects; whoever owns them keeps them alive while they are in it.
//
// `NumberOf` gives an object's number; it must not change while the object is in the table.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnel {

template <typename T, uint32_t (*NumberOf)(const T&)>
class TNumberTable {
 public:
  // The object with that number, or nullptr.
  T* Find(uint32_t number) const {
    if (FSlots.empty()) return nullptr;
    for (size_t slot = Home(number);; slot = Next(slot)) {
      T* item = FSlots[slot];
      if (item == nullptr || NumberOf(*item) == number) return item;
    }
  }
  // REQUIRES: no object with the same number is in the table.
  void Insert(T* item) {
    if ((FCount + 1) * 2 > FSlots.size()) Grow();
    size_t slot = Home(NumberOf(*item));
    while (FSlots[slot] != nullptr) slot = Next(slot);
    FSlots[slot] = item;
    ++FCount;
  }
  // Nothing when the object is not in the table.
  void Erase(T* item) {
    if (FSlots.empty()) return;
    size_t slot = Home(NumberOf(*item));
    while (FSlots[slot] != item) {
      if (FSlots[slot] == nullptr) return;
      slot = Next(slot);
    }
    // Later entries of the probe run move back into the hole when their home lies at or before
    // it, so that every entry stays reachable from its home without markers for erased slots.
    size_t mask = FSlots.size() - 1;
    size_t hole = slot;
    for (size_t next = Next(hole); FSlots[next] != nullptr; next = Next(next)) {
      size_t home = Home(NumberOf(*FSlots[next]));
      if (((next - home) & mask) >= ((next - hole) & mask)) {
        FSlots[hole] = FSlots[next];
        hole = next;
      }
    }
    FSlots[hole] = nullptr;
    --FCount;
  }
  void Clear() {
    FSlots.clear();
    FCount = 0;
  }
  size_t Count() const { return FCount; }

 private:
  static constexpr size_t kInitialSlots = 64;

  // The top bits of a multiplicative hash: numbers that differ only in their high bits (block
  // offsets, which are multiples of the block size) still spread over the whole table.
  size_t Home(uint32_t number) const {
    return static_cast<size_t>((number * 0x9E3779B97F4A7C15ull) >> FShift);
  }
  size_t Next(size_t slot) const { return (slot + 1) & (FSlots.size() - 1); }
  void Grow() {
    std::vector<T*> old;
    old.swap(FSlots);
    FSlots.assign(old.empty() ? kInitialSlots : old.size() * 2, nullptr);
    FShift = 64 - std::countr_zero(FSlots.size());
    FCount = 0;
    for (T* item : old) {
      if (item != nullptr) Insert(item);
    }
  }

  std::vector<T*> FSlots;
  int FShift = 64;  // 64 - log2 of the table size
  size_t FCount = 0;
};

}  // namespace tarnel
