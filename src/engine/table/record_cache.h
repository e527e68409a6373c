// The record cache of a table: its TRecord buffers in most-recently-used order, found by record
// number in constant time. The cache owns its buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/base/number_table.h"
#include "engine/base/recency_list.h"
#include "engine/table/record.h"

namespace tarnel {

inline uint32_t CachedRecordNumber(const TRecord& record) { return static_cast<uint32_t>(record.RecordNo); }

class TRecordCache {
 public:
  TRecordCache() = default;
  TRecordCache(const TRecordCache&) = delete;
  TRecordCache& operator=(const TRecordCache&) = delete;

  int Count() const { return static_cast<int>(FBuffers.size()); }
  int Capacity() const { return FCapacity; }
  void SetCapacity(int capacity) { FCapacity = capacity; }

  // The buffer holding record `recordNo`, or nullptr.
  TRecord* Find(int32_t recordNo) const;
  // Adds a new buffer at the front.
  TRecord* AddFront(std::unique_ptr<TRecord> record);
  void MoveToFront(TRecord* record);
  // Changes the record number a buffer holds, keeping the lookup current.
  void Renumber(TRecord* record, int32_t recordNo);
  TRecord* Front() const { return FOrder.Newest(); }
  TRecord* Rear() const { return FOrder.Oldest(); }
  // Frees clean, unpinned buffers from the rear until at most `count` remain.
  void TrimTo(int count);
  void Clear();
  // Buffers that were pinned since the last UnpinAll, each listed once, so that unpinning
  // everything after a change costs the pins, not the cache, and a long run of reads does not
  // grow the list beyond the cache.
  void NotePinned(TRecord* record);
  void UnpinAll();
  template <typename Visit>
  void ForEach(Visit visit) {
    for (TRecord* record = FOrder.Newest(); record != nullptr; record = record->Older) visit(*record);
  }

 private:
  std::unordered_map<TRecord*, std::unique_ptr<TRecord>> FBuffers;
  // Only buffers that hold a record (RecordNo other than 0) are in the lookup.
  TNumberTable<TRecord, &CachedRecordNumber> FByNumber;
  TRecencyList<TRecord> FOrder;
  int FCapacity = 0;
  std::vector<TRecord*> FPinned;
};

}  // namespace tarnel
