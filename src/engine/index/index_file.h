// TIndexFile: the index file (.IDX) of one table, with up to 32 B+trees: the primary index (0),
// secondary indexes (1 to 30) and "Sys Deleted" (31), which keeps one entry per record slot of a
// table with a primary index. It holds the whole 4096-byte header in memory, one page cache per
// index, the current index, and the cursor, range and filters over it.
//
// Owned by the table (TDataFile); REQUIRES: used by one thread at a time, under the table's
// locks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/file_handler.h"
#include "engine/index/bitmap.h"
#include "engine/index/filter.h"
#include "engine/index/index_header.h"
#include "engine/index/index_owner.h"
#include "engine/index/index_page.h"

namespace tarnel {

class TIndexFile : public TFileHandler {
 public:
  static constexpr int kDefaultCacheRoom = 31;
  static constexpr int kBatchCacheGrowth = 64;

  explicit TIndexFile(TIndexOwner& owner);
  ~TIndexFile() override;

  std::string NormalizeFileName(const std::string& name) const override;
  void Open() override;
  void Close() override;
  void CreateNew() override;

  // Header
  void ReadHeader();
  void WriteHeader(bool force);
  bool HeaderChanged();
  const TIndexHeader& Header() const { return FHeader; }
  void SetHeaderModified() { FHeader.HeaderModified = true; }
  void IncrementRecordCount();
  void DecrementRecordCount();
  int32_t RecordCount() const { return FHeader.RecordCount; }
  bool NoPrimaryIndex() const { return FHeader.NoPrimaryIndex; }
  int SecondaryCount() const { return FHeader.SecondaryCount; }
  const TIndexDescriptor& GetDescriptor(int number) const;
  void EmptyIndexes();

  // Definitions, while a new table's index file is created (open exclusively).
  void DefinePrimaryIndex(const TIndexDescriptor& definition);
  void AddSecondaryIndex(const TIndexDescriptor& definition);

  // The current index
  void SelectIndex(uint8_t number);
  void SelectIndexByName(const std::string& name);
  uint8_t CurrentIndex() const { return FCurrentIndex; }
  const std::string& CurrentIndexName() const { return FCurrentName; }
  const TIndexDescriptor& Current() const { return FCurrent; }
  // Index 255, or index 0 of a table without a primary index: record-number order.
  bool PhysicalOrder() const;
  // The name messages use for the current index ("Primary" for index 0).
  std::string MessageIndexName() const;

  // Keys (of the current index unless a descriptor is given)
  int CompareKeys(const uint8_t* key1, const uint8_t* key2, int length) const;
  int CompareKeys(const uint8_t* key1, const uint8_t* key2, const TIndexDescriptor& index,
                  uint8_t indexNo, int length) const;

  // Page cache of the current index
  // Pins the page at `offset`; nullptr when offset is 0 or when a change by another program was
  // detected before a read (every cache was then dropped; the caller restarts).
  TPage* GetPage(uint32_t offset, bool newPage);
  void ReleasePage(TPage* page);
  TPage* AllocatePage();
  void ReleasePageToFreeList(TPage& page);
  bool FlushPages();
  void FlushOnePage();
  void InvalidatePages();
  void UnpinAllPages();
  void TrimPageCaches();
  void FreeAllPages();
  // B+tree updates of the current index, under the table's write lock.
  bool KeyExists(const uint8_t* key);
  // 9729 when the current index is primary or unique and holds the key.
  void CheckDuplicate(const uint8_t* key);
  void InsertKey(const uint8_t* key, uint32_t recordNo);
  // 8708 when the key is not in the index.
  void DeleteKey(const uint8_t* key);
  void ReplaceKey(const uint8_t* oldKey, const uint8_t* newKey, uint32_t recordNo);

  // The cursor over the visible set (the range and the active filters) of the current index, or
  // over record numbers in record-number order.
  void SetEmptyCursor();
  void FirstKey();
  void LastKey();
  void MoveBy(int32_t count);
  // An entry equal to `key` over `length` bytes (the first of several); the cursor moves to it
  // only when found.
  bool FindKey(const uint8_t* key, int length);
  bool FindNearest(const uint8_t* key, bool nearest, bool resync);
  void GotoRecordNumber(int32_t recordNo);
  void ResyncPhysical();
  // Entries from the cursor on whose record numbers run consecutively (at least 1, at most
  // `limit`), for reading neighbouring records in one read.
  int ConsecutiveRun(int limit, bool forward);
  int32_t VisibleCount() const;
  int32_t SequenceNumber() const;
  int32_t CurrentRecordNumber() const;
  // The key of the cursor's entry, or nullptr.
  const uint8_t* CurrentKey() const;
  int32_t Position() const { return FPosition; }
  bool AtBOF() const { return FAtBOF; }
  bool AtEOF() const { return FAtEOF; }

