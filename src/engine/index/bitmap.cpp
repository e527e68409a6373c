#include "engine/index/bitmap.h"

#include <algorithm>
#include <bit>

namespace tarnel {

void TBitmap::Resize(int32_t slots) {
  if (slots < 0) slots = 0;
  FWords.resize(static_cast<size_t>(slots / 64 + 1), 0);
  int32_t old = FSlots;
  FSlots = slots;
  if (slots < old) ClearBeyondSlots();
}

void TBitmap::Free() {
  FWords.clear();
  FWords.shrink_to_fit();
  FSlots = 0;
}

void TBitmap::ClearAll() { std::fill(FWords.begin(), FWords.end(), 0); }

void TBitmap::SetAll() {
  std::fill(FWords.begin(), FWords.end(), ~uint64_t{0});
  ClearBeyondSlots();
}

void TBitmap::Invert() {
  for (uint64_t& word : FWords) word = ~word;
  ClearBeyondSlots();
}

void TBitmap::And(const TBitmap& other) {
  size_t n = std::min(FWords.size(), other.FWords.size());
  for (size_t i = 0; i < n; ++i) FWords[i] &= other.FWords[i];
  std::fill(FWords.begin() + static_cast<long>(n), FWords.end(), 0);
}

void TBitmap::Or(const TBitmap& other) {
  size_t n = std::min(FWords.size(), other.FWords.size());
  for (size_t i = 0; i < n; ++i) FWords[i] |= other.FWords[i];
  ClearBeyondSlots();
}

void TBitmap::ClearBeyondSlots() {
  if (FWords.empty()) return;
  size_t full = static_cast<size_t>(FSlots) / 64;
  int rest = FSlots % 64;
  if (full < FWords.size()) {
    FWords[full] &= rest == 0 ? 0 : (~uint64_t{0} >> (64 - rest));
    std::fill(FWords.begin() + static_cast<long>(full) + 1, FWords.end(), 0);
  }
}

namespace {

// The processor's own bit count where it has one (the baseline x86-64 lacks it, and the library
// call that replaces it costs more than the count).
#if defined(__x86_64__) && defined(__ELF__)
__attribute__((target_clones("popcnt", "default")))
#endif
int32_t CountWords(const uint64_t* words, size_t count) {
  int32_t set = 0;
  for (size_t i = 0; i < count; ++i) set += std::popcount(words[i]);
  return set;
}

}  // namespace

int32_t TBitmap::CountSet(int32_t upTo) const {
  if (upTo < 0 || upTo > FSlots) upTo = FSlots;
  if (upTo <= 0) return 0;
  size_t full = static_cast<size_t>(upTo) / 64;
  int32_t count = CountWords(FWords.data(), full);
  int rest = upTo % 64;
  if (rest > 0) count += std::popcount(FWords[full] & (~uint64_t{0} >> (64 - rest)));
  return count;
}

int32_t TBitmap::NextSet(int32_t from) const {
  if (from < 1) from = 1;
  if (from > FSlots) return 0;
  size_t index = Index(from);
  uint64_t word = FWords[index] & (~uint64_t{0} << ((from - 1) & 63));
  while (word == 0) {
    if (++index >= FWords.size()) return 0;
    word = FWords[index];
  }
  // Bits beyond the slot count are clear, so a bit found is a slot.
  return static_cast<int32_t>(index * 64) + std::countr_zero(word) + 1;
}

int32_t TBitmap::PreviousSet(int32_t from) const {
  if (from > FSlots) from = FSlots;
  if (from < 1) return 0;
  size_t index = Index(from);
  uint64_t word = FWords[index] & (~uint64_t{0} >> (63 - ((from - 1) & 63)));
  while (word == 0) {
    if (index == 0) return 0;
    word = FWords[--index];
  }
  return static_cast<int32_t>(index * 64) + 63 - std::countl_zero(word) + 1;
}

}  // namespace tarnel
