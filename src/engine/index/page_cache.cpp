// The page caches of an index file: one list per index, most recently used first. Buffers are
// pinned while an operation uses them and replaced from the rear only when clean and unpinned;
// modified buffers are written sorted by offset, neighbours in one write.
#include <algorithm>
#include <cstring>

#include "engine/base/errors.h"
#include "engine/base/scramble.h"
#include "engine/index/index_file.h"

namespace tarnel {

namespace {

constexpr uint16_t kMaxPins = 64;
constexpr uint32_t kMaxFileSize = 2000000000u;

}  // namespace

TPageOptions TIndexFile::OptionsOf(uint8_t number) const {
  const TIndexDescriptor& desc = FHeader.Descriptors[number];
  TPageOptions options;
  options.KeyLength = desc.KeyLength;
  options.IndexNo = number;
  options.Descending = desc.Descending;
  options.Unique = desc.Unique;
  options.Compression = desc.Compression;
  options.HasSuffix = number != kPrimaryIndex && number != kSysDeletedIndex && !desc.Unique;
  return options;
}

TPage* TIndexFile::TakeBuffer(uint8_t number) {
  TPageList& list = FCaches[number];
  for (;;) {
    if (static_cast<int>(list.size()) < FCacheRoom[number]) {
      list.insert(list.begin(), std::make_unique<TPage>());
      list.front()->Reset(OptionsOf(number));
      return list.front().get();
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      TPage& page = **it;
      if (!page.Modified && page.PinCount == 0) {
        std::unique_ptr<TPage> taken = std::move(*it);
        list.erase(std::next(it).base());
        taken->Reset(OptionsOf(number));
        list.insert(list.begin(), std::move(taken));
        return list.front().get();
      }
    }
    if (FOwner.InBatch()) {
      // A batch keeps its changes in memory: the cache grows instead of writing.
      FCacheRoom[number] += kBatchCacheGrowth;
      continue;
    }
    bool anyWritable = std::any_of(list.begin(), list.end(), [](const std::unique_ptr<TPage>& page) {
      return page->Modified && page->PinCount == 0;
    });
    if (!anyWritable) RaiseTable(kErrPageBuffersCorrupt);
    FlushOnePage();
  }
}

TPage* TIndexFile::GetPage(uint32_t offset, bool newPage) {
  if (offset == 0 || FCurrentIndex >= TIndexHeader::kDescriptorCount) return nullptr;
  uint8_t number = FCurrentIndex;
  if (offset == FHeader.EndOfFile) {
    if (FHeader.EndOfFile > kMaxFileSize) RaiseTable(kErrTableFull);
    TPage* page = TakeBuffer(number);
    page->PinCount = 1;
    page->PageOffset = offset;
    FHeader.EndOfFile = offset + kPageSize;
    FHeader.HeaderModified = true;
    return page;
  }
  TPageList& list = FCaches[number];
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->PageOffset == offset) {
      TPage* page = it->get();
      if (page->PinCount >= kMaxPins) RaiseTable(kErrPageBuffersCorrupt);
      ++page->PinCount;
      if (it != list.begin()) std::rotate(list.begin(), it, std::next(it));
      return page;
    }
  }
  if (offset % kPageSize != 0 || offset > FHeader.EndOfFile) RaiseTable(kErrPageBuffersCorrupt);
  if (!FOwner.ReadLockPerOperation() && FOwner.CheckForChangesBeforeRead()) return nullptr;
  TPage* page = TakeBuffer(number);
  std::fill(FImage.begin(), FImage.end(), 0);
  Seek(offset, 0);
  Read(FImage.data(), kPageSize, FOwner.ShortReadsAccepted());
  ++FPageReads;
  if (FOwner.Scrambled()) ScrambleBlock(FImage.data(), kPageSize, kBlockKey1, kBlockKey2);
  try {
    page->DecodePage(FImage.data(), newPage, FOwner.TableFileName());
  } catch (...) {
    page->Reset(OptionsOf(number));
    throw;
  }
  page->PinCount = 1;
  page->PageOffset = offset;
  return page;
}

void TIndexFile::ReadStoredPage(uint32_t offset, uint8_t* image) {
  std::memset(image, 0, kPageSize);
  Seek(offset, 0);
  Read(image, kPageSize, true);
  if (FOwner.Scrambled()) ScrambleBlock(image, kPageSize, kBlockKey1, kBlockKey2);
}

void TIndexFile::ReleasePage(TPage* page) {
  if (page != nullptr && page->PinCount > 0) --page->PinCount;
}

