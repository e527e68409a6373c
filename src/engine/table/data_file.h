// TDataFile: one open table and one cursor on it. The data file (.DAT) holds the header, the
// field definitions and the fixed-length records; the table owns its index file (.IDX) and, when
// it has BLOB fields, its BLOB file (.BLB), and answers what those files ask of their table.
//
// REQUIRES: used by one thread at a time; several TDataFile objects (in one program or many)
// share a table through byte-range locks and the change counters of the three headers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/field_desc.h"
#include "engine/base/file_handler.h"
#include "engine/blob/blob_file.h"
#include "engine/expr/evaluate.h"
#include "engine/index/index_file.h"
#include "engine/index/index_owner.h"
#include "engine/table/data_header.h"
#include "engine/table/record.h"
#include "engine/table/record_cache.h"
#include "engine/table/table_definition.h"

namespace tarnel {

class TDataFile : public TFileHandler, public TIndexOwner {
 public:
  static constexpr int kMaxFields = 1024;
  static constexpr int kMaxBlobFields = 32;
  static constexpr int kMaxRecordBufferSize = 65535;
  static constexpr int32_t kMaxRecordSlots = 100000000;
  static constexpr int64_t kMaxRecordBytes = 2000000000;

  TDataFile();
  ~TDataFile() override;

  std::string NormalizeFileName(const std::string& name) const override;
  void Open() override;
  void Close() override;
  // Creates the three files (held exclusively); the index and BLOB files take the table's name
  // and settings.
  void CreateNew() override;

  // Header and definitions
  void ReadHeader();
  void WriteHeader(bool force);
  bool HeaderChanged();
  const TDataHeader& Header() const { return FHeader; }
  void ReadFieldDescs();
  void WriteFieldDescs();
  int RecordBufferSize() const { return FHeader.RecordSize + FWorkingComputedSize; }
  uint16_t RecordSize() const { return FHeader.RecordSize; }
  int FieldCount() const { return FHeader.FieldCount; }
  int WorkingFieldCount() const { return FWorkingCount; }
  uint32_t BlobBlockSize() const { return FHeader.EffectiveBlobBlockSize(); }
  // The definition of field `fieldNo` (1-based) of the working or stored set; 9985 when there is
  // none. In copy mode the definition is found by its FieldNo.
  const TFieldDesc& GetFieldDesc(bool working, int fieldNo) const;
  // For an open protected table, the stored password in plain text; otherwise empty.
  std::string GetTablePassword() const;
  // Called when the table needs a password: true means one may have been registered and the
  // session is to be searched again.
  void SetOnPassword(std::function<bool()> callback) { FOnPassword = std::move(callback); }

  // Maintenance
  // Creates the table's files from `definition` on a closed table whose FileName is set and
  // which is Exclusive. Leaves the table closed.
  void CreateTable(const TTableDefinition& definition);
  void DeleteTable();
  // Derives names, offsets and physical sizes of definitions, checking every limit.
  void PrepareFieldDescs(std::vector<TFieldDesc>& fields, bool assignOffsets, uint16_t languageId,
                         uint16_t sortId) const;
  void SetCopyMode(bool value) { FCopyMode = value; }
  bool CopyMode() const { return FCopyMode; }
  void SetRepairMode(bool value) { FRepairMode = value; }
  void SetOnRepairMessage(std::function<void(const std::string&)> callback) {
    FOnRepairMessage = std::move(callback);
  }

