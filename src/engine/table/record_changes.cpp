// Inserting, modifying and deleting records in the engine's fixed order: the write lock, the
// record lock, the validity checks, every duplicate check before the first change, the keys of
// every index and "Sys Deleted", the record and its BLOBs, then the flush. Locks are released
// and the current index selected again on every way out.
#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/index/collation.h"
#include "engine/table/data_file.h"
#include "engine/table/value_text.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

namespace {

// Holds the table's write lock for one change.
class TWriteLock {
 public:
  explicit TWriteLock(TDataFile& table) : FTable(table) { table.LockForWrite(); }
  ~TWriteLock() {
    try {
      FTable.UnlockForWrite();
    } catch (const EDatabaseError&) {
      // An unlock fails only when the file is gone; the change's own outcome is what counts.
    }
  }
  TWriteLock(const TWriteLock&) = delete;
  TWriteLock& operator=(const TWriteLock&) = delete;

 private:
  TDataFile& FTable;
};

// Releases a record lock taken for one change.
class TRecordLockRelease {
 public:
  TRecordLockRelease(TDataFile& table, int32_t recordNo) : FTable(table), FRecordNo(recordNo) {}
  ~TRecordLockRelease() {
    try {
      FTable.UnlockRecord(FRecordNo);
    } catch (const EDatabaseError&) {
      // As above: the change's own outcome is reported.
    }
  }
  TRecordLockRelease(const TRecordLockRelease&) = delete;
  TRecordLockRelease& operator=(const TRecordLockRelease&) = delete;

 private:
  TDataFile& FTable;
  int32_t FRecordNo;
};

// Selects the index the cursor was on again when a change ends, however it ends.
class TIndexRestore {
 public:
  explicit TIndexRestore(TIndexFile& index) : FIndex(index), FSaved(index.CurrentIndex()) {}
  ~TIndexRestore() { FIndex.SelectIndex(FSaved); }
  TIndexRestore(const TIndexRestore&) = delete;
  TIndexRestore& operator=(const TIndexRestore&) = delete;

 private:
  TIndexFile& FIndex;
  uint8_t FSaved;
};

}  // namespace

void TDataFile::InitRecord(uint8_t* image) {
  std::memset(image, 0, static_cast<size_t>(RecordBufferSize()));
  if (!FHasDefaults) return;
  TLocaleFormatsGuard formats(FHeader.LanguageId, FHeader.SortId);
  uint8_t value[256];
  for (int fieldNo = 1; fieldNo <= WorkingFieldCount(); ++fieldNo) {
    const TFieldDesc& field = GetFieldDesc(true, fieldNo);
    if (field.DefaultValue.empty() || field.FieldType == dtBlob) continue;
    TextToStoredValue(field.DefaultValue, field, FHeader.LanguageId, true, value);
    PutField(true, fieldNo, true, value, image);
  }
}

