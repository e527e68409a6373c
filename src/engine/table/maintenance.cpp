// Creating and deleting tables, and the checks every new definition passes.
#include <strings.h>

#include "engine/base/errors.h"
#include "engine/base/scramble.h"
#include "engine/base/session.h"
#include "engine/base/short_string.h"
#include "engine/table/data_file.h"
#include "engine/table/locale_check.h"
#include "engine/table/value_text.h"
#include "platform/rtl/format_settings.h"

namespace tarnel {

namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 129 && c <= 254);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Registers a password with the session for as long as it lives, unless it was registered.
class TTemporaryPassword {
 public:
  explicit TTemporaryPassword(const std::string& password) : FPassword(password) {
    FAdded = !password.empty() && !HasPassword(CurrentSession(), password);
    if (FAdded) AddPassword(CurrentSession(), password);
  }
  ~TTemporaryPassword() {
    if (FAdded) RemovePassword(CurrentSession(), FPassword);
  }
  TTemporaryPassword(const TTemporaryPassword&) = delete;
  TTemporaryPassword& operator=(const TTemporaryPassword&) = delete;

 private:
  std::string FPassword;
  bool FAdded;
};

}  // namespace

void TDataFile::PrepareFieldDescs(std::vector<TFieldDesc>& fields, bool assignOffsets, uint16_t languageId,
                                  uint16_t sortId) const {
  // The texts of defaults, minimums and maximums are read in the table's own formats.
  TLocaleFormatsGuard formats(languageId, sortId);
  int offset = 9;
  for (size_t i = 0; i < fields.size(); ++i) {
    TFieldDesc& field = fields[i];
    field.FieldName = ShortString(Trim(field.FieldName), kMaxFieldNameLength);
    if (field.FieldName.empty() || !IsNameStart(static_cast<unsigned char>(field.FieldName[0]))) {
      RaiseField(kErrInvalidFieldName, field.FieldName);
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameName(fields[j].FieldName, field.FieldName)) RaiseField(kErrInvalidFieldName, field.FieldName);
      if (fields[j].FieldNo == field.FieldNo) RaiseField(kErrInvalidFieldDefinition, field.FieldName);
    }
    if (field.FieldType == dtUnknown) RaiseField(kErrInvalidFieldDefinition, field.FieldName);
    bool sized = field.FieldType == dtString || field.FieldType == dtBytes || field.FieldType == dtVarBytes;
    if (sized && field.FieldSize > kMaxStringFieldSize) RaiseField(kErrInvalidFieldDefinition, field.FieldName);
    if (!sized && field.FieldType <= dtVarBytes) field.FieldSize = 0;
    for (const std::string* text : {&field.DefaultValue, &field.MinValue, &field.MaxValue}) {
      if (!ValueTextValid(*text, field.FieldType, languageId)) RaiseField(kErrInvalidValidityCheck, field.FieldName);
    }
    if (field.FieldType != dtBCD) field.Decimals = 0;
    field.PhysSize = PhysSizeOf(field.FieldType, field.FieldSize);
    field.PhysDecimals = field.Decimals;
    if (!assignOffsets) continue;
    if (field.IsAutoInc()) {
      field.FieldOffset = 5;
    } else if (!field.Computed) {
      field.FieldOffset = static_cast<uint16_t>(offset);
      offset += field.PhysSize + 1;
    }
  }
}