  // Records
  // Where record `recordNo` starts in the data file.
  int64_t RecordOffset(int32_t recordNo) const;
  // The pinned buffer of record `recordNo` (a new slot when it is NextRecordNo). Null when another
  // program's change was detected before a read: the caches were dropped and the caller restarts.
  // Direction 1 reads ahead forward from the record, 2 backward ending at it; a read ahead takes
  // at most `maxCount` records when that is given (above 0).
  TRecord* GetRecordBuffer(int32_t recordNo, bool readAhead, int direction, bool useIndexRun, int maxCount = 0);
  bool FlushRecords();
  void InvalidateRecords();
  void UnpinRecords();
  void FreeAllBuffers();
  void TrimRecordCache();
  // The pinned buffer of the slot a new record takes.
  TRecord* AllocRecord();
  void FreeRecord(TRecord& record);
  int32_t NextFreeRecord() const;
  void SetFreeListHead(uint32_t recordNo);
  int32_t NextRecordId();
  int32_t RecordSlotCount() const override { return FHeader.NextRecordNo - 1; }
  void SetLastAutoInc(int32_t value);
  int ReadAheadCount() const override { return FReadAheadCount; }
  // Reads of records from the data file since the table was opened.
  long RecordReads() const { return FRecordReads; }
  // Records tested against a filter's condition one by one since the table was opened.
  long RecordsTested() const { return FRecordsTested; }
  int CacheCapacity() const { return FRecordCache.Capacity(); }
  TRecord* CurrentRecord() const { return FCurrentRecord; }
  void NoteRecordPinned(TRecord* record) { FRecordCache.NotePinned(record); }
  // Reads field `fieldNo` of an image: answers whether it is null and fills `value` (PhysSize
  // bytes, zero-filled first).
  bool GetField(bool working, int fieldNo, const uint8_t* image, uint8_t* value) const;
  // Writes a field into an image; `value` null stores null. A computed field is written only
  // with `force`.
  void PutField(bool working, int fieldNo, bool force, const uint8_t* value, uint8_t* image);
  void ComputeFields(uint8_t* image);

  // The cursor. Statuses are 0, 8705 (before the first record) and 8706 (after the last);
  // on either the image is filled with the fields' defaults.
  void SetToBegin();
  void SetToEnd();
  uint16_t GetCurrentRecord(uint8_t* image, bool lock);
  uint16_t GetNextRecord(uint8_t* image);
  uint16_t GetPriorRecord(uint8_t* image);
  // 4 bytes (the record number) in record-number order, else the current index's key length.
  uint16_t BookmarkSize() const;
  void GetBookmark(uint8_t* bookmark);
  void GotoBookmark(const uint8_t* bookmark, bool resync);
  int CompareBookmarks(const uint8_t* first, const uint8_t* second) const;
  int32_t GetSequenceNumber() const { return FIndexFile->SequenceNumber(); }
  int32_t GetRecordCount() const { return FIndexFile->VisibleCount(); }
  // Searches the current index for a key (`isKey`) or the key of a record image, on all fields
  // or, partially, on the first `fieldCount` fields and `partialLength` characters of the next.
  bool GotoKey(bool isKey, const uint8_t* source, uint8_t* result, int partialLength, bool nearest,
               int fieldCount);
  bool FindExactKey(const uint8_t* image, uint8_t* result);
  // A source of nullptr leaves that end of the range open.
  void SetRange(bool isKey, const uint8_t* start, int startPartial, int startFields, const uint8_t* end,
                int endPartial, int endFields);
  void CancelRange();
  void SelectIndexNo(uint8_t number);
  void SetIndexName(const std::string& name);
  std::string GetIndexName() const { return FIndexFile->CurrentIndexName(); }
  uint8_t ActiveIndex() const { return FIndexFile->CurrentIndex(); }
  int IndexCount() const { return FIndexFile->SecondaryCount(); }
  uint16_t GetKeyLength() const { return FIndexFile->Current().KeyLength; }
  int IndexFieldCount() const { return FIndexFile->Current().FieldCount; }
  bool IndexIsUnique() const;
  bool IsRangeActive() const { return FIndexFile->RangeActive(); }
  const TIndexDescriptor& GetIndexDesc(int number) const { return FIndexFile->GetDescriptor(number); }
  // Puts this cursor on the record another cursor of the same table is on; 8710 when this
  // cursor's index has no entry for it.
  uint16_t GotoCurrent(TDataFile& other);
  // A second cursor on the same table, on the same record, with the same index, range and
  // filters.
  std::unique_ptr<TDataFile> CloneCursor();
  // Filters: statuses 0, 9482 (raised), 10050, 10051.
  uint16_t AddFilter(TExpressionPtr condition, bool afterEarlierFilters, TFilter** handle);
  uint16_t AddFilter(TFilterCallback callback, TFilter** handle);
  // A filter from a dataset's filter expression block.
  uint16_t AddFilter(const uint8_t* filterBlock, size_t size, TFilter** handle);
  uint16_t DropFilter(TFilter* handle);
  uint16_t ActivateFilter(TFilter* handle);
  uint16_t DeactivateFilter(TFilter* handle);
  uint16_t UpdateFilter(TFilter* handle, TExpressionPtr condition);
  // Takes and releases the short read lock: another program's changes are read and the cursor
  // stays on its record.
  void Refresh();
  // The cursor's current record into CurrentRecord. After a search (`searched`) the read ahead
  // stays within a few kilobytes: a search is a jump, and the walk that may follow reads its runs.
  void ReadCurrent(int direction, bool searched = false);
  void ResyncCurrent();
  void ResetPositions();