  // Range of the current index
  void SetRangeKeys(const uint8_t* startKey, const uint8_t* endKey);
  void ClearRange();
  bool RangeActive() const { return FRangeActive; }
  const uint8_t* RangeStartKey() const { return FRangeStart.data(); }
  const uint8_t* RangeEndKey() const { return FRangeEnd.data(); }
  int32_t RangeStartPosition() const { return FRangeStartPosition; }
  int32_t RangeEndPosition() const { return FRangeEndPosition; }
  void ComputeRangePositions();
  // Entries with low <= key <= high, in two descents.
  int32_t CountKeyRange(const uint8_t* low, const uint8_t* high);
  void MarkKeyRange(const uint8_t* low, const uint8_t* high, TBitmap& bitmap);

  // Filters
  static constexpr int kMaxFilters = 128;
  // Adds an inactive filter; answers 0, 9482 (too many) or 10051 (nothing to filter by).
  uint16_t AddFilter(TExpressionPtr condition, bool afterEarlierFilters, TFilter** handle);
  uint16_t AddFilter(TExpressionNode* borrowedCondition, bool afterEarlierFilters, TFilter** handle);
  uint16_t AddFilter(TFilterCallback callback, TFilter** handle);
  // A handle of nullptr means every filter. Unknown handles give 10050.
  uint16_t DropFilter(TFilter* handle);
  uint16_t ActivateFilter(TFilter* handle);
  uint16_t DeactivateFilter(TFilter* handle);
  uint16_t UpdateFilter(TFilter* handle, TExpressionPtr condition);
  int FilterCount() const { return static_cast<int>(FFilters.size()); }
  const std::vector<std::unique_ptr<TFilter>>& Filters() const { return FFilters; }
  bool BitmapMode() const { return FBitmapMode; }
  // Bitmaps are in use while a filter is active or the cursor is in record-number order. The
  // table calls this when its cursor changes index; selecting an index to maintain it does not
  // change the mode.
  void RecomputeBitmapMode();
  void BuildFilterBitmaps();
  void ComputeResultBitmap();
  const TBitmap& ResultBitmap() const { return FResult; }
  // Keeps the bitmaps current after one record was added or changed, or removed.
  void RecordChanged(int32_t recordNo, const uint8_t* image);
  void RecordRemoved(int32_t recordNo);
  // Classifies a condition node by how far indexes answer it (0, 1 or 2), storing the class in
  // the node; may swap the operands of AND so that the better side comes first.
  uint8_t AnalyzeIndexUse(TExpressionNode& node, int32_t parentOperator);
  bool SelectIndexForField(uint16_t fieldNo, bool caseInsensitive, bool anyCase);
  int32_t CountMatches(int32_t op, const TExpressionNode& column, int partialLength,
                       const TExpressionNode* constant);

  // The 4096 bytes stored at `offset`, descrambled (zero beyond the end of the file), for the
  // checks that compare a page's encoding with what the file holds.
  void ReadStoredPage(uint32_t offset, uint8_t* image);

  // Page reads from disk since the file was opened (for tests and diagnostics).
  long PageReads() const { return FPageReads; }

 private:
  using TPageList = std::vector<std::unique_ptr<TPage>>;

  enum class TSearch { InsertPosition, Descent, Nearest };
  // Binary search of one page for `key` over `length` bytes: answers the entry the search
  // stops at (see the cases in btree.cpp) and whether an equal entry was met.
  int SearchPage(const TPage& page, const uint8_t* key, int length, TSearch search, bool* found) const;
  // Pages an update holds; every page taken is released when the update ends, on any way out.
  // The pins of an ordinary update fit the fixed room; only a very deep tree takes more.
  class TPinnedPages {
   public:
    explicit TPinnedPages(TIndexFile& file) : FFile(file) {}
    ~TPinnedPages();
    TPinnedPages(const TPinnedPages&) = delete;
    TPinnedPages& operator=(const TPinnedPages&) = delete;
    TPage& Get(uint32_t offset);
    TPage& Allocate();

   private:
    void Hold(TPage* page);

    TIndexFile& FFile;
    std::array<TPage*, 48> FPages{};
    size_t FCount = 0;
    std::vector<TPage*> FMore;
  };
  void InsertIntoPage(TPinnedPages& pages, TPage& page, const uint8_t* key, uint32_t value, uint32_t count);
  void PropagateFirstKey(TPinnedPages& pages, TPage& page);
  void SplitPage(TPinnedPages& pages, TPage& left, TPage& right);
  void RemoveFromPage(TPinnedPages& pages, TPage& page);
  void Unlink(TPinnedPages& pages, TPage& page);
  uint32_t& RootPage() { return FHeader.Descriptors[FCurrentIndex].RootPage; }