void TDataFile::PrepareIndexDescs(std::vector<TIndexDescriptor>& indexes,
                                  const std::vector<TFieldDesc>& fields, bool allowNoPrimary) const {
  for (size_t i = 0; i < indexes.size(); ++i) {
    TIndexDescriptor& index = indexes[i];
    bool primary = i == 0;
    std::string name = primary ? std::string(kPrimaryIndexName) : Trim(index.IndexName);
    if (!primary) {
      // Names are checked before the fields so that a bad name is reported as such.
      if (name.empty()) RaiseEngineError(kErrIndexNameMissing, FileName());
      if (!IsNameStart(static_cast<unsigned char>(name[0]))) {
        RaiseEngineError(kErrInvalidIndexName, FileName(), "", "", name);
      }
      for (size_t j = 1; j < i; ++j) {
        if (SameName(Trim(indexes[j].IndexName), name)) RaiseEngineError(kErrIndexExists, FileName(), "", "", name);
      }
    }
    int keyLength = 0;
    int count = 0;
    for (; count < kMaxKeyFields && index.FieldNumbers[static_cast<size_t>(count)] != 0; ++count) {
      uint16_t number = index.FieldNumbers[static_cast<size_t>(count)];
      const TFieldDesc* field = nullptr;
      for (const TFieldDesc& candidate : fields) {
        if (candidate.FieldNo == number) field = &candidate;
      }
      if (field == nullptr) {
        if (primary && allowNoPrimary) break;
        RaiseEngineError(kErrInvalidIndexField, FileName(), std::to_string(number), "", name);
      }
      keyLength += field->PhysSize + 1;
    }
    bool emptyAllowed = primary && allowNoPrimary;
    if (keyLength > kMaxKeyLength || (keyLength == 0 && !emptyAllowed)) {
      RaiseEngineError(kErrInvalidKeySize, FileName(), "", "", name);
    }
    if (primary) {
      index.IndexName.clear();
    } else {
      index.IndexName = ShortString(name, 30);
      if (!index.Unique) keyLength += kKeySuffixLength;
    }
    index.FieldCount = static_cast<uint8_t>(count);
    for (int k = count; k < kMaxKeyFields; ++k) index.FieldNumbers[static_cast<size_t>(k)] = 0;
    index.KeyLength = static_cast<uint16_t>(keyLength);
    index.RootPage = 0;
    index.FreePage = 0;
  }
}

void TDataFile::CreateTable(const TTableDefinition& definition) {
  if (!Exclusive()) Raise(kErrMustBeExclusive);
  if (ReadOnly()) Raise(kErrAccessDenied);
  std::string password = Trim(definition.Password);
  if (definition.Encrypted && (password.empty() || password.size() > kMaxPasswordLength)) {
    Raise(kErrInvalidPassword);
  }
  if (definition.LanguageId != 0 && !LocaleInstalled(definition.LanguageId, definition.SortId)) {
    Raise(kErrLanguageDriver);
  }
  if (definition.Fields.empty() || definition.Fields.size() > kMaxFields) Raise(kErrFieldLimits);
  if (definition.Indexes.size() > 33) Raise(kErrIndexLimits);
  if (definition.BlobBlockSize < 64) Raise(kErrBlobFieldLimits);

  std::vector<TFieldDesc> fields = definition.Fields;
  PrepareFieldDescs(fields, true, definition.LanguageId, definition.SortId);
  std::vector<TIndexDescriptor> indexes = definition.Indexes;
  if (indexes.empty()) indexes.emplace_back();
  PrepareIndexDescs(indexes, fields, definition.AllowNoPrimaryIndex);

  TTemporaryPassword registered(definition.Encrypted ? password : std::string());
  TDataHeader header;
  header.LanguageId = definition.LanguageId;
  header.SortId = definition.SortId;
  header.UserMajorVersion = definition.UserMajorVersion;
  header.UserMinorVersion = definition.UserMinorVersion;
  header.Encrypted = definition.Encrypted;
  std::string description = ShortString(definition.Description, kMaxDescriptionLength);
  header.Password = definition.Encrypted ? PasswordScrambled(password) : std::string();
  header.Description = definition.Encrypted ? PasswordScrambled(description) : description;
  header.FieldCount = static_cast<uint16_t>(fields.size());
  header.BlobBlockSize = definition.BlobBlockSize;
  int recordSize = 9;
  int computedSize = 0;
  for (const TFieldDesc& field : fields) {
    if (field.FieldType == dtBlob && ++header.BlobFieldCount > kMaxBlobFields) Raise(kErrBlobFieldLimits);
    if (field.IsStored()) recordSize += field.PhysSize + 1;
    if (field.Computed) computedSize += field.PhysSize + 1;
  }
  if (recordSize + computedSize > kMaxRecordBufferSize) Raise(kErrRecordSizeExceeded);
  header.RecordSize = static_cast<uint16_t>(recordSize);
  header.ComputedSize = static_cast<uint16_t>(computedSize);
  header.HeaderModified = true;

  FHeader = header;
  FStoredFields = fields;
  CreateNew();
  try {
    WriteFieldDescs();
    Close();
    Open();
    FIndexFile->DefinePrimaryIndex(indexes[0]);
    for (size_t i = 1; i < indexes.size(); ++i) FIndexFile->AddSecondaryIndex(indexes[i]);
  } catch (...) {
    Close();
    try {
      DeleteTable();
    } catch (const EDatabaseError&) {
      // The files could not all be removed; the first error is the one reported.
    }
    throw;
  }
  Close();
}