namespace {

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

bool TDataFile::CheckLimit(const std::string& limit, bool minimum, const TFieldDesc& field,
                           const uint8_t* value) const {
  uint8_t bound[256] = {};
  int order = 0;
  if (field.FieldType == dtString) {
    std::memcpy(bound, limit.data(), std::min<size_t>(limit.size(), field.FieldSize));
    order = FHeader.LanguageId != 0
                ? CompareCollated(FHeader.LanguageId, FHeader.SortId, value, field.PhysSize, bound, field.PhysSize)
                : Order(std::memcmp(value, bound, field.PhysSize), 0);
    return minimum ? order >= 0 : order <= 0;
  }
  switch (field.FieldType) {
    case dtDate:
    case dtTime:
    case dtInteger:
    case dtSmallInt:
    case dtWord:
    case dtFloat:
    case dtTimeStamp:
    case dtBCD:
      TextToStoredValue(limit, field, FHeader.LanguageId, false, bound);
      break;
    default:
      return true;
  }
  switch (field.FieldType) {
    case dtSmallInt: order = Order(GetI16(value), GetI16(bound)); break;
    case dtWord: order = Order(GetU16(value), GetU16(bound)); break;
    case dtFloat:
    case dtTimeStamp: order = Order(GetF64(value), GetF64(bound)); break;
    case dtBCD: order = Order(GetI64(value), GetI64(bound)); break;
    default: order = Order(GetI32(value), GetI32(bound)); break;
  }
  return minimum ? order >= 0 : order <= 0;
}

void TDataFile::ValidateRecord(const uint8_t* image) {
  if (!FHasValidityChecks) return;
  TLocaleFormatsGuard formats(FHeader.LanguageId, FHeader.SortId);
  uint8_t value[256];
  for (const TFieldDesc& field : FStoredFields) {
    if (!field.IsStored()) continue;
    bool isNull = GetField(false, field.FieldNo, image, value);
    if (field.Required && isNull) RaiseField(kErrValueRequired, field.FieldName);
    if (!field.MinValue.empty() && !CheckLimit(field.MinValue, true, field, value)) {
      RaiseField(kErrMinimumExceeded, field.FieldName);
    }
    if (!field.MaxValue.empty() && !CheckLimit(field.MaxValue, false, field, value)) {
      RaiseField(kErrMaximumExceeded, field.FieldName);
    }
  }
}

TDataFile::TIndexNumbers TDataFile::MaintainedIndexes() const {
  TIndexNumbers indexes;
  if (!FIndexFile->NoPrimaryIndex()) indexes.Numbers[static_cast<size_t>(indexes.Count++)] = kPrimaryIndex;
  for (int number = 1; number <= FIndexFile->SecondaryCount(); ++number) {
    indexes.Numbers[static_cast<size_t>(indexes.Count++)] = static_cast<uint8_t>(number);
  }
  return indexes;
}

void TDataFile::StoreRecordBlobs(TRecord& record) {
  if (!HasBlobFile() || FBlobFile->OpenBlobCount() == 0) return;
  FBlobFile->SetBlobsRecord(record.RecordNo);
  FBlobFile->SaveBlobs();
  FBlobFile->StoreBlobRefs(record.Image(), [this](uint16_t fieldNumber) {
    return GetFieldDesc(true, fieldNumber).FieldOffset;
  });
  FBlobFile->CloseAllBlobs();
  record.Modified = true;
}

void TDataFile::PositionOnRecord(TRecord& record) {
  if (FIndexFile->PhysicalOrder()) {
    FIndexFile->GotoRecordNumber(record.RecordNo);
  } else {
    TKeyBuffer key{};
    BuildKey(record.Image(), FIndexFile->CurrentIndex(), key.data());
    FIndexFile->FindNearest(key.data(), true, false);
  }
}

void TDataFile::FinishChange(bool keysChanged) {
  FChanged = true;
  UnpinAll();
  if (!Exclusive() && !FileReadOnly() && !FInBatch) Flush(false, true, keysChanged);
  if (FCurrentRecord != nullptr) FCurrentRecord->Pin();
}

void TDataFile::InsertRecord(uint8_t* image) {
  if (ReadOnly()) Raise(kErrAccessDenied);
  if (FDeferredUpdates && !FInBatch) BeginBatch();
  TReadScope scope(*this);
  TWriteLock writeLock(*this);
  int32_t slot = NextFreeRecord();
  LockRecord(slot);
  TRecordLockRelease recordLock(*this, slot);
  TRecord* inserted = nullptr;
  try {
    ValidateRecord(image);
    {
      TIndexRestore restore(*FIndexFile);
      if (!FCopyMode) PutI32(image + kRecordId, FHeader.LastAutoInc + 1);
      TIndexNumbers indexes = MaintainedIndexes();
      TKeyBuffer key{};
      if (!FResultTable) {
        for (uint8_t number : indexes) {
          FIndexFile->SelectIndex(number);
          BuildKey(image, number, key.data());
          FIndexFile->CheckDuplicate(key.data());
        }
      }
      for (uint8_t number : indexes) {
        FIndexFile->SelectIndex(number);
        BuildKey(image, number, key.data());
        FIndexFile->InsertKey(key.data(), static_cast<uint32_t>(slot));
      }
      FIndexFile->SelectIndex(kSysDeletedIndex);
      bool reused = slot == static_cast<int32_t>(FHeader.FreeListHead) && slot != FHeader.NextRecordNo;
      uint8_t oldStatus[5];
      uint8_t newStatus[5] = {0, 0, 0, 0, 0};
      inserted = AllocRecord();
      if (reused) BuildStatusKey(inserted->Image(), oldStatus);
      int32_t identifier = GetI32(image + kRecordId);
      inserted->Clear(true);
      inserted->CopyData(image);
      inserted->SetRecordId(identifier);
      BuildStatusKey(inserted->Image(), newStatus);
      if (!FIndexFile->NoPrimaryIndex()) {
        if (reused) {
          FIndexFile->ReplaceKey(oldStatus, newStatus, static_cast<uint32_t>(slot));
        } else {
          FIndexFile->InsertKey(newStatus, static_cast<uint32_t>(slot));
        }
      }
      FIndexFile->IncrementRecordCount();
      StoreRecordBlobs(*inserted);
    }
    if (FCurrentRecord != nullptr && FCurrentRecord != inserted) FCurrentRecord->Unpin();
    FCurrentRecord = inserted;
    FIndexFile->RecordChanged(slot, inserted->Image());
    FinishChange(true);
    PositionOnRecord(*inserted);
  } catch (...) {
    UnpinAll();
    if (FCurrentRecord != nullptr && FCurrentRecord != inserted) FCurrentRecord->Pin();
    throw;
  }
}

void TDataFile::ModifyRecord(uint8_t* image, bool unlock, bool reposition) {
  if (ReadOnly()) Raise(kErrAccessDenied);
  if (FDeferredUpdates && !FInBatch) BeginBatch();
  TReadScope scope(*this);
  {
    TWriteLock writeLock(*this);
    if (FCurrentRecord == nullptr) Raise(kErrRecordNotFound);
    try {
      ValidateRecord(image);
      PutI32(image + kRecordId, FCurrentRecord->RecordId());
      bool keysChanged = false;
      {
        TIndexRestore restore(*FIndexFile);
        // Every new key is checked before the first is replaced; the keys are built again for the
        // replacements rather than kept for every index.
        TIndexNumbers changed;
        TKeyBuffer oldKey{};
        TKeyBuffer newKey{};
        for (uint8_t number : MaintainedIndexes()) {
          FIndexFile->SelectIndex(number);
          BuildKey(FCurrentRecord->Image(), number, oldKey.data());
          BuildKey(image, number, newKey.data());
          if (FIndexFile->CompareKeys(oldKey.data(), newKey.data(), FIndexFile->Current().KeyLength) == 0) continue;
          if (!FResultTable) FIndexFile->CheckDuplicate(newKey.data());
          changed.Numbers[static_cast<size_t>(changed.Count++)] = number;
        }
        for (uint8_t number : changed) {
          FIndexFile->SelectIndex(number);
          BuildKey(FCurrentRecord->Image(), number, oldKey.data());
          BuildKey(image, number, newKey.data());
          FIndexFile->ReplaceKey(oldKey.data(), newKey.data(), static_cast<uint32_t>(FCurrentRecord->RecordNo));
          keysChanged = true;
        }
        FCurrentRecord->CopyData(image);
        StoreRecordBlobs(*FCurrentRecord);
      }
      FIndexFile->RecordChanged(FCurrentRecord->RecordNo, FCurrentRecord->Image());
      TRecord* modified = FCurrentRecord;
      FinishChange(keysChanged);
      if (reposition) PositionOnRecord(*modified);
    } catch (...) {
      UnpinAll();
      if (FCurrentRecord != nullptr) FCurrentRecord->Pin();
      throw;
    }
  }
  if (unlock) UnlockRecord(0);
}

void TDataFile::DeleteRecord(bool reposition) {
  if (ReadOnly()) Raise(kErrAccessDenied);
  if (FDeferredUpdates && !FInBatch) BeginBatch();
  TReadScope scope(*this);
  TWriteLock writeLock(*this);
  if (FCurrentRecord == nullptr) Raise(LocksApply() ? kErrRecordInUse : kErrRecordNotFound);
  int32_t recordNo = FCurrentRecord->RecordNo;
  LockRecord(recordNo);
  TRecordLockRelease recordLock(*this, recordNo);
  std::vector<uint8_t>& copy = FDeletedImage;
  copy.assign(FCurrentRecord->Buffer.begin(), FCurrentRecord->Buffer.end());
  TKeyBuffer currentKey{};
  try {
    {
      TIndexRestore restore(*FIndexFile);
      if (!FIndexFile->PhysicalOrder()) BuildKey(copy.data(), FIndexFile->CurrentIndex(), currentKey.data());
      TKeyBuffer key{};
      for (uint8_t number : MaintainedIndexes()) {
        FIndexFile->SelectIndex(number);
        BuildKey(copy.data(), number, key.data());
        FIndexFile->DeleteKey(key.data());
      }
      if (!FIndexFile->NoPrimaryIndex()) {
        FIndexFile->SelectIndex(kSysDeletedIndex);
        uint8_t live[5];
        BuildStatusKey(copy.data(), live);
        uint8_t deleted[5];
        std::memcpy(deleted, live, 5);
        deleted[0] = 1;
        FIndexFile->ReplaceKey(live, deleted, static_cast<uint32_t>(recordNo));
      }
      FIndexFile->DecrementRecordCount();
      if (HasBlobFile()) {
        // Each stored BLOB is emptied and saved, which frees its chain.
        for (const TFieldDesc& field : FStoredFields) {
          if (field.FieldType != dtBlob) continue;
          CheckStatus(OpenBlob(false, field.FieldNo, 2, copy.data()));
          CheckStatus(TruncateBlob(false, field.FieldNo, 0, copy.data()));
        }
        FBlobFile->SetBlobsRecord(recordNo);
        FBlobFile->SaveBlobs();
        FBlobFile->CloseAllBlobs();
      }
      FreeRecord(*FCurrentRecord);
    }
    FIndexFile->RecordRemoved(recordNo);
    FinishChange(true);
    if (reposition) {
      if (FIndexFile->PhysicalOrder()) {
        FIndexFile->GotoRecordNumber(recordNo);
      } else {
        FIndexFile->FindNearest(currentKey.data(), true, false);
      }
    }
    ReadCurrent(1);
  } catch (...) {
    UnpinAll();
    if (FCurrentRecord != nullptr) FCurrentRecord->Pin();
    throw;
  }
}

uint16_t TDataFile::BlobField(bool working, int fieldNo, const TFieldDesc** field) const {
  *field = &GetFieldDesc(working, fieldNo);
  if ((*field)->FieldType != dtBlob || !FBlobFile) {
    SetErrorContext(kErrInvalidBlobField, FileName(), (*field)->FieldName, "", "");
    return kErrInvalidBlobField;
  }
  return 0;
}

int32_t TDataFile::BlobHandle(const TFieldDesc& field, const uint8_t* image) const {
  return GetI32(image + field.FieldOffset + 1);
}

uint16_t TDataFile::OpenBlob(bool working, int fieldNo, int mode, uint8_t* image) {
  (void)mode;
  const TFieldDesc* field;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  int32_t reference = BlobHandle(*field, image);
  if (reference < 0) {
    if (FBlobFile->FindBlob(reference) != nullptr) return 0;
    SetErrorContext(kErrInvalidBlobOffset, FileName(), field->FieldName, "", "");
    return kErrInvalidBlobOffset;
  }
  TReadScope scope(*this);
  int32_t recordNo = static_cast<int32_t>(GetU32(image + kRecordLink));
  int32_t handle = 0;
  uint16_t status = FBlobFile->OpenBlob(image[field->FieldOffset] == 0 ? 0 : reference, field->FieldNo, recordNo, handle);
  if (status == 0) PutI32(image + field->FieldOffset + 1, handle);
  return status;
}

uint16_t TDataFile::CloseBlob(bool working, int fieldNo, uint8_t* image) {
  const TFieldDesc* field;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  int32_t firstBlock = 0;
  uint16_t status = FBlobFile->CloseBlob(BlobHandle(*field, image), firstBlock);
  if (status == 0) {
    PutI32(image + field->FieldOffset + 1, firstBlock);
    image[field->FieldOffset] = firstBlock != 0 ? 1 : 0;
  }
  return status;
}

uint16_t TDataFile::ReadBlob(bool working, int fieldNo, int32_t offset, int32_t count, void* destination,
                             const uint8_t* image, int32_t& bytesRead) {
  const TFieldDesc* field;
  bytesRead = 0;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  return FBlobFile->ReadBlob(BlobHandle(*field, image), offset, count, destination, bytesRead);
}

uint16_t TDataFile::WriteBlob(bool working, int fieldNo, int32_t offset, int32_t count, const void* source,
                              const uint8_t* image) {
  const TFieldDesc* field;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  return FBlobFile->WriteBlob(BlobHandle(*field, image), offset, count, source);
}

uint16_t TDataFile::TruncateBlob(bool working, int fieldNo, int32_t length, const uint8_t* image) {
  const TFieldDesc* field;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  return FBlobFile->TruncateBlob(BlobHandle(*field, image), length);
}

uint16_t TDataFile::GetBlobSize(bool working, int fieldNo, const uint8_t* image, int32_t& size) {
  const TFieldDesc* field;
  size = 0;
  if (uint16_t status = BlobField(working, fieldNo, &field)) return status;
  return FBlobFile->GetBlobSize(BlobHandle(*field, image), size);
}

bool TDataFile::IsBlobOpen(bool working, int fieldNo, const uint8_t* image) const {
  const TFieldDesc& field = GetFieldDesc(working, fieldNo);
  if (field.FieldType != dtBlob || !FBlobFile) return false;
  int32_t handle = BlobHandle(field, image);
  return handle < 0 && FBlobFile->FindBlob(handle) != nullptr;
}

}  // namespace tarnel