  // Record changes, in the engine's fixed order: locks, checks of every index before the first
  // change, the keys, the record and its BLOBs, then the flush.
  void InitRecord(uint8_t* image);
  void ValidateRecord(const uint8_t* image);
  void InsertRecord(uint8_t* image);
  void ModifyRecord(uint8_t* image, bool unlock, bool reposition);
  void DeleteRecord(bool reposition);
  void SetResultTable(bool value) { FResultTable = value; }
  bool Changed() const { return FChanged; }

  // BLOB fields of a record image (statuses 0, 9998, 10030, 10753 and the BLOB file's).
  uint16_t OpenBlob(bool working, int fieldNo, int mode, uint8_t* image);
  uint16_t CloseBlob(bool working, int fieldNo, uint8_t* image);
  uint16_t ReadBlob(bool working, int fieldNo, int32_t offset, int32_t count, void* destination,
                    const uint8_t* image, int32_t& bytesRead);
  uint16_t WriteBlob(bool working, int fieldNo, int32_t offset, int32_t count, const void* source,
                     const uint8_t* image);
  uint16_t TruncateBlob(bool working, int fieldNo, int32_t length, const uint8_t* image);
  uint16_t GetBlobSize(bool working, int fieldNo, const uint8_t* image, int32_t& size);
  bool IsBlobOpen(bool working, int fieldNo, const uint8_t* image) const;

  // Maintenance of an open table
  void EmptyTable();
  void SetWorkingFields(const std::vector<TFieldDesc>& fields);
  void RestoreWorkingFields();
  void AddWorkingField();
  void RemoveWorkingField();

  // Keys
  // The key of an image for index `number` (KeyLength bytes into `key`).
  void BuildKey(const uint8_t* image, uint8_t number, uint8_t* key) const override;
  // The "Sys Deleted" key of a record slot: its Deleted byte and its identifier.
  void BuildStatusKey(const uint8_t* image, uint8_t* key) const;

  // Locking and change detection
  bool EnterRead();
  void LeaveRead();
  void LockForRead();
  void UnlockForRead();
  void LockForWrite();
  void UnlockForWrite();
  // Record n, or the current record for 0.
  void LockRecord(int32_t recordNo);
  void UnlockRecord(int32_t recordNo);
  void UnlockAllRecords();
  void LockTable();
  void UnlockTable();
  bool CheckForChanges();
  void EnableDeferredUpdates();
  void SetLockRetryCount(uint8_t count) { FLockRetryCount = count; }
  void SetLockWaitTime(uint16_t milliseconds) { FLockWaitTime = milliseconds; }
  void SetReadLockPerOperation(bool value);
  void SetDeleteOnClose(bool value);
  bool DeleteOnClose() const { return FDeleteOnClose; }
  const std::vector<int32_t>& LockedRecords() const { return FLockedRecords; }
  bool TableLocked() const { return FTableLocked; }
  bool WriteLockHeld() const { return FWriteLockHeld; }

