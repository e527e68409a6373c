#include "engine/table/data_file.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/paths.h"
#include "engine/base/scramble.h"
#include "engine/base/session.h"
#include "engine/base/short_string.h"
#include "engine/table/locale_check.h"

namespace tarnel {

namespace {

// Days since 30 December 1899 with the time of day as the fraction, in local time.
double LocalDateTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local;
  ::localtime_r(&now, &local);
  double days = static_cast<double>((now + local.tm_gmtoff) / 86400) + 25569.0;
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return days + seconds / 86400.0;
}

}  // namespace

TDataFile::TDataFile()
    : FIndexFile(std::make_unique<TIndexFile>(*this)),
      FFetchColumn([this](const TExpressionNode& column, const void* record, TExpressionValue& value) {
        FetchColumn(column, record, value);
      }) {}

TDataFile::~TDataFile() {
  // A destructor cannot report a failed final write; a caller who needs to know closes the
  // table itself first, and Close raises the error there.
  try {
    TDataFile::Close();
  } catch (const EDatabaseError&) {
    CloseFiles();
  }
}

std::string TDataFile::NormalizeFileName(const std::string& name) const {
  return RemoveExtension(Trim(name)) + ".DAT";
}

void TDataFile::RaiseField(uint16_t code, const std::string& fieldName) const {
  RaiseEngineError(code, FileName(), fieldName);
}

void TDataFile::ReadHeader() {
  uint8_t image[TDataHeader::kDiskSize];
  Seek(0, 0);
  Read(image, TDataHeader::kDiskSize);
  FHeader = TDataHeader::Decode(image);
}

void TDataFile::WriteHeader(bool force) {
  if (!force && !FHeader.HeaderModified) return;
  ++FHeader.ChangeCount;
  FHeader.LastUpdated = LocalDateTimeNow() - kLastUpdatedOffset;
  uint8_t image[TDataHeader::kDiskSize];
  FHeader.Encode(image);
  Seek(0, 0);
  Write(image, TDataHeader::kDiskSize);
  FHeader.HeaderModified = false;
}

bool TDataFile::HeaderChanged() {
  uint8_t count[4];
  Seek(0, 0);
  Read(count, 4);
  if (GetI32(count) == FHeader.ChangeCount) return false;
  ReadHeader();
  return true;
}

void TDataFile::ReadFieldDescs() {
  size_t size = TFieldDesc::kDiskSize * FHeader.FieldCount;
  std::vector<uint8_t> image(size);
  Seek(TDataHeader::kDiskSize, 0);
  Read(image.data(), static_cast<int32_t>(size));
  if (Scrambled()) ScrambleBlock(image.data(), size, kBlockKey1, kBlockKey2);
  FStoredFields.clear();
  for (size_t i = 0; i < FHeader.FieldCount; ++i) {
    FStoredFields.push_back(TFieldDesc::Decode(image.data() + i * TFieldDesc::kDiskSize));
  }
}

void TDataFile::WriteFieldDescs() {
  size_t size = TFieldDesc::kDiskSize * FStoredFields.size();
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < FStoredFields.size(); ++i) {
    FStoredFields[i].Encode(image.data() + i * TFieldDesc::kDiskSize);
  }
  if (Scrambled()) ScrambleBlock(image.data(), size, kBlockKey1, kBlockKey2);
  Seek(TDataHeader::kDiskSize, 0);
  Write(image.data(), static_cast<int32_t>(size));
}

void TDataFile::ValidateDefinitions() const {
  // The header and definitions must describe records that fit; a file that contradicts itself is
  // refused instead of being read out of bounds.
  const TDataHeader& h = FHeader;
  bool valid = h.RecordSize >= 9 && h.FieldCount >= 1 && h.FieldCount <= kMaxFields &&
               h.BlobFieldCount <= kMaxBlobFields && h.NextRecordNo >= 1 &&
               h.NextRecordNo <= kMaxRecordSlots + 1 && h.FreeListHead < static_cast<uint32_t>(h.NextRecordNo) &&
               static_cast<int>(h.RecordSize) + h.ComputedSize <= kMaxRecordBufferSize;
  int storedEnd = 9;
  int computedSize = 0;
  int blobFields = 0;
  for (size_t i = 0; valid && i < FStoredFields.size(); ++i) {
    const TFieldDesc& field = FStoredFields[i];
    valid = field.FieldNo == i + 1 && field.FieldType != dtUnknown &&
            (field.FieldType > dtVarBytes || field.PhysSize == PhysSizeOf(field.FieldType, field.FieldSize));
    if (!valid) break;
    if (field.FieldType == dtBlob) ++blobFields;
    if (field.IsAutoInc()) {
      valid = field.FieldOffset == 5;
    } else if (field.Computed) {
      computedSize += field.PhysSize + 1;
    } else {
      valid = field.FieldOffset == storedEnd;
      storedEnd += field.PhysSize + 1;
    }
  }
  valid = valid && storedEnd == h.RecordSize && computedSize == h.ComputedSize && blobFields == h.BlobFieldCount;
  if (!valid) Raise(kErrHeaderAccess);
}