void TDataFile::CreateNew() {
  TFileHandler::CreateNew();
  try {
    FIndexFile->SetFileName(FileName());
    FIndexFile->SetExclusive(Exclusive());
    FIndexFile->SetReadOnly(ReadOnly());
    FIndexFile->SetInMemory(InMemory());
    FIndexFile->SetWriteThrough(WriteThrough());
    FIndexFile->CreateNew();
    if (FHeader.BlobFieldCount > 0) {
      PrepareBlobFile();
      FBlobFile->CreateNew();
    }
  } catch (...) {
    CloseFiles();
    throw;
  }
}

void TDataFile::EmptyTable() {
  if (!Active()) return;
  if (!Exclusive()) Raise(kErrMustBeExclusive);
  if (ReadOnly()) Raise(kErrAccessDenied);
  Seek(RecordOffset(1), 0);
  Write(nullptr, 0);
  FHeader.ChangeCount = 0;
  FHeader.FreeListHead = 0;
  FHeader.NextRecordNo = 1;
  FHeader.LastAutoInc = 0;
  FCurrentRecord = nullptr;
  FHeader.HeaderModified = true;
  InvalidateRecords();
  FIndexFile->EmptyIndexes();
  FIndexFile->InvalidatePages();
  if (HasBlobFile()) {
    FBlobFile->EmptyBlobs();
    FBlobFile->InvalidateBlocks();
  }
  ResetPositions();
  SetToBegin();
}

void TDataFile::SetWorkingFields(const std::vector<TFieldDesc>& fields) {
  std::vector<TFieldDesc> working = fields;
  PrepareFieldDescs(working, false, FHeader.LanguageId, FHeader.SortId);
  FreeAllBuffers();
  FHasComputedFields = false;
  int computed = 0;
  for (TFieldDesc& field : working) {
    if (!field.Computed) continue;
    FHasComputedFields = true;
    field.FieldOffset = static_cast<uint16_t>(FHeader.RecordSize + computed);
    computed += field.PhysSize + 1;
  }
  if (FHeader.RecordSize + computed > kMaxRecordBufferSize) Raise(kErrRecordSizeExceeded);
  FWorkingFields = std::move(working);
  FWorkingCount = static_cast<int>(FWorkingFields.size());
  FWorkingComputedSize = computed;
  TrimRecordCache();
  SetToBegin();
}

void TDataFile::RestoreWorkingFields() {
  FreeAllBuffers();
  FWorkingFields = FStoredFields;
  FWorkingCount = static_cast<int>(FWorkingFields.size());
  FWorkingComputedSize = FHeader.ComputedSize;
  NoteDefinitions();
  TrimRecordCache();
}

void TDataFile::AddWorkingField() {
  if (FWorkingCount < static_cast<int>(FWorkingFields.size())) ++FWorkingCount;
  FHasComputedFields = true;
}

void TDataFile::RemoveWorkingField() {
  if (FWorkingCount > FieldCount()) --FWorkingCount;
  FHasComputedFields = false;
}

void TDataFile::DeleteTable() {
  if (Active()) Raise(kErrFileInUse);
  FIndexFile->SetFileName(FileName());
  FIndexFile->SetInMemory(InMemory());
  Delete();
  FIndexFile->Delete();
  TBlobFile blobs(*this, 0);
  blobs.SetFileName(FileName());
  blobs.SetInMemory(InMemory());
  if (blobs.FileExists()) blobs.Delete();
}

}  // namespace tarnel
