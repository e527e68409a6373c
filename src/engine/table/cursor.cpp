// The table as a cursor: moves to the start or end, the current, next and prior records,
// bookmarks, key searches, ranges, the current index, filters and clones. Positions belong to
// the index file's cursor; record images come from the record layer.
#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/session.h"
#include "engine/index/filter_block.h"
#include "engine/index/key.h"
#include "engine/table/data_file.h"

namespace tarnel {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

void TDataFile::ReadCurrent(int direction, bool searched) {
  constexpr int kSearchReadBytes = 4096;
  int limit = searched ? std::max(1, kSearchReadBytes / std::max<int>(FHeader.RecordSize, 1)) : 0;
  for (;;) {
    int32_t recordNo = FIndexFile->CurrentRecordNumber();
    if (recordNo == 0) return;
    if (FCurrentRecord != nullptr) {
      FCurrentRecord->Unpin();
      FCurrentRecord = nullptr;
    }
    TRecord* record = GetRecordBuffer(recordNo, true, direction, true, limit);
    if (record != nullptr) {
      FCurrentRecord = record;
      return;
    }
    // Another program changed the table: the caches were dropped and the cursor put back on its
    // record; read where it stands now.
  }
}

void TDataFile::CurrentRecordKey(TKeyBuffer& key) const {
  key.fill(0);
  if (FCurrentRecord != nullptr && !FIndexFile->PhysicalOrder()) {
    BuildKey(FCurrentRecord->Image(), FIndexFile->CurrentIndex(), key.data());
  }
}

void TDataFile::ResyncCurrent() {
  if (FIndexFile->PhysicalOrder()) {
    if (FCurrentRecord != nullptr) {
      FIndexFile->GotoRecordNumber(FCurrentRecord->RecordNo);
    } else {
      FIndexFile->FirstKey();
    }
  } else {
    TKeyBuffer key;
    CurrentRecordKey(key);
    FIndexFile->FindNearest(key.data(), true, true);
  }
  ReadCurrent(1);
}

void TDataFile::ResetPositions() {
  FIndexFile->ComputeRangePositions();
  if (FIndexFile->BitmapMode()) {
    FIndexFile->BuildFilterBitmaps();
    FIndexFile->ComputeResultBitmap();
  }
}

TDataFile::TCursorMemo TDataFile::RememberPosition() {
  TCursorMemo memo;
  memo.HadRecord = FCurrentRecord != nullptr;
  if (memo.HadRecord) {
    memo.Bookmark.assign(std::max<size_t>(BookmarkSize(), 4), 0);
    GetBookmark(memo.Bookmark.data());
  }
  return memo;
}

void TDataFile::ReturnToPosition(const TCursorMemo& memo) {
  ResetPositions();
  if (memo.HadRecord) {
    GotoBookmark(memo.Bookmark.data(), true);
  } else {
    FIndexFile->SetEmptyCursor();
  }
}

void TDataFile::SetToBegin() {
  TReadScope scope(*this);
  FIndexFile->FirstKey();
  FIndexFile->MoveBy(-1);
  ReadCurrent(1);
}

void TDataFile::SetToEnd() {
  TReadScope scope(*this);
  FIndexFile->LastKey();
  FIndexFile->MoveBy(1);
  ReadCurrent(1);
}

uint16_t TDataFile::GetCurrentRecord(uint8_t* image, bool lock) {
  TReadScope scope(*this);
  if (lock) LockRecord(0);
  uint16_t status = 0;
  if (FIndexFile->AtBOF() || FCurrentRecord == nullptr) {
    status = kErrBeginningOfFile;
  } else if (FIndexFile->AtEOF()) {
    status = kErrEndOfFile;
  }
  if (image != nullptr) {
    if (status != 0) {
      InitRecord(image);
    } else {
      std::memcpy(image, FCurrentRecord->Image(), static_cast<size_t>(RecordBufferSize()));
    }
  }
  return status;
}

uint16_t TDataFile::GetNextRecord(uint8_t* image) {
  TReadScope scope(*this);
  if (FIndexFile->AtBOF()) {
    FIndexFile->FirstKey();
  } else {
    FIndexFile->MoveBy(1);
  }
  if (FIndexFile->AtEOF()) {
    if (image != nullptr) InitRecord(image);
    return kErrEndOfFile;
  }
  ReadCurrent(1);
  if (image != nullptr && FCurrentRecord != nullptr) {
    std::memcpy(image, FCurrentRecord->Image(), static_cast<size_t>(RecordBufferSize()));
  }
  return 0;
}

uint16_t TDataFile::GetPriorRecord(uint8_t* image) {
  TReadScope scope(*this);
  if (FIndexFile->AtEOF()) {
    FIndexFile->LastKey();
  } else {
    FIndexFile->MoveBy(-1);
  }
  if (FIndexFile->AtBOF()) {
    if (image != nullptr) InitRecord(image);
    return kErrBeginningOfFile;
  }
  ReadCurrent(2);
  if (image != nullptr && FCurrentRecord != nullptr) {
    std::memcpy(image, FCurrentRecord->Image(), static_cast<size_t>(RecordBufferSize()));
  }
  return 0;
}

uint16_t TDataFile::BookmarkSize() const {
  return FIndexFile->PhysicalOrder() ? 4 : FIndexFile->Current().KeyLength;
}

void TDataFile::GetBookmark(uint8_t* bookmark) {
  if (FIndexFile->PhysicalOrder()) {
    PutI32(bookmark, FCurrentRecord != nullptr ? FCurrentRecord->RecordNo : 0);
    return;
  }
  TKeyBuffer key;
  CurrentRecordKey(key);
  std::memcpy(bookmark, key.data(), FIndexFile->Current().KeyLength);
}

void TDataFile::GotoBookmark(const uint8_t* bookmark, bool resync) {
  TReadScope scope(*this);
  if (FIndexFile->PhysicalOrder()) {
    FIndexFile->GotoRecordNumber(GetI32(bookmark));
  } else {
    TKeyBuffer key{};
    std::memcpy(key.data(), bookmark, FIndexFile->Current().KeyLength);
    FIndexFile->FindNearest(key.data(), true, resync);
  }
  ReadCurrent(1);
}

int TDataFile::CompareBookmarks(const uint8_t* first, const uint8_t* second) const {
  if (FIndexFile->PhysicalOrder()) {
    int32_t a = GetI32(first);
    int32_t b = GetI32(second);
    return a < b ? -1 : (a > b ? 1 : 0);
  }
  return FIndexFile->CompareKeys(first, second, FIndexFile->Current().KeyLength);
}

bool TDataFile::IndexIsUnique() const {
  return FIndexFile->CurrentIndex() == kPrimaryIndex || FIndexFile->Current().Unique;
}

void TDataFile::BuildSearchKey(bool isKey, const uint8_t* source, int partialLength, int fieldCount, bool endKey,
                               TKeyBuffer& key, int* significant) const {
  const TIndexDescriptor& index = FIndexFile->Current();
  key.fill(0);
  if (isKey) {
    std::memcpy(key.data(), source, index.KeyLength);
  } else {
    BuildKey(source, FIndexFile->CurrentIndex(), key.data());
  }
  int count = fieldCount;
  bool nonUniqueSecondary = FIndexFile->CurrentIndex() != kPrimaryIndex && !index.Unique;
  if (count == 0 && partialLength == 0 && nonUniqueSecondary) count = index.FieldCount;
  int length = partialLength > 0 ? partialLength + 1 : 0;
  for (int i = 0; i < count && i < index.FieldCount; ++i) {
    const TFieldDesc* field = StoredField(index.FieldNumbers[static_cast<size_t>(i)]);
    if (field != nullptr) length += field->PhysSize + 1;
  }
  *significant = length;
  bool partial = (fieldCount >= 1 && fieldCount < index.FieldCount) || partialLength > 0 || nonUniqueSecondary;
  if (partial) {
    bool low = endKey == index.Descending;
    FillKeyTail(key.data(), length, index.KeyLength, low ? 0x00 : 0xFF);
  }
}

bool TDataFile::GotoKey(bool isKey, const uint8_t* source, uint8_t* result, int partialLength, bool nearest,
                        int fieldCount) {
  if (source == nullptr || FIndexFile->PhysicalOrder()) return false;
  TReadScope scope(*this);
  const TIndexDescriptor& index = FIndexFile->Current();
  TKeyBuffer key{};
  bool found;
  bool full = (fieldCount < 1 || fieldCount >= index.FieldCount) && IndexIsUnique() &&
              (fieldCount > 0 || partialLength == 0);
  if (full) {
    if (isKey) {
      std::memcpy(key.data(), source, index.KeyLength);
    } else {
      BuildKey(source, FIndexFile->CurrentIndex(), key.data());
    }
    found = FIndexFile->FindNearest(key.data(), nearest, false);
  } else {
    int significant;
    BuildSearchKey(isKey, source, partialLength, fieldCount, false, key, &significant);
    // The tail of a partial key is the lowest value of the index order: the search lands on the
    // first entry that starts with the significant bytes.
    FillKeyTail(key.data(), significant, index.KeyLength, index.Descending ? 0xFF : 0x00);
    FIndexFile->FindNearest(key.data(), nearest, false);
    const uint8_t* current = FIndexFile->CurrentKey();
    found = current != nullptr && FIndexFile->CompareKeys(current, key.data(), significant) == 0;
  }
  if (FIndexFile->AtEOF()) FIndexFile->LastKey();
  ReadCurrent(1, true);
  if (result != nullptr && FCurrentRecord != nullptr) {
    std::memcpy(result, FCurrentRecord->Image(), static_cast<size_t>(RecordBufferSize()));
  }
  return found;
}

bool TDataFile::FindExactKey(const uint8_t* image, uint8_t* result) {
  if (FIndexFile->PhysicalOrder()) return false;
  TReadScope scope(*this);
  const TIndexDescriptor& index = FIndexFile->Current();
  TKeyBuffer key{};
  BuildKey(image, FIndexFile->CurrentIndex(), key.data());
  int length = IndexIsUnique() ? index.KeyLength : index.KeyLength - kKeySuffixLength;
  bool found = FIndexFile->FindKey(key.data(), length);
  ReadCurrent(1, true);
  if (found && result != nullptr && FCurrentRecord != nullptr) {
    std::memcpy(result, FCurrentRecord->Image(), static_cast<size_t>(RecordBufferSize()));
  }
  return found;
}

void TDataFile::SetRange(bool isKey, const uint8_t* start, int startPartial, int startFields, const uint8_t* end,
                         int endPartial, int endFields) {
  if (FIndexFile->PhysicalOrder()) return;
  TReadScope scope(*this);
  const TIndexDescriptor& index = FIndexFile->Current();
  TKeyBuffer low;
  TKeyBuffer high;
  low.fill(index.Descending ? 0xFF : 0x00);
  high.fill(index.Descending ? 0x00 : 0xFF);
  int significant;
  if (start != nullptr) BuildSearchKey(isKey, start, startPartial, startFields, false, low, &significant);
  if (end != nullptr) BuildSearchKey(isKey, end, endPartial, endFields, true, high, &significant);
  FIndexFile->SetRangeKeys(low.data(), high.data());
  ResetPositions();
  ResyncCurrent();
}

void TDataFile::CancelRange() {
  TReadScope scope(*this);
  FIndexFile->ClearRange();
  ResetPositions();
  ResyncCurrent();
}

void TDataFile::SelectIndexNo(uint8_t number) {
  if (number == FIndexFile->CurrentIndex()) return;
  TReadScope scope(*this);
  FIndexFile->ClearRange();
  FIndexFile->SelectIndex(number);
  FIndexFile->RecomputeBitmapMode();
  if (FIndexFile->CurrentIndex() != number) {
    RaiseEngineError(kErrInvalidIndexName, FileName(), "", "", std::to_string(number));
  }
  ResetPositions();
  ResyncCurrent();
}

void TDataFile::SetIndexName(const std::string& name) {
  if (SameName(name, FIndexFile->CurrentIndexName()) && !FIndexFile->PhysicalOrder()) return;
  TReadScope scope(*this);
  FIndexFile->ClearRange();
  FIndexFile->SelectIndexByName(name);
  FIndexFile->RecomputeBitmapMode();
  if (!SameName(name, FIndexFile->CurrentIndexName())) {
    RaiseEngineError(kErrInvalidIndexName, FileName(), "", "", name);
  }
  ResetPositions();
  ResyncCurrent();
}

uint16_t TDataFile::GotoCurrent(TDataFile& other) {
  TReadScope scope(*this);
  TRecord* record = other.CurrentRecord();
  bool found;
  if (FIndexFile->PhysicalOrder()) {
    int32_t recordNo = record != nullptr ? record->RecordNo : 0;
    FIndexFile->GotoRecordNumber(recordNo);
    found = recordNo != 0 && FIndexFile->CurrentRecordNumber() == recordNo;
  } else {
    TKeyBuffer key{};
    if (record != nullptr) BuildKey(record->Image(), FIndexFile->CurrentIndex(), key.data());
    found = FIndexFile->FindNearest(key.data(), false, false);
  }
  if (!found) return kErrRecordNotFound;
  ReadCurrent(1);
  return 0;
}

std::unique_ptr<TDataFile> TDataFile::CloneCursor() {
  if (Exclusive()) Raise(kErrAccessDenied);
  auto clone = std::make_unique<TDataFile>();
  std::string password = GetTablePassword();
  bool registered = !password.empty() && !HasPassword(CurrentSession(), password);
  if (registered) AddPassword(CurrentSession(), password);
  try {
    clone->SetFileName(FileName());
    clone->SetReadOnly(ReadOnly());
    clone->SetInMemory(InMemory());
    clone->Open();
    if (registered) {
      RemovePassword(CurrentSession(), password);
      registered = false;
    }
    if (FWorkingFields.size() != FStoredFields.size()) clone->SetWorkingFields(FWorkingFields);
    if (FIndexFile->PhysicalOrder() && FIndexFile->CurrentIndex() == kNoIndex) {
      clone->SelectIndexNo(kNoIndex);
    } else {
      clone->SetIndexName(GetIndexName());
    }
    if (IsRangeActive()) {
      clone->IndexFile().SetRangeKeys(FIndexFile->RangeStartKey(), FIndexFile->RangeEndKey());
      clone->ResetPositions();
    }
    for (const auto& filter : FIndexFile->Filters()) {
      TFilter* handle = nullptr;
      uint16_t status = filter->IsCallback ? clone->AddFilter(filter->Callback, &handle)
                                           : clone->AddFilter(CopyExpression(filter->Expression),
                                                              filter->AfterEarlierFilters, &handle);
      if (status == 0 && filter->Active) status = clone->ActivateFilter(handle);
      CheckStatus(status);
    }
    CheckStatus(clone->GotoCurrent(*this));
  } catch (...) {
    if (registered) RemovePassword(CurrentSession(), password);
    throw;
  }
  return clone;
}

uint16_t TDataFile::AddFilter(TExpressionPtr condition, bool afterEarlierFilters, TFilter** handle) {
  TReadScope scope(*this);
  if (FIndexFile->FilterCount() >= TIndexFile::kMaxFilters) Raise(kErrTooManyFilters);
  return FIndexFile->AddFilter(std::move(condition), afterEarlierFilters, handle);
}

uint16_t TDataFile::AddFilter(TFilterCallback callback, TFilter** handle) {
  if (FIndexFile->FilterCount() >= TIndexFile::kMaxFilters) Raise(kErrTooManyFilters);
  return FIndexFile->AddFilter(std::move(callback), handle);
}

uint16_t TDataFile::AddFilter(const uint8_t* filterBlock, size_t size, TFilter** handle) {
  TReadScope scope(*this);
  if (FIndexFile->FilterCount() >= TIndexFile::kMaxFilters) Raise(kErrTooManyFilters);
  return FIndexFile->AddFilter(ParseFilterBlock(filterBlock, size, *this), false, handle);
}

uint16_t TDataFile::DropFilter(TFilter* handle) {
  TReadScope scope(*this);
  uint16_t status = FIndexFile->DropFilter(handle);
  if (status == 0) {
    FIndexFile->ComputeResultBitmap();
    ResyncCurrent();
  }
  return status;
}

uint16_t TDataFile::ActivateFilter(TFilter* handle) {
  TReadScope scope(*this);
  uint16_t status = FIndexFile->ActivateFilter(handle);
  if (status == 0) {
    FIndexFile->ComputeResultBitmap();
    ResyncCurrent();
  }
  return status;
}

uint16_t TDataFile::DeactivateFilter(TFilter* handle) {
  TReadScope scope(*this);
  uint16_t status = FIndexFile->DeactivateFilter(handle);
  if (status == 0) {
    FIndexFile->ComputeResultBitmap();
    ResyncCurrent();
  }
  return status;
}

uint16_t TDataFile::UpdateFilter(TFilter* handle, TExpressionPtr condition) {
  TReadScope scope(*this);
  uint16_t status = FIndexFile->UpdateFilter(handle, std::move(condition));
  if (status == 0) {
    FIndexFile->ComputeResultBitmap();
    ResyncCurrent();
  }
  return status;
}

void TDataFile::Refresh() {
  EnterRead();
  LeaveRead();
}

}  // namespace tarnel