TPage* TIndexFile::AllocatePage() {
  TIndexDescriptor& desc = FHeader.Descriptors[FCurrentIndex];
  // Free pages of the index are reused before the file grows.
  bool fromFreeList = desc.FreePage != 0 && desc.FreePage != FHeader.EndOfFile;
  uint32_t offset = fromFreeList ? desc.FreePage : FHeader.EndOfFile;
  TPage* page = GetPage(offset, true);
  if (page == nullptr) RaiseTable(kErrPageBuffersCorrupt);
  uint32_t next = fromFreeList ? page->NextPage : 0;
  if (next % kPageSize != 0 || next >= FHeader.EndOfFile || next == offset) {
    ReleasePage(page);
    RaiseTable(kErrPageBuffersCorrupt);
  }
  desc.FreePage = next;
  FHeader.HeaderModified = true;
  uint16_t pins = page->PinCount;
  page->Reset(OptionsOf(FCurrentIndex));
  page->PageOffset = offset;
  page->PinCount = pins;
  return page;
}

void TIndexFile::ReleasePageToFreeList(TPage& page) {
  TIndexDescriptor& desc = FHeader.Descriptors[FCurrentIndex];
  uint32_t head = desc.FreePage == FHeader.EndOfFile ? 0 : desc.FreePage;
  page.NextPage = head;
  page.Freed = true;
  page.Modified = true;
  desc.FreePage = page.PageOffset;
  FHeader.HeaderModified = true;
}

void TIndexFile::WritePage(const TPage& page) {
  page.EncodePage(FImage.data(), FOwner.TableFileName());
  if (FOwner.Scrambled()) ScrambleBlock(FImage.data(), kPageSize, kBlockKey1, kBlockKey2);
  Seek(page.PageOffset, 0);
  Write(FImage.data(), kPageSize);
}

bool TIndexFile::FlushPages() {
  std::vector<TPage*> dirty;
  for (int number = 0; number < TIndexHeader::kDescriptorCount; ++number) {
    if (number > FHeader.SecondaryCount && number != kSysDeletedIndex) continue;
    for (const auto& page : FCaches[static_cast<size_t>(number)]) {
      if (page->Modified && page->PinCount == 0 && page->PageOffset != 0) dirty.push_back(page.get());
    }
  }
  if (dirty.empty()) return false;
  std::sort(dirty.begin(), dirty.end(),
            [](const TPage* a, const TPage* b) { return a->PageOffset < b->PageOffset; });
  std::vector<uint8_t> run;
  size_t first = 0;
  while (first < dirty.size()) {
    size_t last = first;
    while (last + 1 < dirty.size() && dirty[last + 1]->PageOffset == dirty[last]->PageOffset + kPageSize) {
      ++last;
    }
    run.assign((last - first + 1) * kPageSize, 0);
    for (size_t i = first; i <= last; ++i) {
      uint8_t* image = run.data() + (i - first) * kPageSize;
      dirty[i]->EncodePage(image, FOwner.TableFileName());
      if (FOwner.Scrambled()) ScrambleBlock(image, kPageSize, kBlockKey1, kBlockKey2);
    }
    Seek(dirty[first]->PageOffset, 0);
    Write(run.data(), static_cast<int32_t>(run.size()));
    for (size_t i = first; i <= last; ++i) dirty[i]->Modified = false;
    first = last + 1;
  }
  return true;
}

void TIndexFile::FlushOnePage() {
  TPageList& list = FCaches[FCurrentIndex];
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    TPage& page = **it;
    if (page.Modified && page.PinCount == 0 && page.PageOffset != 0) {
      WritePage(page);
      page.Modified = false;
      return;
    }
  }
}

void TIndexFile::InvalidatePages() {
  // The cursor's page goes with the rest; the table puts the cursor back on its record.
  FCurrentPage = nullptr;
  FLiveKept = false;
  for (int number = 0; number < static_cast<int>(FCaches.size()); ++number) {
    for (auto& page : FCaches[static_cast<size_t>(number)]) {
      page->Reset(number < TIndexHeader::kDescriptorCount ? OptionsOf(static_cast<uint8_t>(number))
                                                          : TPageOptions());
    }
  }
}

void TIndexFile::UnpinAllPages() {
  for (auto& list : FCaches) {
    for (auto& page : list) page->PinCount = 0;
  }
}

void TIndexFile::TrimPageCaches() {
  for (size_t number = 0; number < FCaches.size(); ++number) {
    TPageList& list = FCaches[number];
    // Only clean, unpinned buffers go; a trim never loses a change.
    for (size_t i = list.size(); i-- > 0 && list.size() > static_cast<size_t>(kDefaultCacheRoom);) {
      if (!list[i]->Modified && list[i]->PinCount == 0) list.erase(list.begin() + static_cast<long>(i));
    }
    FCacheRoom[number] = std::max<int>(kDefaultCacheRoom, static_cast<int>(list.size()));
  }
}

void TIndexFile::FreeAllPages() {
  FCurrentPage = nullptr;
  for (auto& list : FCaches) list.clear();
  FCacheRoom.fill(kDefaultCacheRoom);
}

}  // namespace tarnel
