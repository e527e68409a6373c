// The cursor of an index file: a position in the current index (or in record-number order),
// always known as a sequence number thanks to the counted interior entries, inside the visible
// set of the range and the active filters. Every walk restarts when another program's change
// is detected (the caches were then dropped and the table put the cursor back on its record).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/base/errors.h"
#include "engine/index/index_file.h"
#include "engine/index/key.h"

namespace tarnel {

namespace {

constexpr int kMaxDepth = 64;

}  // namespace

bool TIndexFile::Descend(TDescend how, const uint8_t* key, int length, TLeafEntry& reached) {
  reached = TLeafEntry();
  uint32_t offset = RootPage();
  int32_t position = 0;
  for (int depth = 0; offset != 0; ++depth) {
    if (depth > kMaxDepth) RaiseTable(kErrPageBuffersCorrupt);
    TPage* page = GetPage(offset, false);
    if (page == nullptr) return false;
    if (page->EntryCount == 0) {
      ReleasePage(page);
      RaiseTable(kErrPageBuffersCorrupt);
    }
    int entry = 1;
    bool found;
    switch (how) {
      case TDescend::First: entry = 1; break;
      case TDescend::Last: entry = page->EntryCount; break;
      case TDescend::Nearest: entry = SearchPage(*page, key, length, TSearch::Nearest, &found); break;
      case TDescend::AtOrBelow: entry = SearchPage(*page, key, length, TSearch::Descent, &found); break;
    }
    page->ReadPos = static_cast<uint16_t>(entry);
    if (page->IsLeaf()) {
      reached = TLeafEntry{page, entry, position + entry};
      return true;
    }
    for (int i = 1; i < entry; ++i) position += static_cast<int32_t>(page->SubtreeCount(i));
    offset = page->Value(entry);
    ReleasePage(page);
  }
  return true;
}

bool TIndexFile::Step(TLeafEntry& at, bool forward, bool& moved) {
  moved = false;
  if (forward && at.Entry < at.Leaf->EntryCount) {
    ++at.Entry;
  } else if (!forward && at.Entry > 1) {
    --at.Entry;
  } else {
    uint32_t neighbour = forward ? at.Leaf->NextPage : at.Leaf->PrevPage;
    if (neighbour == 0) return true;
    TPage* page = GetPage(neighbour, false);
    if (page == nullptr) return false;
    if (page->EntryCount == 0 || !page->IsLeaf()) {
      ReleasePage(page);
      RaiseTable(kErrPageBuffersCorrupt);
    }
    ReleasePage(at.Leaf);
    at.Leaf = page;
    at.Entry = forward ? 1 : page->EntryCount;
  }
  at.Position += forward ? 1 : -1;
  at.Leaf->ReadPos = static_cast<uint16_t>(at.Entry);
  moved = true;
  return true;
}

void TIndexFile::TakeCursor(const TLeafEntry& at) {
  TPage* previous = FCurrentPage;
  FCurrentPage = at.Leaf;
  FCurrentPage->WritePos = static_cast<uint16_t>(at.Entry);
  FPosition = at.Position;
  if (previous != nullptr) ReleasePage(previous);
}

bool TIndexFile::Visible(const TLeafEntry& at) const {
  return !FBitmapMode || FResult.Test(static_cast<int32_t>(at.Leaf->Value(at.Entry)));
}

bool TIndexFile::SkipHidden(TLeafEntry& at, bool forward, bool& moved) {
  moved = true;
  if (Visible(at)) return true;
  // A few neighbours first: a visible entry is often close by.
  for (int i = 0; i < 64; ++i) {
    if (!Step(at, forward, moved)) return false;
    if (!moved || Visible(at)) return true;
  }
  bool answered = false;
  if (!JumpToVisible(at, forward, moved, answered)) return false;
  if (answered) return true;
  while (moved && !Visible(at)) {
    if (!Step(at, forward, moved)) return false;
  }
  return true;
}

bool TIndexFile::JumpToVisible(TLeafEntry& at, bool forward, bool& moved, bool& answered) {
  answered = false;
  // A walk passes about RecordCount / visible entries to the next visible one; building the keys
  // of all visible records costs one record each.
  if (int64_t{FVisible} * FVisible * 32 >= FHeader.RecordCount) return true;
  int length = FCurrent.KeyLength;
  TKeyBuffer origin{};
  std::memcpy(origin.data(), at.Leaf->Key(at.Entry), static_cast<size_t>(length));
  TKeyBuffer candidate{};
  TKeyBuffer best{};
  bool found = false;
  for (int32_t n = FResult.NextSet(1); n != 0; n = FResult.NextSet(n + 1)) {
    const uint8_t* image = FOwner.FilterRecord(n, n);
    if (image == nullptr) return false;
    FOwner.BuildKey(image, static_cast<uint8_t>(FCurrentIndex), candidate.data());
    int order = CompareKeys(candidate.data(), origin.data(), length);
    if (forward ? order <= 0 : order >= 0) continue;
    if (found) {
      int against = CompareKeys(candidate.data(), best.data(), length);
      if (forward ? against >= 0 : against <= 0) continue;
    }
    best = candidate;
    found = true;
  }
  ReleasePage(at.Leaf);
  at.Leaf = nullptr;
  if (!found) {
    if (!Descend(forward ? TDescend::Last : TDescend::First, nullptr, length, at)) return false;
    if (at.Leaf == nullptr) RaiseTable(kErrPageBuffersCorrupt);
    moved = false;
    answered = true;
    return true;
  }
  if (!Descend(TDescend::Nearest, best.data(), length, at)) return false;
  if (at.Leaf == nullptr) RaiseTable(kErrPageBuffersCorrupt);
  moved = true;
  // An index that does not hold the key its record builds is left to the walk from here.
  answered = CompareKeys(at.Leaf->Key(at.Entry), best.data(), length) == 0 && Visible(at);
  return true;
}

void TIndexFile::SetEmptyCursor() {
  if (FCurrentPage != nullptr) ReleasePage(FCurrentPage);
  FCurrentPage = nullptr;
  FPosition = 0;
  FPhysicalRecNo = 0;
  FAtBOF = true;
  FAtEOF = true;
}

int32_t TIndexFile::VisibleCount() const {
  if (FBitmapMode) return FVisible;
  if (PhysicalOrder()) return FHeader.RecordCount;
  if (!FRangeActive) return FHeader.RecordCount;
  if (FRangeStartPosition <= 0 || FRangeEndPosition <= 0) return 0;
  return std::max(0, FRangeEndPosition - FRangeStartPosition + 1);
}

int32_t TIndexFile::SequenceNumber() const {
  if (PhysicalOrder()) return FPosition;
  if (FPosition <= 0) return 0;
  return FRangeActive ? FPosition - FRangeStartPosition + 1 : FPosition;
}

int32_t TIndexFile::CurrentRecordNumber() const {
  if (VisibleCount() == 0) return 0;
  if (PhysicalOrder()) return FPhysicalRecNo;
  return FCurrentPage == nullptr ? 0 : static_cast<int32_t>(FCurrentPage->Value(FCurrentPage->WritePos));
}

const uint8_t* TIndexFile::CurrentKey() const {
  if (PhysicalOrder() || FCurrentPage == nullptr) return nullptr;
  return FCurrentPage->Key(FCurrentPage->WritePos);
}

bool TIndexFile::PhysicalFirstLast(bool first) {
  if (VisibleCount() == 0) {
    SetEmptyCursor();
    return true;
  }
  int32_t slots = FResult.Slots();
  FPhysicalRecNo = first ? FResult.NextSet(1) : FResult.PreviousSet(slots);
  // The rank among the visible records, so that moves and the last position agree.
  FPosition = first ? 1 : FVisible;
  FAtBOF = false;
  FAtEOF = false;
  return true;
}

void TIndexFile::FirstKey() { EndKey(true); }

void TIndexFile::LastKey() { EndKey(false); }

void TIndexFile::EndKey(bool first) {
  if (PhysicalOrder()) {
    PhysicalFirstLast(first);
    return;
  }
  if (VisibleCount() == 0 || RootPage() == 0) {
    SetEmptyCursor();
    return;
  }
  while (!TryEndKey(first)) {
  }
}

// The first (or last) visible entry: from the range's start (end) or the index's first (last)
// entry, forward (backward) past the entries the filters hide.
bool TIndexFile::TryEndKey(bool first) {
  int length = FCurrent.KeyLength;
  const uint8_t* bound = first ? FRangeStart.data() : FRangeEnd.data();
  TDescend how = FRangeActive ? (first ? TDescend::Nearest : TDescend::AtOrBelow)
                              : (first ? TDescend::First : TDescend::Last);
  TLeafEntry at;
  if (!Descend(how, bound, length, at)) return false;
  if (at.Leaf == nullptr) {
    SetEmptyCursor();
    return true;
  }
  bool moved = true;
  if (FRangeActive) {
    int order = CompareKeys(at.Leaf->Key(at.Entry), bound, length);
    if (first ? order < 0 : order > 0) {
      if (!Step(at, first, moved)) return false;
    }
  }
  if (FBitmapMode) {
    if (moved && !SkipHidden(at, first, moved)) return false;
  } else if (FRangeActive && moved) {
    const uint8_t* key = at.Leaf->Key(at.Entry);
    moved = CompareKeys(key, FRangeStart.data(), length) >= 0 && CompareKeys(key, FRangeEnd.data(), length) <= 0;
  }
  if (!moved) {
    ReleasePage(at.Leaf);
    SetEmptyCursor();
    return true;
  }
  TakeCursor(at);
  FAtBOF = false;
  FAtEOF = false;
  return true;
}

void TIndexFile::MoveBy(int32_t count) {
  if (count == 0) return;
  if (PhysicalOrder()) {
    MovePhysical(count);
    return;
  }
  if (FCurrentPage == nullptr) {
    SetEmptyCursor();
    return;
  }
  while (!TryMoveBy(count)) {
    if (FCurrentPage == nullptr) {
      SetEmptyCursor();
      return;
    }
  }
}

bool TIndexFile::TryMoveBy(int32_t count) {
  bool forward = count > 0;
  int32_t steps = std::abs(count);
  ++FCurrentPage->PinCount;  // the walk holds its own pin on the page it stands on
  TLeafEntry at{FCurrentPage, FCurrentPage->WritePos, FPosition};
  bool atBOF = FAtBOF;
  bool atEOF = FAtEOF;
  int32_t counted = 0;
  while (counted < steps) {
    bool moved;
    if (!Step(at, forward, moved)) return false;
    if (moved) {
      if (forward) atBOF = false; else atEOF = false;
      if (FBitmapMode && !SkipHidden(at, forward, moved)) return false;
    }
    if (!moved) {
      if (forward) atEOF = true; else atBOF = true;
      if (FBitmapMode) {
        // Off the end: back to the last visible entry in the other direction.
        bool back;
        if (!SkipHidden(at, !forward, back)) return false;
        if (!back) {
          ReleasePage(at.Leaf);
          SetEmptyCursor();
          return true;
        }
      }
      break;
    }
    ++counted;
    // The filters' bitmaps already hold the range.
    if (!FBitmapMode && FRangeActive) {
      const uint8_t* key = at.Leaf->Key(at.Entry);
      if (forward && CompareKeys(key, FRangeEnd.data(), FCurrent.KeyLength) > 0) {
        atEOF = true;
        break;
      }
      if (!forward && CompareKeys(key, FRangeStart.data(), FCurrent.KeyLength) < 0) {
        atBOF = true;
        break;
      }
    }
  }
  TakeCursor(at);
  FAtBOF = atBOF;
  FAtEOF = atEOF;
  return true;
}

void TIndexFile::MovePhysical(int32_t count) {
  if (VisibleCount() == 0) {
    SetEmptyCursor();
    return;
  }
  bool forward = count > 0;
  for (int32_t step = std::abs(count); step > 0; --step) {
    int32_t next = forward ? FResult.NextSet(FPhysicalRecNo + 1) : FResult.PreviousSet(FPhysicalRecNo - 1);
    if (next == 0) {
      FAtEOF = forward;
      FAtBOF = !forward;
      return;
    }
    FPhysicalRecNo = next;
    FPosition += forward ? 1 : -1;
    FAtBOF = false;
    FAtEOF = false;
  }
}

bool TIndexFile::FindKey(const uint8_t* key, int length) {
  if (PhysicalOrder() || RootPage() == 0) return false;
  // The search key is the given bytes with the rest at the lowest value of the index order, so
  // that the first of several matching entries is found.
  TKeyBuffer search;
  std::memcpy(search.data(), key, FCurrent.KeyLength);
  FillKeyTail(search.data(), length, FCurrent.KeyLength, FCurrent.Descending ? 0xFF : 0x00);
  for (;;) {
    TLeafEntry at;
    if (!Descend(TDescend::Nearest, search.data(), FCurrent.KeyLength, at)) continue;
    if (at.Leaf == nullptr) return false;
    bool moved = true;
    if (CompareKeys(at.Leaf->Key(at.Entry), search.data(), FCurrent.KeyLength) < 0) {
      if (!Step(at, true, moved)) continue;
    }
    bool found = moved && CompareKeys(at.Leaf->Key(at.Entry), key, length) == 0;
    if (found) {
      TakeCursor(at);
    } else {
      ReleasePage(at.Leaf);
    }
    return found;
  }
}

bool TIndexFile::FindNearest(const uint8_t* key, bool nearest, bool resync) {
  if (PhysicalOrder()) return false;
  if (VisibleCount() == 0 || RootPage() == 0) {
    SetEmptyCursor();
    return false;
  }
  bool wasBOF = FAtBOF;
  bool wasEOF = FAtEOF;
  bool found = false;
  while (!TryFindNearest(key, nearest, found)) {
  }
  if (!resync) return found;
  if (wasBOF) {
    MoveBy(-1);
    if (!FAtBOF) MoveBy(1);
  } else {
    FAtBOF = false;
  }
  if (wasEOF) {
    MoveBy(1);
    if (!FAtEOF) MoveBy(-1);
  } else {
    FAtEOF = false;
  }
  return found;
}

bool TIndexFile::TryFindNearest(const uint8_t* key, bool nearest, bool& found) {
  int length = FCurrent.KeyLength;
  found = false;
  if (FRangeActive && !FBitmapMode) {
    if (CompareKeys(key, FRangeStart.data(), length) < 0) return TryEndKey(true);
    if (CompareKeys(key, FRangeEnd.data(), length) > 0) return TryEndKey(false);
  }
  TLeafEntry at;
  if (!Descend(TDescend::Nearest, key, length, at)) return false;
  if (at.Leaf == nullptr) {
    SetEmptyCursor();
    return true;
  }
  found = CompareKeys(at.Leaf->Key(at.Entry), key, length) == 0 && Visible(at);
  if (found) {
    TakeCursor(at);
    FAtBOF = false;
    FAtEOF = false;
    return true;
  }
  if (!nearest) {
    ReleasePage(at.Leaf);
    return true;
  }
  bool atEOF = false;
  bool moved = true;
  if (CompareKeys(at.Leaf->Key(at.Entry), key, length) < 0) {
    if (!Step(at, true, moved)) return false;
    if (!moved) atEOF = true;
  }
  if (FBitmapMode) {
    if (moved && !SkipHidden(at, true, moved)) return false;
    if (!moved) {
      atEOF = true;
      bool back = true;
      if (!SkipHidden(at, false, back)) return false;
      if (!back) {
        ReleasePage(at.Leaf);
        SetEmptyCursor();
        return true;
      }
    }
  } else if (FRangeActive && CompareKeys(at.Leaf->Key(at.Entry), FRangeEnd.data(), length) > 0) {
    // Nothing of the range lies at or after the key: the cursor rests on the range's last entry.
    ReleasePage(at.Leaf);
    if (!TryEndKey(false)) return false;
    FAtEOF = true;
    return true;
  }
  TakeCursor(at);
  FAtBOF = false;
  FAtEOF = atEOF;
  return true;
}

void TIndexFile::GotoRecordNumber(int32_t recordNo) {
  if (!PhysicalOrder()) return;
  FAtBOF = false;
  FAtEOF = false;
  FPhysicalRecNo = recordNo;
  ResyncPhysical();
}

void TIndexFile::ResyncPhysical() {
  if (VisibleCount() == 0) {
    SetEmptyCursor();
    return;
  }
  int32_t found = FResult.NextSet(std::max(FPhysicalRecNo, 1));
  if (found == 0) found = FResult.PreviousSet(FPhysicalRecNo);
  if (found == 0) {
    SetEmptyCursor();
    return;
  }
  FPhysicalRecNo = found;
  FPosition = FResult.CountSet(found);
}

int TIndexFile::ConsecutiveRun(int limit, bool forward) {
  if (limit < 1) return 1;
  if (PhysicalOrder()) {
    int run = 0;
    int32_t slots = FResult.Slots();
    for (int32_t n = FPhysicalRecNo; run < limit && n >= 1 && n <= slots && FResult.Test(n); n += forward ? 1 : -1) {
      ++run;
    }
    return std::max(run, 1);
  }
  if (FCurrentPage == nullptr) return 1;
  int run = 1;
  int entry = FCurrentPage->WritePos;
  uint32_t previous = FCurrentPage->Value(entry);
  while (run < limit) {
    entry += forward ? 1 : -1;
    if (entry < 1 || entry > FCurrentPage->EntryCount) break;
    uint32_t value = FCurrentPage->Value(entry);
    if (value != (forward ? previous + 1 : previous - 1)) break;
    previous = value;
    ++run;
  }
  return run;
}

}  // namespace tarnel
