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

  // Page reads from disk since the file was opened (for tests and diagnostics).
  long PageReads() const { return FPageReads; }

 private:
  using TPageList = std::vector<std::unique_ptr<TPage>>;

  enum class TSearch { InsertPosition, Descent, Nearest };
  // Binary search of one page for `key` over `length` bytes: answers the entry the search
  // stops at (see the cases in btree.cpp) and whether an equal entry was met.
  int SearchPage(const TPage& page, const uint8_t* key, int length, TSearch search, bool* found) const;
  // Pages an update holds; every page taken is released when the update ends, on any way out.
  class TPinnedPages {
   public:
    explicit TPinnedPages(TIndexFile& file) : FFile(file) {}
    ~TPinnedPages();
    TPinnedPages(const TPinnedPages&) = delete;
    TPinnedPages& operator=(const TPinnedPages&) = delete;
    TPage& Get(uint32_t offset);
    TPage& Allocate();

   private:
    TIndexFile& FFile;
    std::vector<TPage*> FPages;
  };
  void InsertIntoPage(TPinnedPages& pages, TPage& page, const uint8_t* key, uint32_t value, uint32_t count);
  void PropagateFirstKey(TPinnedPages& pages, TPage& page);
  void SplitPage(TPinnedPages& pages, TPage& left, TPage& right);
  void RemoveFromPage(TPinnedPages& pages, TPage& page);
  void Unlink(TPinnedPages& pages, TPage& page);
  uint32_t& RootPage() { return FHeader.Descriptors[FCurrentIndex].RootPage; }

  [[noreturn]] void RaiseTable(uint16_t code) const;
  [[noreturn]] void RaiseIndex(uint16_t code, const std::string& indexName) const;
  void CheckDefinition(const TIndexDescriptor& definition, const std::string& messageName) const;
  TPageOptions OptionsOf(uint8_t number) const;
  TPage* TakeBuffer(uint8_t number);
  void WritePage(const TPage& page);
  void ValidateHeader();

  TIndexOwner& FOwner;
  TIndexHeader FHeader;
  uint8_t FCurrentIndex = kNoIndex;
  std::string FCurrentName;
  TIndexDescriptor FCurrent;
  std::array<TPageList, 33> FCaches;
  std::array<int, 33> FCacheRoom{};
  std::vector<uint8_t> FImage;  // work area for one page or the header
  long FPageReads = 0;
};

}  // namespace tarnel
