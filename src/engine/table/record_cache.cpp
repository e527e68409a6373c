#include "engine/table/record_cache.h"

#include <algorithm>

namespace tarnel {

TRecord* TRecordCache::Find(int32_t recordNo) const {
  return recordNo == 0 ? nullptr : FByNumber.Find(static_cast<uint32_t>(recordNo));
}

TRecord* TRecordCache::AddFront(std::unique_ptr<TRecord> record) {
  TRecord* added = record.get();
  FBuffers.emplace(added, std::move(record));
  FOrder.LinkFront(*added);
  if (added->RecordNo != 0) FByNumber.Insert(added);
  return added;
}

void TRecordCache::MoveToFront(TRecord* record) { FOrder.MoveToFront(*record); }

void TRecordCache::Renumber(TRecord* record, int32_t recordNo) {
  if (record->RecordNo == recordNo) return;
  if (record->RecordNo != 0) FByNumber.Erase(record);
  record->SetRecordNo(recordNo);
  if (recordNo != 0) FByNumber.Insert(record);
}

void TRecordCache::TrimTo(int count) {
  // Pinned and modified buffers stay: a trim never loses a change or a buffer in use.
  TRecord* record = FOrder.Oldest();
  while (Count() > count && record != nullptr) {
    TRecord* newer = record->Newer;
    if (record->PinCount == 0 && !record->Modified) {
      if (record->ListedAsPinned) FPinned.erase(std::remove(FPinned.begin(), FPinned.end(), record), FPinned.end());
      Renumber(record, 0);
      FOrder.Unlink(*record);
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
  FByNumber.Clear();
  FBuffers.clear();
  FOrder.Clear();
}

}  // namespace tarnel
