// The record layer of a table: record buffers found through the cache or read in runs, modified
// buffers written back in runs of neighbours, slots allocated from the free list, and single
// fields read from and written into record images.
#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/expr/evaluate.h"
#include "engine/table/data_file.h"

namespace tarnel {

namespace {

constexpr int kRecordCacheBytes = 131070;
constexpr int kMaxCacheBuffers = 65535;
constexpr int kBatchCacheGrowth = 1024;
constexpr int kMaxSkippedModified = 32;

}  // namespace

int64_t TDataFile::RecordOffset(int32_t recordNo) const {
  return TDataHeader::kDiskSize + int64_t{TFieldDesc::kDiskSize} * FHeader.FieldCount +
         int64_t{recordNo - 1} * FHeader.RecordSize;
}

TRecord* TDataFile::NewOrFreeBuffer() {
  if (FRecordCache.Count() < FRecordCache.Capacity()) {
    return FRecordCache.AddFront(std::make_unique<TRecord>(*this));
  }
  return GetFreeBuffer();
}

TRecord* TDataFile::GetFreeBuffer() {
  for (int attempt = 0;; ++attempt) {
    int skipped = 0;
    for (TRecord* record = FRecordCache.Rear(); record != nullptr; record = record->Newer) {
      if (record->Modified) ++skipped;
      if (!record->Modified && record->PinCount == 0) {
        // Modified buffers that gather at the rear would be stepped over by every later search:
        // they are written now, in runs, as they would be once no clean buffer was left.
        if (skipped > kMaxSkippedModified && !FInBatch) FlushRecords();
        record->PinCount = 0;
        FRecordCache.Renumber(record, 0);
        record->Clear(false);
        FRecordCache.MoveToFront(record);
        return record;
      }
    }
    if (FInBatch) {
      // A batch keeps its changes in memory: the cache grows instead of writing.
      FRecordCache.SetCapacity(FRecordCache.Capacity() + kBatchCacheGrowth);
      return FRecordCache.AddFront(std::make_unique<TRecord>(*this));
    }
    if (attempt > 0 || !FlushRecords()) Raise(kErrRecordBuffersCorrupt);
  }
}

TRecord* TDataFile::GetRecordBuffer(int32_t recordNo, bool readAhead, int direction, bool useIndexRun,
                                    int maxCount) {
  if (recordNo == 0) return nullptr;
  if (recordNo == FHeader.NextRecordNo) {
    if (FHeader.NextRecordNo + 1 > kMaxRecordSlots + 1 ||
        int64_t{FHeader.NextRecordNo} * FHeader.RecordSize > kMaxRecordBytes) {
      Raise(kErrTableFull);
    }
    TRecord* record = NewOrFreeBuffer();
    record->Pin();
    FRecordCache.Renumber(record, recordNo);
    ++FHeader.NextRecordNo;
    FHeader.HeaderModified = true;
    return record;
  }
  if (recordNo < 0 || recordNo > FHeader.NextRecordNo) Raise(kErrRecordBuffersCorrupt);
  TRecord* record = FRecordCache.Find(recordNo);
  if (record != nullptr) {
    FRecordCache.MoveToFront(record);
  } else {
    // A record of the last run read is taken from it as from the cache: the run is dropped before
    // anything could make it differ from the file or from the cache.
    record = LoadFromRun(recordNo);
  }
  if (record == nullptr) {
    if (!FReadLockPerOperation && EnterRead()) return nullptr;
    int count = 1;
    int reach = maxCount > 0 ? std::min(maxCount, FReadAheadCount) : FReadAheadCount;
    if (readAhead && useIndexRun && !IsSqlSource()) {
      // Navigation reads the records the index visits next, when their numbers run on.
      count = FIndexFile->ConsecutiveRun(reach, direction != 2);
    } else if (readAhead) {
      int32_t available = direction == 2 ? recordNo : FHeader.NextRecordNo - recordNo;
      count = static_cast<int>(std::min<int32_t>(reach, available));
    }
    record = ReadRecords(recordNo, std::max(count, 1), direction);
    if (record == nullptr) Raise(kErrRecordBuffersCorrupt);
  }
  record->Pin();
  if (!record->Evaluated && FHasComputedFields) {
    ComputeFields(record->Image());
    record->Evaluated = true;
  }
  return record;
}

TRecord* TDataFile::ReadRecords(int32_t recordNo, int count, int direction) {
  int32_t first = direction == 2 ? recordNo - count + 1 : recordNo;
  size_t size = static_cast<size_t>(count) * FHeader.RecordSize;
  if (FRunBuffer.size() < size) FRunBuffer.resize(size);
  FRunCount = 0;
  Seek(RecordOffset(first), 0);
  int32_t got = Read(FRunBuffer.data(), static_cast<int32_t>(size), Exclusive() || FDeferredUpdates);
  ++FRecordReads;
  FRunFirst = first;
  FRunCount = got / FHeader.RecordSize;
  return LoadFromRun(recordNo);
}

TRecord* TDataFile::LoadFromRun(int32_t recordNo) {
  if (recordNo < FRunFirst || recordNo >= FRunFirst + FRunCount) return nullptr;
  const uint8_t* bytes = FRunBuffer.data() + static_cast<size_t>(recordNo - FRunFirst) * FHeader.RecordSize;
  // Taking a buffer may write modified records and so drop the run, but not this record's bytes:
  // a record not in the cache has not been written since the run was read.
  TRecord* record = NewOrFreeBuffer();
  FRecordCache.Renumber(record, recordNo);
  record->LoadFrom(bytes);
  return record;
}

bool TDataFile::FlushRecords() {
  std::vector<TRecord*> dirty;
  FRecordCache.ForEach([&](TRecord& record) {
    if (record.Modified && record.PinCount == 0 && record.RecordNo > 0) dirty.push_back(&record);
  });
  if (dirty.empty()) return false;
  // The file changes under the last run read.
  FRunCount = 0;
  std::sort(dirty.begin(), dirty.end(), [](const TRecord* a, const TRecord* b) { return a->RecordNo < b->RecordNo; });
  size_t first = 0;
  while (first < dirty.size()) {
    size_t last = first;
    while (last + 1 < dirty.size() && dirty[last + 1]->RecordNo == dirty[last]->RecordNo + 1) ++last;
    size_t size = (last - first + 1) * FHeader.RecordSize;
    FWriteBuffer.resize(size);
    for (size_t i = first; i <= last; ++i) dirty[i]->SaveTo(FWriteBuffer.data() + (i - first) * FHeader.RecordSize);
    Seek(RecordOffset(dirty[first]->RecordNo), 0);
    Write(FWriteBuffer.data(), static_cast<int32_t>(size));
    first = last + 1;
  }
  return true;
}

void TDataFile::InvalidateRecords() {
  FRunCount = 0;
  FRecordCache.UnpinAll();
  FRecordCache.ForEach([&](TRecord& record) {
    record.PinCount = 0;
    record.Clear(false);
  });
  // Renumbering runs over a copy of the list, since it changes the lookup.
  std::vector<TRecord*> all;
  FRecordCache.ForEach([&](TRecord& record) { all.push_back(&record); });
  for (TRecord* record : all) FRecordCache.Renumber(record, 0);
  FCurrentRecord = nullptr;
}

void TDataFile::UnpinRecords() { FRecordCache.UnpinAll(); }

void TDataFile::FreeAllBuffers() {
  FRunCount = 0;
  FCurrentRecord = nullptr;
  FRecordCache.Clear();
  TrimRecordCache();
}

void TDataFile::TrimRecordCache() {
  int bufferSize = std::max(RecordBufferSize(), 1);
  int capacity = std::min(kRecordCacheBytes / bufferSize, kMaxCacheBuffers);
  FRecordCache.TrimTo(capacity);
  FRecordCache.SetCapacity(std::max(capacity, FRecordCache.Count()));
}

TRecord* TDataFile::AllocRecord() {
  TRecord* record = GetRecordBuffer(NextFreeRecord(), false, 1, false);
  if (record == nullptr) Raise(kErrRecordBuffersCorrupt);
  SetFreeListHead(record->GetLink());
  return record;
}

void TDataFile::FreeRecord(TRecord& record) {
  record.SetDeleted(true);
  int32_t next = NextFreeRecord();
  record.SetLink(next == FHeader.NextRecordNo ? 0 : static_cast<uint32_t>(next));
  SetFreeListHead(static_cast<uint32_t>(record.RecordNo));
}

int32_t TDataFile::NextFreeRecord() const {
  // Tables without a primary index never reuse slots, so record-number order stays insertion
  // order.
  if (FHeader.FreeListHead == 0 || FIndexFile->NoPrimaryIndex()) return FHeader.NextRecordNo;
  return static_cast<int32_t>(FHeader.FreeListHead);
}

void TDataFile::SetFreeListHead(uint32_t recordNo) {
  if (recordNo == FHeader.FreeListHead) return;
  FHeader.FreeListHead = recordNo;
  FHeader.HeaderModified = true;
}

int32_t TDataFile::NextRecordId() {
  if (FCopyMode) return 0;
  ++FHeader.LastAutoInc;
  FHeader.HeaderModified = true;
  return FHeader.LastAutoInc;
}

void TDataFile::SetLastAutoInc(int32_t value) {
  if (!Exclusive()) Raise(kErrMustBeExclusive);
  FHeader.LastAutoInc = value;
  FHeader.HeaderModified = true;
}

bool TDataFile::GetField(bool working, int fieldNo, const uint8_t* image, uint8_t* value) const {
  const TFieldDesc& field = GetFieldDesc(working, fieldNo);
  std::memset(value, 0, field.PhysSize);
  if (field.IsAutoInc()) {
    std::memcpy(value, image + kRecordId, 4);
    return false;
  }
  const uint8_t* at = image + field.FieldOffset;
  std::memcpy(value, at + 1, field.PhysSize);
  if (field.FieldType == dtBlob) return BlobFieldIsNull(at);
  return at[0] == 0;
}

void TDataFile::PutField(bool working, int fieldNo, bool force, const uint8_t* value, uint8_t* image) {
  const TFieldDesc& field = GetFieldDesc(working, fieldNo);
  if (field.Computed && !force) return;
  uint8_t* at = image + field.FieldOffset;
  if (value == nullptr) {
    if (!field.IsAutoInc()) {
      at[0] = 0;
      std::memset(at + 1, 0, field.PhysSize);
    }
  } else if (field.IsAutoInc()) {
    std::memcpy(image + kRecordId, value, 4);
  } else if (field.FieldType == dtString) {
    size_t length = strnlen(reinterpret_cast<const char*>(value), field.FieldSize);
    while (length > 0 && value[length - 1] == ' ') --length;
    std::memset(at + 1, 0, field.PhysSize);
    std::memcpy(at + 1, value, length);
    at[0] = length > 0 ? 1 : 0;
  } else if (field.FieldType == dtBlob) {
    std::memcpy(at + 1, value, 4);
    at[0] = BlobReferenceHoldsData(GetI32(value)) ? 1 : 0;
  } else if (field.FieldType == dtBoolean) {
    uint16_t flag = GetU16(value);
    PutU16(at + 1, flag == 0 || flag == 1 ? flag : 1);
    at[0] = 1;
  } else {
    std::memcpy(at + 1, value, field.PhysSize);
    at[0] = 1;
  }
  if (!field.Computed) ComputeFields(image);
}

void TDataFile::ComputeFields(uint8_t* image) {
  if (!FHasComputedFields) return;
  for (int fieldNo = 1; fieldNo <= FWorkingCount; ++fieldNo) {
    const TFieldDesc& field = FWorkingFields[static_cast<size_t>(fieldNo - 1)];
    if (!field.Computed || field.CompiledExpression == nullptr) continue;
    const auto& tree = *static_cast<const TExpressionNode*>(field.CompiledExpression);
    TExpressionValue value = EvaluateExpression(tree, image, FHeader.LanguageId, FHeader.SortId, &FFetchColumn);
    PutField(true, fieldNo, true, value.IsNull ? nullptr : value.Value.data(), image);
  }
}

}  // namespace tarnel