  // Writing modified data: records, headers, index pages and BLOB blocks.
  void Flush(bool trim, bool forceHeader, bool forceIndexHeader);
  // Asks the operating system to write its buffers of the table's files to the disk.
  void FlushToDisk();
  // Writes everything an exclusive table still holds in its caches and puts it on the disk; the
  // cursor stays where it is. The data file's header, which says how many records there are,
  // goes last, after the records, the BLOB blocks and the index pages they refer to, so that a
  // crash at any moment leaves every record the header counts complete (the indexes can always
  // be rebuilt from the records, the BLOBs cannot). A shared table writes after every change.
  void WriteChanges();

  TIndexFile& IndexFile() { return *FIndexFile; }
  // The BLOB file, or nullptr for a table without BLOB fields.
  TBlobFile* BlobFile() { return FBlobFile.get(); }
  bool HasValidityChecks() const { return FHasValidityChecks; }
  bool HasDefaults() const { return FHasDefaults; }
  bool HasComputedFields() const { return FHasComputedFields; }

  // TTableContext and TIndexOwner
  const std::string& TableFileName() const override { return FileName(); }
  bool Scrambled() const override { return FHeader.Encrypted && Active(); }
  bool ShortReadsAccepted() const override { return Exclusive() || FInBatch; }
  bool InBatch() const override { return FInBatch; }
  bool ReadLockPerOperation() const override { return FReadLockPerOperation; }
  bool CheckForChangesBeforeRead() override;
  bool RepairMode() const override { return FRepairMode; }
  void RepairMessage(const std::string& text) override;
  const TFieldDesc* StoredField(uint16_t fieldNo) const override;
  uint16_t LanguageId() const override { return FHeader.LanguageId; }
  uint16_t SortId() const override { return FHeader.SortId; }
  const TFieldDesc* FieldByName(const std::string& name) const override;
  bool MarkLiveSlots(TBitmap& live) override;
  const uint8_t* FilterRecord(int32_t recordNo, int32_t lastWanted) override;
  bool RecordPasses(const TExpressionNode& condition, const uint8_t* image) override;
  bool IsSqlSource() const override { return FSqlSource && !FSqlSourceSecond; }

 private:
  [[noreturn]] void RaiseField(uint16_t code, const std::string& fieldName) const;
  void CheckPassword();
  void ValidateDefinitions() const;
  void NoteDefinitions();
  void PrepareIndexDescs(std::vector<TIndexDescriptor>& indexes, const std::vector<TFieldDesc>& fields,
                         bool allowNoPrimary) const;
  void CloseFiles();
  void PrepareBlobFile();
  TRecord* NewOrFreeBuffer();
  TRecord* GetFreeBuffer();
  TRecord* ReadRecords(int32_t recordNo, int count, int direction);
  // The buffer of record `recordNo` loaded from the last run read; nullptr when the run does not
  // hold it.
  TRecord* LoadFromRun(int32_t recordNo);
  bool ReadSlotLocked(TFileHandler& file, int64_t& slot);
  void ReleaseSlot(TFileHandler& file, int64_t& slot);
  bool TakeRegion(TFileHandler& file, int64_t offset, int64_t length, bool sleep);
  void Release(TFileHandler& file, int64_t offset, int64_t length);
  bool LocksApply() const { return !Exclusive() && !FileReadOnly(); }
  bool HasBlobFile() const;
  void BeginBatch();
  void EndBatch();
  void Reload();
  void UnpinAll();
  void ReleaseLocks();
  bool BlobFieldIsNull(const uint8_t* field) const;
  bool BlobReferenceHoldsData(int32_t reference) const;

