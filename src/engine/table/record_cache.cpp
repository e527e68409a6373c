#include "engine/table/record_cache.h"

#include <algorithm>

namespace tarnel {

namespace {

constexpr size_t kInitialSlots = 64;

}  // namespace

size_t TRecordCache::Home(int32_t recordNo) const {
  return (static_cast<uint32_t>(recordNo) * 2654435761u) & (FByNumber.size() - 1);
}

TRecord* TRecordCache::Find(int32_t recordNo) const {
  if (recordNo == 0 || FByNumber.empty()) return nullptr;
  size_t mask = FByNumber.size() - 1;
  for (size_t slot = Home(recordNo);; slot = (slot + 1) & mask) {
    TRecord* record = FByNumber[slot];
    if (record == nullptr) return nullptr;
    if (record->RecordNo == recordNo) return record;
  }
}

void TRecordCache::Insert(TRecord* record) {
  if ((FNumbered + 1) * 2 > FByNumber.size()) Grow();
  size_t mask = FByNumber.size() - 1;
  size_t slot = Home(record->RecordNo);
  while (FByNumber[slot] != nullptr) slot = (slot + 1) & mask;
  FByNumber[slot] = record;
  ++FNumbered;
}

void TRecordCache::Erase(TRecord* record) {
  size_t mask = FByNumber.size() - 1;
  size_t slot = Home(record->RecordNo);
  while (FByNumber[slot] != record) {
    if (FByNumber[slot] == nullptr) return;
    slot = (slot + 1) & mask;
  }
  // Later entries of the probe run move back into the hole when their home lies at or before
  // it, so that every entry stays reachable from its home without tombstones.
  size_t hole = slot;
  for (size_t next = (hole + 1) & mask; FByNumber[next] != nullptr; next = (next + 1) & mask) {
    size_t home = Home(FByNumber[next]->RecordNo);
    if (((next - home) & mask) >= ((next - hole) & mask)) {
      FByNumber[hole] = FByNumber[next];
      hole = next;
    }
  }
  FByNumber[hole] = nullptr;
  --FNumbered;
}

void TRecordCache::Grow() {
  std::vector<TRecord*> old = std::move(FByNumber);
  FByNumber.assign(std::max(kInitialSlots, old.size() * 2), nullptr);
  FNumbered = 0;
  for (TRecord* record : old) {
    if (record != nullptr) Insert(record);
  }
}

TRecord* TRecordCache::AddFront(std::unique_ptr<TRecord> record) {
  TRecord* added = record.get();
  FBuffers.emplace(added, std::move(record));
  LinkFront(added);
  if (added->RecordNo != 0) Insert(added);
  return added;
}

void TRecordCache::MoveToFront(TRecord* record) {
  if (record == FNewest) return;
  Unlink(record);
  LinkFront(record);
}

void TRecordCache::Renumber(TRecord* record, int32_t recordNo) {
  if (record->RecordNo == recordNo) return;
  if (record->RecordNo != 0) Erase(record);
  record->SetRecordNo(recordNo);
  if (recordNo != 0) Insert(record);
}

void TRecordCache::TrimTo(int count) {
  // Pinned and modified buffers stay: a trim never loses a change or a buffer in use.
  TRecord* record = FOldest;
  while (Count() > count && record != nullptr) {
    TRecord* newer = record->Newer;
    if (record->PinCount == 0 && !record->Modified) {
      if (record->ListedAsPinned) FPinned.erase(std::remove(FPinned.begin(), FPinned.end(), record), FPinned.end());
      Renumber(record, 0);
      Unlink(record);
      FBuffers.erase(record);
    }
    record = newer;
  }
}

void TRecordCache::NotePinned(TRecord* record) {
  if (record->ListedAsPinned) return;
  record->ListedAsPinned = true;
  FPinned.push_back(record);
}

void TRecordCache::UnpinAll() {
  for (TRecord* record : FPinned) {
    record->PinCount = 0;
    record->ListedAsPinned = false;
  }
  FPinned.clear();
}

void TRecordCache::Clear() {
  FPinned.clear();
  FByNumber.clear();
  FNumbered = 0;
  FBuffers.clear();
  FNewest = nullptr;
  FOldest = nullptr;
}

void TRecordCache::Unlink(TRecord* record) {
  if (record->Newer != nullptr) {
    record->Newer->Older = record->Older;
  } else {
    FNewest = record->Older;
  }
  if (record->Older != nullptr) {
    record->Older->Newer = record->Newer;
  } else {
    FOldest = record->Newer;
  }
  record->Newer = nullptr;
  record->Older = nullptr;
}

void TRecordCache::LinkFront(TRecord* record) {
  record->Newer = nullptr;
  record->Older = FNewest;
  if (FNewest != nullptr) FNewest->Newer = record;
  FNewest = record;
  if (FOldest == nullptr) FOldest = record;
}

}  // namespace tarnel