void TDataFile::NoteDefinitions() {
  FHasValidityChecks = false;
  FHasDefaults = false;
  FHasComputedFields = false;
  for (const TFieldDesc& field : FStoredFields) {
    if (field.Required || !field.MinValue.empty() || !field.MaxValue.empty()) FHasValidityChecks = true;
    if (!field.DefaultValue.empty()) FHasDefaults = true;
    if (field.Computed) FHasComputedFields = true;
  }
}

void TDataFile::CheckPassword() {
  std::string password = PasswordScrambled(FHeader.Password);
  while (!HasPassword(CurrentSession(), password)) {
    if (!FOnPassword || !FOnPassword()) Raise(kErrPasswordRequired);
  }
}

std::string TDataFile::GetTablePassword() const {
  if (!Active() || !FHeader.Encrypted) return std::string();
  return PasswordScrambled(FHeader.Password);
}

void TDataFile::Open() {
  if (Active()) return;
  FSemaphoreHeld = FTableLocked = FReadLockHeld = FShortReadLockHeld = FWriteLockHeld = false;
  FIndexReadSlot = FBlobReadSlot = 0;
  FLockedRecords.clear();
  FInBatch = FDeferredUpdates = FChanged = false;
  FRecordReads = 0;
  FRecordsTested = 0;
  TFileHandler::Open();
  try {
    ReadHeader();
    if (FHeader.Version != kFileVersion) Raise(kErrWrongVersion);
    if (FHeader.LanguageId != 0 && !LocaleInstalled(FHeader.LanguageId, FHeader.SortId)) {
      Raise(kErrLanguageDriver);
    }
    if (FHeader.Encrypted) CheckPassword();
    if (FHeader.FieldCount > kMaxFields) Raise(kErrHeaderAccess);
    ReadFieldDescs();
    ValidateDefinitions();
    FReadAheadCount = std::max(1, 32767 / FHeader.RecordSize);
    NoteDefinitions();
    FWorkingFields = FStoredFields;
    FWorkingCount = static_cast<int>(FWorkingFields.size());
    FWorkingComputedSize = FHeader.ComputedSize;
    TrimRecordCache();
    FIndexFile->SetFileName(FileName());
    FIndexFile->SetInMemory(InMemory());
    FIndexFile->SetExclusive(Exclusive());
    FIndexFile->SetReadOnly(ReadOnly());
    FIndexFile->SetWriteThrough(WriteThrough());
    if (FHeader.BlobFieldCount > 0) {
      PrepareBlobFile();
      FBlobFile->Open();
    }
    // The index file reads its first page when it opens; the read lock that takes is released.
    TReadScope scope(*this);
    FIndexFile->Open();
  } catch (...) {
    LeaveRead();
    CloseFiles();
    throw;
  }
}

void TDataFile::PrepareBlobFile() {
  FBlobFile = std::make_unique<TBlobFile>(*this, FHeader.BlobBlockSize);
  FBlobFile->SetFileName(FileName());
  FBlobFile->SetInMemory(InMemory());
  FBlobFile->SetExclusive(Exclusive());
  FBlobFile->SetReadOnly(ReadOnly());
  FBlobFile->SetWriteThrough(WriteThrough());
}

void TDataFile::CloseFiles() {
  if (FBlobFile) FBlobFile->Close();
  FIndexFile->Close();
  FreeAllBuffers();
  FStoredFields.clear();
  FWorkingFields.clear();
  FWorkingCount = 0;
  TFileHandler::Close();
}

void TDataFile::Close() {
  if (!Active()) return;
  if (FInBatch) {
    try {
      EndBatch();
    } catch (const EDatabaseError&) {
      // Closing goes on: the batch's changes are dropped in any case.
    }
  } else {
    UnpinAll();
    if (Exclusive() && !ReadOnly()) Flush(true, false, false);
  }
  ReleaseLocks();
  CloseFiles();
  if (FDeleteOnClose) DeleteTable();
  FOnPassword = nullptr;
  FOnRepairMessage = nullptr;
}

void TDataFile::ReleaseLocks() {
  UnlockForRead();
  UnlockTable();
  UnlockAllRecords();
  LeaveRead();
  UnlockForWrite();
}

const TFieldDesc& TDataFile::GetFieldDesc(bool working, int fieldNo) const {
  const std::vector<TFieldDesc>& fields = working ? FWorkingFields : FStoredFields;
  if (FCopyMode) {
    for (const TFieldDesc& field : fields) {
      if (field.FieldNo == fieldNo) return field;
    }
  } else if (fieldNo >= 1 && fieldNo <= (working ? FWorkingCount : static_cast<int>(fields.size()))) {
    return fields[static_cast<size_t>(fieldNo - 1)];
  }
  RaiseField(kErrInvalidFieldNumber, std::to_string(fieldNo));
}

const TFieldDesc* TDataFile::StoredField(uint16_t fieldNo) const {
  if (fieldNo < 1 || fieldNo > FStoredFields.size()) return nullptr;
  return &FStoredFields[fieldNo - 1u];
}

void TDataFile::RepairMessage(const std::string& text) {
  if (FOnRepairMessage) FOnRepairMessage(text);
}

}  // namespace tarnel