  // Where the cursor is, kept across a change check that drops every cache.
  struct TCursorMemo {
    std::vector<uint8_t> Bookmark;
    bool HadRecord = false;
  };
  // The key of the current record for the current index, or zeros without one.
  void CurrentRecordKey(TKeyBuffer& key) const;
  void BuildSearchKey(bool isKey, const uint8_t* source, int partialLength, int fieldCount, bool endKey,
                      TKeyBuffer& key, int* significant) const;
  // The indexes a change maintains: the primary index when there is one, then the secondary ones.
  struct TIndexNumbers {
    std::array<uint8_t, kMaxSecondaryIndexes + 1> Numbers{};
    int Count = 0;
    const uint8_t* begin() const { return Numbers.data(); }
    const uint8_t* end() const { return Numbers.data() + Count; }
  };
  TIndexNumbers MaintainedIndexes() const;
  void PositionOnRecord(TRecord& record);
  void FinishChange(bool keysChanged);
  void StoreRecordBlobs(TRecord& record);
  uint16_t BlobField(bool working, int fieldNo, const TFieldDesc** field) const;
  int32_t BlobHandle(const TFieldDesc& field, const uint8_t* image) const;
  bool CheckLimit(const std::string& limit, bool minimum, const TFieldDesc& field, const uint8_t* value) const;
  // The column fetch of conditions and computed fields: the field from the record image.
  void FetchColumn(const TExpressionNode& column, const void* record, TExpressionValue& value) const;
  TCursorMemo RememberPosition();
  void ReturnToPosition(const TCursorMemo& memo);

 public:
  // Holds the short read lock (and so the change check) for a whole cursor operation of a shared
  // table, and releases at its end any short read lock the operation took. Nested scopes share
  // the outermost one.
  class TReadScope {
   public:
    explicit TReadScope(TDataFile& table);
    ~TReadScope();
    TReadScope(const TReadScope&) = delete;
    TReadScope& operator=(const TReadScope&) = delete;

   private:
    TDataFile& FTable;
    bool FOutermost;
  };

 private:

  TDataHeader FHeader;
  std::vector<TFieldDesc> FStoredFields;
  std::vector<TFieldDesc> FWorkingFields;
  int FWorkingCount = 0;           // working fields in use (the SQL engine may hide the last)
  int FWorkingComputedSize = 0;    // the computed area behind the record in memory
  std::unique_ptr<TIndexFile> FIndexFile;
  std::unique_ptr<TBlobFile> FBlobFile;
  std::function<bool()> FOnPassword;
  std::function<void(const std::string&)> FOnRepairMessage;
  bool FHasValidityChecks = false;
  bool FHasDefaults = false;
  bool FHasComputedFields = false;
  bool FCopyMode = false;
  bool FRepairMode = false;
  bool FReadLockPerOperation = false;
  bool FInBatch = false;
  bool FDeferredUpdates = false;
  bool FChanged = false;
  bool FDeleteOnClose = false;

  TRecordCache FRecordCache;
  TRecord* FCurrentRecord = nullptr;
  int FReadAheadCount = 1;
  // The last run of records read, as the file holds them: records FRunFirst to FRunFirst +
  // FRunCount - 1. Its records enter the cache when they are asked for; the run is dropped when
  // records are written, the caches invalidated or the buffers freed.
  std::vector<uint8_t> FRunBuffer;
  int32_t FRunFirst = 0;
  int32_t FRunCount = 0;
  // A run of modified records being written; apart from FRunBuffer because taking a buffer for a
  // record of a read run may write modified records first.
  std::vector<uint8_t> FWriteBuffer;
  long FRecordReads = 0;
  long FRecordsTested = 0;

  // Locks held by this cursor
  bool FSemaphoreHeld = false;
  bool FTableLocked = false;
  bool FReadLockHeld = false;
  bool FShortReadLockHeld = false;
  bool FWriteLockHeld = false;
  int64_t FIndexReadSlot = 0;  // offset of the held read slot of the index file, 0 = none
  int64_t FBlobReadSlot = 0;
  std::vector<int32_t> FLockedRecords;
  uint8_t FLockRetryCount = 15;
  uint16_t FLockWaitTime = 100;
  int FReadScopeDepth = 0;
  std::vector<uint8_t> FFilterImage;
  std::vector<uint8_t> FDeletedImage;  // the record a delete removes, while its keys and BLOBs go
  TFetchColumn FFetchColumn;
  // Marks of the SQL engine on its source tables.
  bool FSqlSource = false;
  bool FSqlSourceSecond = false;
  bool FResultTable = false;
};

}  // namespace tarnel
