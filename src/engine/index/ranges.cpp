// Ranges of the current index and counts of key ranges: the sequence numbers of the first and
// last entries inside a range come from two descents, never from a walk.
#include <algorithm>
#include <cstring>

#include "engine/base/errors.h"
#include "engine/index/index_file.h"

namespace tarnel {

void TIndexFile::SetRangeKeys(const uint8_t* startKey, const uint8_t* endKey) {
  std::fill(FRangeStart.begin(), FRangeStart.end(), 0);
  std::fill(FRangeEnd.begin(), FRangeEnd.end(), 0);
  std::memcpy(FRangeStart.data(), startKey, FCurrent.KeyLength);
  std::memcpy(FRangeEnd.data(), endKey, FCurrent.KeyLength);
  FRangeActive = true;
}

void TIndexFile::ClearRange() {
  std::fill(FRangeStart.begin(), FRangeStart.end(), 0x00);
  std::fill(FRangeEnd.begin(), FRangeEnd.end(), 0xFF);
  FRangeStartPosition = 1;
  FRangeEndPosition = FHeader.RecordCount;
  FRangeActive = false;
  FRangeBitmap.Free();
}

int32_t TIndexFile::RangeStartFor(const uint8_t* key) {
  int length = FCurrent.KeyLength;
  for (;;) {
    TLeafEntry at;
    if (!Descend(TDescend::Nearest, key, length, at)) continue;
    if (at.Leaf == nullptr) return 0;
    int32_t position = at.Position;
    if (CompareKeys(at.Leaf->Key(at.Entry), key, length) < 0) {
      bool moved;
      if (!Step(at, true, moved)) continue;
      position = moved && CompareKeys(at.Leaf->Key(at.Entry), key, length) >= 0 ? at.Position : 0;
    }
    ReleasePage(at.Leaf);
    return position;
  }
}

int32_t TIndexFile::RangeEndFor(const uint8_t* key) {
  int length = FCurrent.KeyLength;
  for (;;) {
    TLeafEntry at;
    if (!Descend(TDescend::AtOrBelow, key, length, at)) continue;
    if (at.Leaf == nullptr) return 0;
    int32_t position = at.Position;
    if (CompareKeys(at.Leaf->Key(at.Entry), key, length) > 0) {
      bool moved;
      if (!Step(at, false, moved)) continue;
      position = moved && CompareKeys(at.Leaf->Key(at.Entry), key, length) <= 0 ? at.Position : 0;
    }
    ReleasePage(at.Leaf);
    return position;
  }
}

void TIndexFile::ComputeRangePositions() {
  if (FComputingRange) return;
  FComputingRange = true;
  if (!FRangeActive || PhysicalOrder()) {
    FRangeStartPosition = 1;
    FRangeEndPosition = FHeader.RecordCount;
  } else if (CompareKeys(FRangeStart.data(), FRangeEnd.data(), FCurrent.KeyLength) > 0) {
    FRangeStartPosition = 0;
    FRangeEndPosition = 0;
  } else {
    try {
      FRangeStartPosition = RangeStartFor(FRangeStart.data());
      FRangeEndPosition = RangeEndFor(FRangeEnd.data());
    } catch (...) {
      FComputingRange = false;
      throw;
    }
  }
  FComputingRange = false;
}

int32_t TIndexFile::CountKeyRange(const uint8_t* low, const uint8_t* high) {
  if (CompareKeys(low, high, FCurrent.KeyLength) > 0) return 0;
  int32_t first = RangeStartFor(low);
  int32_t last = RangeEndFor(high);
  if (first <= 0 || last <= 0) return 0;
  return std::max(0, last - first + 1);
}

void TIndexFile::MarkKeyRange(const uint8_t* low, const uint8_t* high, TBitmap& bitmap) {
  while (!TryMarkKeyRange(low, high, bitmap)) {
  }
}

bool TIndexFile::TryMarkKeyRange(const uint8_t* low, const uint8_t* high, TBitmap& bitmap) {
  bitmap.ClearAll();
  int length = FCurrent.KeyLength;
  if (CompareKeys(low, high, length) > 0) return true;
  TLeafEntry at;
  if (!Descend(TDescend::Nearest, low, length, at)) return false;
  if (at.Leaf == nullptr) return true;
  bool moved = true;
  if (CompareKeys(at.Leaf->Key(at.Entry), low, length) < 0) {
    if (!Step(at, true, moved)) return false;
  }
  while (moved && CompareKeys(at.Leaf->Key(at.Entry), high, length) <= 0) {
    bitmap.Set(static_cast<int32_t>(at.Leaf->Value(at.Entry)));
    if (!Step(at, true, moved)) return false;
  }
  ReleasePage(at.Leaf);
  return true;
}

}  // namespace tarnel
