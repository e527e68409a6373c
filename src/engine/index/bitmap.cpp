#include "engine/index/bitmap.h"

#include <algorithm>
#include <bit>

namespace tarnel {

void TBitmap::Resize(int32_t slots) {
  if (slots < 0) slots = 0;
  FBytes.resize(static_cast<size_t>(slots / 8 + 1), 0);
  int32_t old = FSlots;
  FSlots = slots;
  if (slots < old) ClearBeyondSlots();
}

void TBitmap::Free() {
  FBytes.clear();
  FBytes.shrink_to_fit();
  FSlots = 0;
}

void TBitmap::ClearAll() { std::fill(FBytes.begin(), FBytes.end(), 0); }

void TBitmap::SetAll() {
  std::fill(FBytes.begin(), FBytes.end(), 0xFF);
  ClearBeyondSlots();
}

void TBitmap::Invert() {
  for (uint8_t& byte : FBytes) byte = static_cast<uint8_t>(~byte);
  ClearBeyondSlots();
}

void TBitmap::And(const TBitmap& other) {
  for (size_t i = 0; i < FBytes.size(); ++i) FBytes[i] &= i < other.FBytes.size() ? other.FBytes[i] : 0;
}

void TBitmap::Or(const TBitmap& other) {
  size_t n = std::min(FBytes.size(), other.FBytes.size());
  for (size_t i = 0; i < n; ++i) FBytes[i] |= other.FBytes[i];
  ClearBeyondSlots();
}

void TBitmap::ClearBeyondSlots() {
  if (FBytes.empty()) return;
  size_t full = static_cast<size_t>(FSlots) / 8;
  int rest = FSlots % 8;
  if (full < FBytes.size()) {
    FBytes[full] &= static_cast<uint8_t>((1u << rest) - 1);
    std::fill(FBytes.begin() + static_cast<long>(full) + 1, FBytes.end(), 0);
  }
}

int32_t TBitmap::CountSet(int32_t upTo) const {
  if (upTo < 0 || upTo > FSlots) upTo = FSlots;
  if (upTo <= 0) return 0;
  size_t full = static_cast<size_t>(upTo) / 8;
  int32_t count = 0;
  for (size_t i = 0; i < full; ++i) count += std::popcount(FBytes[i]);
  int rest = upTo % 8;
  if (rest > 0) count += std::popcount(static_cast<uint8_t>(FBytes[full] & ((1u << rest) - 1)));
  return count;
}

int32_t TBitmap::NextSet(int32_t from) const {
  if (from < 1) from = 1;
  for (int32_t n = from; n <= FSlots;) {
    size_t index = Index(n);
    uint8_t byte = static_cast<uint8_t>(FBytes[index] >> ((n - 1) & 7));
    if (byte != 0) return n + std::countr_zero(byte);
    n = static_cast<int32_t>((index + 1) * 8 + 1);
  }
  return 0;
}

int32_t TBitmap::PreviousSet(int32_t from) const {
  if (from > FSlots) from = FSlots;
  for (int32_t n = from; n >= 1;) {
    size_t index = Index(n);
    int shift = 7 - ((n - 1) & 7);
    uint8_t byte = static_cast<uint8_t>(FBytes[index] << shift);
    if (byte != 0) return n - std::countl_zero(byte);
    n = static_cast<int32_t>(index * 8);
  }
  return 0;
}

}  // namespace tarnel
