#include "engine/index/index_file.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/paths.h"
#include "engine/base/scramble.h"
#include "engine/base/short_string.h"

namespace tarnel {

namespace {

bool IsIndexNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 129 && c <= 254);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

TIndexFile::TIndexFile(TIndexOwner& owner) : FOwner(owner), FImage(kPageSize) {
  FCacheRoom.fill(kDefaultCacheRoom);
}

TIndexFile::~TIndexFile() { TIndexFile::Close(); }

std::string TIndexFile::NormalizeFileName(const std::string& name) const {
  return RemoveExtension(Trim(name)) + ".IDX";
}

void TIndexFile::RaiseTable(uint16_t code) const { RaiseEngineError(code, FOwner.TableFileName()); }

void TIndexFile::RaiseIndex(uint16_t code, const std::string& indexName) const {
  RaiseEngineError(code, FOwner.TableFileName(), "", "", indexName);
}

void TIndexFile::Open() {
  if (Active()) return;
  TFileHandler::Open();
  try {
    ReadHeader();
    if (FHeader.Version != kFileVersion) Raise(kErrWrongVersion);
    ValidateHeader();
  } catch (...) {
    TFileHandler::Close();
    throw;
  }
  FRangeStart.assign(kKeyBufferSize, 0);
  FRangeEnd.assign(kKeyBufferSize, 0);
  ResetCursorState();
  if (!FOwner.RepairMode()) FirstKey();
}

void TIndexFile::ResetCursorState() {
  SetEmptyCursor();
  FFilters.clear();
  FBitmapMode = false;
  FResult.Free();
  FRangeBitmap.Free();
  FLive.Free();
  FLiveKept = false;
  FVisible = 0;
  FCurrentIndex = kNoIndex;
  SelectIndex(kPrimaryIndex);
  ClearRange();
  RecomputeBitmapMode();
  BuildFilterBitmaps();
}

void TIndexFile::ValidateHeader() {
  // A header that contradicts itself would send page reads and key building out of bounds.
  auto pageOffsetValid = [this](uint32_t offset) {
    return offset == 0 || (offset % kPageSize == 0 && offset < FHeader.EndOfFile);
  };
  bool valid = FHeader.EndOfFile >= static_cast<uint32_t>(kPageSize) &&
               FHeader.EndOfFile % kPageSize == 0 && FHeader.SecondaryCount <= kMaxSecondaryIndexes;
  for (int number = 0; valid && number < TIndexHeader::kDescriptorCount; ++number) {
    const TIndexDescriptor& desc = FHeader.Descriptors[static_cast<size_t>(number)];
    bool inUse = number == kSysDeletedIndex || number <= FHeader.SecondaryCount;
    if (!inUse) continue;
    valid = desc.FieldCount <= kMaxKeyFields && desc.KeyLength <= kMaxKeyLength + kKeySuffixLength &&
            pageOffsetValid(desc.RootPage) && pageOffsetValid(desc.FreePage) &&
            desc.Compression <= cmBoth;
    // The primary index may be undefined (no primary index, or a table being created); every
    // other index in use has a key.
    bool undefinedPrimary = number == kPrimaryIndex && desc.KeyLength == 0 && desc.FieldCount == 0 &&
                            desc.RootPage == 0;
    if (valid && !undefinedPrimary &&
        (desc.KeyLength == 0 || (desc.FieldCount == 0 && number != kSysDeletedIndex))) {
      valid = false;
    }
  }
  if (valid && FHeader.Descriptors[kSysDeletedIndex].KeyLength != 5) valid = false;
  if (!valid) Raise(kErrHeaderAccess);
}

void TIndexFile::Close() {
  FCurrentPage = nullptr;
  FreeAllPages();
  FFilters.clear();
  FBitmapMode = false;
  FResult.Free();
  FRangeBitmap.Free();
  FLive.Free();
  FLiveKept = false;
  FCurrentIndex = kNoIndex;
  TFileHandler::Close();
}

void TIndexFile::CreateNew() {
  TFileHandler::CreateNew();
  FHeader = TIndexHeader();
  TIndexDescriptor& sysDeleted = FHeader.Descriptors[kSysDeletedIndex];
  sysDeleted.IndexName = kSysDeletedName;
  sysDeleted.KeyLength = 5;
  sysDeleted.Compression = cmNone;
  FHeader.HeaderModified = true;
  FRangeStart.assign(kKeyBufferSize, 0);
  FRangeEnd.assign(kKeyBufferSize, 0);
  ResetCursorState();
}

void TIndexFile::ReadHeader() {
  FLiveKept = false;
  Seek(0, 0);
  Read(FImage.data(), kPageSize);
  if (FOwner.Scrambled()) ScrambleBlock(FImage.data(), kPageSize, kBlockKey1, kBlockKey2);
  FHeader = TIndexHeader::Decode(FImage.data());
  if (FCurrentIndex != kNoIndex && FCurrentIndex < TIndexHeader::kDescriptorCount) {
    FCurrent = FHeader.Descriptors[FCurrentIndex];
  }
}

void TIndexFile::WriteHeader(bool force) {
  if (!force && !FHeader.HeaderModified) return;
  ++FHeader.ChangeCount;
  FHeader.Encode(FImage.data());
  if (FOwner.Scrambled()) ScrambleBlock(FImage.data(), kPageSize, kBlockKey1, kBlockKey2);
  Seek(0, 0);
  Write(FImage.data(), kPageSize);
  FHeader.HeaderModified = false;
}

bool TIndexFile::HeaderChanged() {
  uint8_t count[4];
  Seek(0, 0);
  Read(count, 4);
  if (FOwner.Scrambled()) ScrambleBlock(count, 4, kBlockKey1, kBlockKey2);
  if (GetI32(count) == FHeader.ChangeCount) return false;
  ReadHeader();
  return true;
}

void TIndexFile::IncrementRecordCount() {
  FLiveKept = false;
  ++FHeader.RecordCount;
  FHeader.HeaderModified = true;
}

void TIndexFile::DecrementRecordCount() {
  FLiveKept = false;
  --FHeader.RecordCount;
  FHeader.HeaderModified = true;
}

const TIndexDescriptor& TIndexFile::GetDescriptor(int number) const {
  return FHeader.Descriptors.at(static_cast<size_t>(number));
}

void TIndexFile::EmptyIndexes() {
  Seek(kPageSize, 0);
  Write(nullptr, 0);
  FHeader.Version = kFileVersion;
  FHeader.EndOfFile = kPageSize;
  FHeader.RecordCount = 0;
  FLiveKept = false;
  for (int number = 0; number <= FHeader.SecondaryCount; ++number) {
    FHeader.Descriptors[static_cast<size_t>(number)].RootPage = 0;
    FHeader.Descriptors[static_cast<size_t>(number)].FreePage = 0;
  }
  FHeader.Descriptors[kSysDeletedIndex].RootPage = 0;
  FHeader.Descriptors[kSysDeletedIndex].FreePage = 0;
  FHeader.HeaderModified = true;
  if (FCurrentIndex < TIndexHeader::kDescriptorCount) FCurrent = FHeader.Descriptors[FCurrentIndex];
  SetEmptyCursor();
}

void TIndexFile::CheckDefinition(const TIndexDescriptor& definition,
                                 const std::string& messageName) const {
  if (definition.FieldCount > kMaxKeyFields) RaiseTable(kErrIndexLimits);
  for (int i = 0; i < definition.FieldCount; ++i) {
    const TFieldDesc* field = FOwner.StoredField(definition.FieldNumbers[static_cast<size_t>(i)]);
    if (field != nullptr && field->FieldType == dtBlob) RaiseIndex(kErrInvalidIndexType, messageName);
  }
}

void TIndexFile::DefinePrimaryIndex(const TIndexDescriptor& definition) {
  if (!Exclusive()) RaiseTable(kErrMustBeExclusive);
  TIndexDescriptor& primary = FHeader.Descriptors[kPrimaryIndex];
  if (primary.KeyLength != 0) RaiseTable(kErrPrimaryIndexExists);
  if (definition.FieldCount > kMaxKeyFields) RaiseTable(kErrIndexLimits);
  if (definition.FieldCount == 0) {
    FHeader.NoPrimaryIndex = true;
    primary = TIndexDescriptor();
  } else {
    CheckDefinition(definition, kPrimaryIndexName);
    FHeader.NoPrimaryIndex = false;
    primary = definition;
    primary.IndexName.clear();
    primary.RootPage = 0;
    primary.FreePage = 0;
  }
  FHeader.HeaderModified = true;
  if (FCurrentIndex == kPrimaryIndex) FCurrent = primary;
}

void TIndexFile::AddSecondaryIndex(const TIndexDescriptor& definition) {
  if (!Exclusive()) RaiseTable(kErrMustBeExclusive);
  if (FHeader.SecondaryCount >= kMaxSecondaryIndexes) RaiseTable(kErrIndexLimits);
  if (definition.FieldCount > kMaxKeyFields) RaiseTable(kErrIndexLimits);
  std::string name = Trim(definition.IndexName);
  if (name.empty()) RaiseTable(kErrIndexNameMissing);
  if (!IsIndexNameStart(static_cast<unsigned char>(name[0]))) RaiseIndex(kErrInvalidIndexName, name);
  for (int number = 1; number <= FHeader.SecondaryCount; ++number) {
    if (SameName(Trim(FHeader.Descriptors[static_cast<size_t>(number)].IndexName), name)) {
      RaiseIndex(kErrIndexExists, name);
    }
  }
  CheckDefinition(definition, name);
  ++FHeader.SecondaryCount;
  TIndexDescriptor& slot = FHeader.Descriptors[FHeader.SecondaryCount];
  slot = definition;
  slot.IndexName = ShortString(definition.IndexName, 30);
  slot.RootPage = 0;
  slot.FreePage = 0;
  FHeader.HeaderModified = true;
}

bool TIndexFile::PhysicalOrder() const {
  return FCurrentIndex == kNoIndex || (FCurrentIndex == kPrimaryIndex && FHeader.NoPrimaryIndex);
}

void TIndexFile::SelectIndex(uint8_t number) {
  if (number == FCurrentIndex) return;
  bool exists = number == kNoIndex || number == kSysDeletedIndex || number <= FHeader.SecondaryCount;
  if (!exists) return;
  FCurrentIndex = number;
  if (PhysicalOrder()) {
    FCurrent = TIndexDescriptor();
    FCurrentName.clear();
  } else {
    FCurrent = FHeader.Descriptors[number];
    FCurrentName = FCurrent.IndexName;
  }
}

void TIndexFile::SelectIndexByName(const std::string& name) {
  if (SameName(name, FCurrentName)) return;
  SelectIndex(kPrimaryIndex);
  FCurrentName.clear();
  if (name.empty()) return;
  for (int number = 1; number <= FHeader.SecondaryCount; ++number) {
    if (SameName(FHeader.Descriptors[static_cast<size_t>(number)].IndexName, name)) {
      SelectIndex(static_cast<uint8_t>(number));
      return;
    }
  }
}

std::string TIndexFile::MessageIndexName() const {
  if (FCurrentIndex == kPrimaryIndex || FCurrentIndex == kNoIndex) return kPrimaryIndexName;
  return FCurrentName;
}

}  // namespace tarnel