  // A leaf entry reached by a descent, with its 1-based sequence number in the index.
  struct TLeafEntry {
    TPage* Leaf = nullptr;
    int Entry = 0;
    int32_t Position = 0;
  };
  enum class TDescend { First, Last, Nearest, AtOrBelow };
  // Descends to a leaf; false on a detected change (every page was dropped). The leaf in
  // `reached` is pinned on success.
  bool Descend(TDescend how, const uint8_t* key, int length, TLeafEntry& reached);
  // Steps to the next or previous entry across leaves; false on a detected change. `moved` is
  // false at the end of the last or the start of the first leaf.
  bool Step(TLeafEntry& at, bool forward, bool& moved);
  void TakeCursor(const TLeafEntry& at);
  bool Visible(const TLeafEntry& at) const;
  // From `at` onwards (or backwards), the first entry the filters show; `moved` false when none
  // is left, `at` then on the index's last (first) entry. False on a detected change.
  bool SkipHidden(TLeafEntry& at, bool forward, bool& moved);
  // The same by the keys of the visible records instead of a walk, when they are few; false in
  // `answered` when the walk must decide.
  bool JumpToVisible(TLeafEntry& at, bool forward, bool& moved, bool& answered);
  int32_t RangeStartFor(const uint8_t* key);
  int32_t RangeEndFor(const uint8_t* key);
  void EndKey(bool first);
  bool TryEndKey(bool first);
  bool TryMoveBy(int32_t count);
  bool TryFindNearest(const uint8_t* key, bool nearest, bool& found);
  bool TryMarkKeyRange(const uint8_t* low, const uint8_t* high, TBitmap& bitmap);
  bool PhysicalFirstLast(bool first);
  void MovePhysical(int32_t count);
  TBitmap Base() const;
  bool BuildLiveBitmap();
  bool BuildRangeBitmap();
  // Marks every record whose key lies outside [low, high] in the current index order.
  void MarkAllBut(const uint8_t* low, const uint8_t* high, bool descending, TBitmap& bitmap);
  uint8_t EvaluateFilter(TBitmap& bitmap, int32_t parentOperator, TExpressionNode& node, bool& restart);
  bool EvaluateByScan(TBitmap& bitmap, int32_t parentOperator, const TFilter* callback,
                      const TExpressionNode* condition);
  bool EvaluateByIndex(TBitmap& bitmap, int32_t op, const TExpressionNode& column, int partialLength,
                       const TExpressionNode* constant);
  void ConditionKeys(int32_t op, const TExpressionNode& column, int partialLength,
                     const TExpressionNode* constant, std::vector<uint8_t>& low, std::vector<uint8_t>& high,
                     int& significant, int& encoded);
  bool EvaluateFilterBitmap(TFilter& filter, const TBitmap& base);
  TFilter* FindFilter(TFilter* handle) const;
  uint16_t AddPrepared(std::unique_ptr<TFilter> filter, TFilter** handle);

  [[noreturn]] void RaiseTable(uint16_t code) const;
  [[noreturn]] void RaiseIndex(uint16_t code, const std::string& indexName) const;
  void CheckDefinition(const TIndexDescriptor& definition, const std::string& messageName) const;
  TPageOptions OptionsOf(uint8_t number) const;
  TPage* TakeBuffer(uint8_t number);
  void WritePage(const TPage& page);
  void ValidateHeader();
  void ResetCursorState();

  TIndexOwner& FOwner;
  TIndexHeader FHeader;
  uint8_t FCurrentIndex = kNoIndex;
  std::string FCurrentName;
  TIndexDescriptor FCurrent;
  std::array<TPageList, 33> FCaches;
  std::array<int, 33> FCacheRoom{};
  std::vector<uint8_t> FImage;  // work area for one page or the header
  long FPageReads = 0;

  // Cursor
  TPage* FCurrentPage = nullptr;
  int32_t FPosition = 0;
  int32_t FPhysicalRecNo = 0;
  bool FAtBOF = true;
  bool FAtEOF = true;

  // Range
  std::vector<uint8_t> FRangeStart;
  std::vector<uint8_t> FRangeEnd;
  bool FRangeActive = false;
  int32_t FRangeStartPosition = 1;
  int32_t FRangeEndPosition = 0;
  bool FComputingRange = false;

  // Bitmaps and filters
  bool FBitmapMode = false;
  TBitmap FResult;
  TBitmap FRangeBitmap;
  TBitmap FLive;
  // FLive still tells the live slots: nothing was inserted or deleted and the header was not read
  // again since it was built, so that activating a filter need not build it again.
  bool FLiveKept = false;
  int32_t FVisible = 0;
  std::vector<std::unique_ptr<TFilter>> FFilters;
  bool FBuildingBitmaps = false;
};

}  // namespace tarnel
