// Multi-user locking and change detection. Writers exclude each other through the header
// semaphore of the data file and exclude readers through the write regions of the index and
// BLOB files; readers take random single-byte slots inside those regions. Record locks and the
// table lock are one byte per record number in the data file. Every lock taken is released on
// every way out.
#include <algorithm>

#include "engine/base/errors.h"
#include "engine/base/lock_map.h"
#include "engine/base/session.h"
#include "engine/base/timing.h"
#include "engine/table/data_file.h"
#include "platform/os/clock.h"

namespace tarnel {

bool TDataFile::HasBlobFile() const { return FBlobFile && FBlobFile->Active(); }

bool TDataFile::ReadSlotLocked(TFileHandler& file, int64_t& slot) {
  for (int attempt = 0; attempt < kRegionLockAttempts; ++attempt) {
    int32_t drawn = static_cast<int32_t>(EngineRandom(kReadSlotCount));
    int64_t offset = ReadSlotOffset(drawn == 0 ? 1 : drawn);
    if (file.LockBytes(offset, kReadSlotLength, true)) {
      slot = offset;
      return true;
    }
    os::Sleep(kRegionLockWait);
  }
  return false;
}

void TDataFile::ReleaseSlot(TFileHandler& file, int64_t& slot) {
  if (slot == 0) return;
  int64_t offset = slot;
  slot = 0;
  if (!file.LockBytes(offset, kReadSlotLength, false)) Raise(kErrLockFailure);
}

bool TDataFile::TakeRegion(TFileHandler& file, int64_t offset, int64_t length, bool sleep) {
  for (int attempt = 0; attempt < kRegionLockAttempts; ++attempt) {
    if (file.LockBytes(offset, length, true)) return true;
    if (sleep) {
      os::Sleep(kRegionLockWait);
    } else {
      Delay(kRegionLockWait);
    }
  }
  return false;
}

void TDataFile::Release(TFileHandler& file, int64_t offset, int64_t length) {
  if (!file.LockBytes(offset, length, false)) Raise(kErrLockFailure);
}

bool TDataFile::EnterRead() {
  if (FShortReadLockHeld || FReadLockHeld || FWriteLockHeld || FInBatch || !LocksApply()) return false;
  if (!FIndexFile->Active()) return false;
  if (!ReadSlotLocked(*FIndexFile, FIndexReadSlot)) Raise(kErrLockFailure);
  if (HasBlobFile() && !ReadSlotLocked(*FBlobFile, FBlobReadSlot)) {
    ReleaseSlot(*FIndexFile, FIndexReadSlot);
    Raise(kErrLockFailure);
  }
  FShortReadLockHeld = true;
  return CheckForChanges();
}

void TDataFile::LeaveRead() {
  if (!FShortReadLockHeld) return;
  FShortReadLockHeld = false;
  if (!LocksApply()) return;
  if (FBlobFile) ReleaseSlot(*FBlobFile, FBlobReadSlot);
  ReleaseSlot(*FIndexFile, FIndexReadSlot);
}

void TDataFile::LockForRead() {
  if (FReadLockHeld || !LocksApply()) return;
  if (FShortReadLockHeld) {
    FShortReadLockHeld = false;  // the slots taken for this operation are kept
  } else {
    if (!ReadSlotLocked(*FIndexFile, FIndexReadSlot)) Raise(kErrLockFailure);
    if (HasBlobFile() && !ReadSlotLocked(*FBlobFile, FBlobReadSlot)) {
      ReleaseSlot(*FIndexFile, FIndexReadSlot);
      Raise(kErrLockFailure);
    }
  }
  FReadLockHeld = true;
  CheckForChanges();
}

void TDataFile::UnlockForRead() {
  if (!FReadLockHeld) return;
  FReadLockHeld = false;
  if (!LocksApply()) return;
  if (FBlobFile) ReleaseSlot(*FBlobFile, FBlobReadSlot);
  ReleaseSlot(*FIndexFile, FIndexReadSlot);
}

void TDataFile::LockForWrite() {
  if (FWriteLockHeld || !LocksApply()) return;
  // The write regions cover every read slot, this cursor's own too: a short read lock of the
  // operation gives way to the write lock.
  LeaveRead();
  bool semaphore = false;
  if (!FInBatch) {
    if (!TakeRegion(*this, kHeaderSemaphoreOffset, kHeaderSemaphoreLength, false)) Raise(kErrLockFailure);
    semaphore = true;
  }
  if (!TakeRegion(*FIndexFile, kWriteRegionOffset, kWriteRegionLength, true)) {
    if (semaphore) LockBytes(kHeaderSemaphoreOffset, kHeaderSemaphoreLength, false);
    Raise(kErrLockFailure);
  }
  if (HasBlobFile() && !TakeRegion(*FBlobFile, kWriteRegionOffset, kWriteRegionLength, true)) {
    FIndexFile->LockBytes(kWriteRegionOffset, kWriteRegionLength, false);
    if (semaphore) LockBytes(kHeaderSemaphoreOffset, kHeaderSemaphoreLength, false);
    Raise(kErrLockFailure);
  }
  FSemaphoreHeld = FSemaphoreHeld || semaphore;
  FWriteLockHeld = true;
  if (!FInBatch) CheckForChanges();
}

void TDataFile::UnlockForWrite() {
  if (!FWriteLockHeld) return;
  FWriteLockHeld = false;
  if (!LocksApply()) return;
  if (HasBlobFile()) Release(*FBlobFile, kWriteRegionOffset, kWriteRegionLength);
  Release(*FIndexFile, kWriteRegionOffset, kWriteRegionLength);
  if (!FInBatch && FSemaphoreHeld) {
    FSemaphoreHeld = false;
    Release(*this, kHeaderSemaphoreOffset, kHeaderSemaphoreLength);
  }
}

void TDataFile::LockRecord(int32_t recordNo) {
  if (FTableLocked || !LocksApply()) return;
  TReadScope scope(*this);
  if (!FReadLockPerOperation) EnterRead();
  if (recordNo == 0) {
    if (FCurrentRecord == nullptr) Raise(kErrRecordInUse);
    recordNo = FCurrentRecord->RecordNo;
  }
  if (std::find(FLockedRecords.begin(), FLockedRecords.end(), recordNo) != FLockedRecords.end()) return;
  for (int attempt = 0;; ++attempt) {
    if (LockBytes(RecordLockOffset(recordNo), kRecordLockLength, true)) break;
    if (attempt >= FLockRetryCount) Raise(kErrRecordInUse);
    Delay(FLockWaitTime);
  }
  FLockedRecords.push_back(recordNo);
}

void TDataFile::UnlockRecord(int32_t recordNo) {
  if (FTableLocked || FInBatch || !LocksApply()) return;
  if (recordNo == 0) {
    if (FCurrentRecord == nullptr) Raise(kErrCannotUnlock);
    recordNo = FCurrentRecord->RecordNo;
  }
  auto it = std::find(FLockedRecords.begin(), FLockedRecords.end(), recordNo);
  if (it == FLockedRecords.end()) return;
  FLockedRecords.erase(it);
  if (!LockBytes(RecordLockOffset(recordNo), kRecordLockLength, false)) Raise(kErrCannotUnlock);
}

void TDataFile::UnlockAllRecords() {
  while (!FLockedRecords.empty()) {
    int32_t recordNo = FLockedRecords.back();
    FLockedRecords.pop_back();
    if (LocksApply() && !LockBytes(RecordLockOffset(recordNo), kRecordLockLength, false)) {
      Raise(kErrCannotUnlock);
    }
  }
}

void TDataFile::LockTable() {
  if (FTableLocked || !LocksApply()) return;
  for (int attempt = 0;; ++attempt) {
    if (LockBytes(kTableLockOffset, kTableLockLength, true)) break;
    if (attempt >= FLockRetryCount) Raise(kErrTableLocked);
    Delay(FLockWaitTime);
  }
  FTableLocked = true;
  CheckForChanges();
}

void TDataFile::UnlockTable() {
  if (!FTableLocked || FInBatch || !LocksApply()) return;
  FTableLocked = false;
  if (!LockBytes(kTableLockOffset, kTableLockLength, false)) Raise(kErrCannotUnlock);
}

bool TDataFile::CheckForChanges() {
  bool changed = false;
  if (FIndexFile->Active() && FIndexFile->HeaderChanged()) {
    TCursorMemo memo = RememberPosition();
    FIndexFile->InvalidatePages();
    ReadHeader();
    InvalidateRecords();
    ReturnToPosition(memo);
    changed = true;
  } else if (HeaderChanged()) {
    TCursorMemo memo = RememberPosition();
    InvalidateRecords();
    ReturnToPosition(memo);
    changed = true;
  }
  if (HasBlobFile() && FBlobFile->HeaderChanged()) {
    FBlobFile->InvalidateBlocks();
    changed = true;
  }
  return changed;
}

bool TDataFile::CheckForChangesBeforeRead() { return EnterRead(); }

void TDataFile::EnableDeferredUpdates() {
  if (ReadOnly() || FDeferredUpdates) return;
  FDeferredUpdates = true;
  FChanged = false;
  FInBatch = false;
}

void TDataFile::BeginBatch() {
  UnpinAll();
  if (Exclusive()) {
    Flush(false, true, true);
    FlushToDisk();
  }
  if (FCurrentRecord != nullptr) FCurrentRecord->Pin();
  if (!FileReadOnly() && !Exclusive()) {
    if (!TakeRegion(*this, kHeaderSemaphoreOffset, kHeaderSemaphoreLength, false)) Raise(kErrLockFailure);
    FSemaphoreHeld = true;
    CheckForChanges();
  }
  FInBatch = true;
}

void TDataFile::EndBatch() {
  FDeferredUpdates = false;
  if (FChanged) {
    TCursorMemo memo = RememberPosition();
    Reload();
    ReturnToPosition(memo);
  }
  if (LocksApply()) {
    if (FSemaphoreHeld) {
      FSemaphoreHeld = false;
      Release(*this, kHeaderSemaphoreOffset, kHeaderSemaphoreLength);
    }
    FInBatch = false;
    if (FTableLocked) {
      UnlockTable();
    } else {
      UnlockAllRecords();
    }
  }
  FInBatch = false;
  FChanged = false;
}

void TDataFile::Reload() {
  // The batch's unwritten changes are dropped: every cache is emptied and the headers read again.
  FRecordCache.ForEach([](TRecord& record) { record.Modified = false; });
  InvalidateRecords();
  FreeAllBuffers();
  FIndexFile->InvalidatePages();
  FIndexFile->TrimPageCaches();
  ReadHeader();
  FIndexFile->ReadHeader();
  if (HasBlobFile()) {
    FBlobFile->InvalidateBlocks();
    FBlobFile->ReadHeader();
  }
}

void TDataFile::Flush(bool trim, bool forceHeader, bool forceIndexHeader) {
  if (!ReadOnly()) FlushRecords();
  WriteHeader(forceHeader);
  if (trim) TrimRecordCache();
  if (FIndexFile->Active()) {
    FIndexFile->FlushPages();
    FIndexFile->WriteHeader(forceIndexHeader);
    if (trim) FIndexFile->TrimPageCaches();
  }
  if (HasBlobFile()) {
    FBlobFile->FlushBlocks();
    FBlobFile->WriteHeader(forceHeader);
    if (trim) FBlobFile->TrimBlockCache();
  }
}

void TDataFile::FlushToDisk() {
  if (ReadOnly() || WriteThrough()) return;
  TFileHandler::Flush();
  if (FIndexFile->Active()) FIndexFile->Flush();
  if (HasBlobFile()) FBlobFile->Flush();
}

void TDataFile::WriteChanges() {
  if (!Active() || ReadOnly()) return;
  UnpinAll();
  FlushRecords();
  if (HasBlobFile()) {
    FBlobFile->FlushBlocks();
    FBlobFile->WriteHeader(true);
  }
  FIndexFile->FlushPages();
  FIndexFile->WriteHeader(true);
  FlushToDisk();
  WriteHeader(true);
  FlushToDisk();
  if (FCurrentRecord != nullptr) FCurrentRecord->Pin();
}

void TDataFile::SetReadLockPerOperation(bool value) {
  if (!Active()) FReadLockPerOperation = value;
}

void TDataFile::SetDeleteOnClose(bool value) {
  if (Active()) Raise(kErrFileInUse);
  FDeleteOnClose = value;
}

void TDataFile::UnpinAll() {
  UnpinRecords();
  FIndexFile->UnpinAllPages();
  if (FBlobFile) FBlobFile->UnpinAllBlocks();
}

TDataFile::TReadScope::TReadScope(TDataFile& table) : FTable(table), FOutermost(table.FReadScopeDepth++ == 0) {
  // Every cursor operation of a shared table starts with the change check under the short read
  // lock, so that another program's change is seen at the next move even when every page and
  // record it needs is cached. A held read or write lock makes this a no-op.
  if (FOutermost) table.EnterRead();
}

TDataFile::TReadScope::~TReadScope() {
  --FTable.FReadScopeDepth;
  if (!FOutermost) return;
  try {
    FTable.LeaveRead();
  } catch (const EDatabaseError&) {
    // Releasing a read slot cannot fail unless the file is gone; the operation's own result or
    // error is the one that counts.
  }
}

}  // namespace tarnel
