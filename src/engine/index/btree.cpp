// The B+tree of the current index: searches inside a page, descent from the root, inserting
// with splits and deleting with merges and redistribution. Interior entries carry the number of
// leaf entries below them, which every update keeps exact.
#include <array>
#include <cstring>
#include <vector>

#include "engine/base/errors.h"
#include "engine/index/index_file.h"

namespace tarnel {

namespace {

// No tree is this deep; a damaged file whose pages point back up must not loop.
constexpr int kMaxDepth = 64;

}  // namespace

TIndexFile::TPinnedPages::~TPinnedPages() {
  for (size_t i = 0; i < FCount; ++i) FFile.ReleasePage(FPages[i]);
  for (TPage* page : FMore) FFile.ReleasePage(page);
}

void TIndexFile::TPinnedPages::Hold(TPage* page) {
  if (FCount < FPages.size()) {
    FPages[FCount++] = page;
  } else {
    FMore.push_back(page);
  }
}

TPage& TIndexFile::TPinnedPages::Get(uint32_t offset) {
  TPage* page = offset == 0 ? nullptr : FFile.GetPage(offset, false);
  if (page == nullptr) FFile.RaiseTable(kErrPageBuffersCorrupt);
  Hold(page);
  return *page;
}

TPage& TIndexFile::TPinnedPages::Allocate() {
  TPage* page = FFile.AllocatePage();
  Hold(page);
  return *page;
}

// The searches of one page:
//   InsertPosition  the equal entry, else the last entry below the key, else 0
//   Descent         the equal entry, else the last entry below the key, else 1
//   Nearest         in interior pages as Descent; in a leaf the equal entry, else the first entry
//                   above the key, else the last entry
int TIndexFile::SearchPage(const TPage& page, const uint8_t* key, int length, TSearch search,
                           bool* found) const {
  int count = page.EntryCount;
  if (count == 0) RaiseTable(kErrPageBuffersCorrupt);
  bool leafNearest = search == TSearch::Nearest && page.IsLeaf();
  int low = 1;
  int high = count;
  int position = search == TSearch::InsertPosition ? 0 : 1;
  *found = false;
  while (high >= low) {
    int middle = (low + high) / 2;
    position = middle;
    int order = CompareKeys(page.Key(middle), key, length);
    if (order < 0) {
      low = middle + 1;
      if (leafNearest && high < low && low <= count) position = low;
    } else if (order == 0) {
      *found = true;
      break;
    } else {
      high = middle - 1;
      bool keepMiddle = leafNearest || (search != TSearch::InsertPosition && middle == 1);
      if (high < low && !keepMiddle) position = high;
    }
  }
  return position;
}

bool TIndexFile::KeyExists(const uint8_t* key) {
  if (RootPage() == 0) return false;
  TPinnedPages pages(*this);
  TPage* page = &pages.Get(RootPage());
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    bool found;
    int position = SearchPage(*page, key, FCurrent.KeyLength, TSearch::Descent, &found);
    page->WritePos = static_cast<uint16_t>(position);
    if (page->IsLeaf()) return found;
    page = &pages.Get(page->Value(position));
  }
  RaiseTable(kErrPageBuffersCorrupt);
}

void TIndexFile::CheckDuplicate(const uint8_t* key) {
  if ((FCurrentIndex == kPrimaryIndex || FCurrent.Unique) && KeyExists(key)) {
    RaiseIndex(kErrDuplicateKey, MessageIndexName());
  }
}

void TIndexFile::InsertKey(const uint8_t* key, uint32_t recordNo) {
  TPinnedPages pages(*this);
  if (RootPage() == 0) {
    TPage& page = pages.Allocate();
    page.PageType = ptRootLeaf;
    page.InsertEntry(1, key, recordNo, 0);
    RootPage() = page.PageOffset;
    FHeader.HeaderModified = true;
    return;
  }
  // The path is found first and changed only once the key is known to be new, so that a key that
  // is already there leaves the counts as they were.
  std::array<TPage*, static_cast<size_t>(kMaxDepth)> path{};
  size_t depth = 0;
  TPage* page = &pages.Get(RootPage());
  page->ParentPage = 0;
  while (!page->IsLeaf()) {
    if (depth >= path.size()) RaiseTable(kErrPageBuffersCorrupt);
    bool found;
    int position = SearchPage(*page, key, FCurrent.KeyLength, TSearch::InsertPosition, &found);
    page->WritePos = static_cast<uint16_t>(position);
    path[depth++] = page;
    TPage& child = pages.Get(page->Value(position == 0 ? 1 : position));
    child.ParentPage = page->PageOffset;
    page = &child;
  }
  bool found;
  int position = SearchPage(*page, key, FCurrent.KeyLength, TSearch::InsertPosition, &found);
  if (found) RaiseIndex(kErrDuplicateKey, MessageIndexName());
  for (size_t level = 0; level < depth; ++level) {
    TPage* interior = path[level];
    int followed = interior->WritePos == 0 ? 1 : interior->WritePos;
    interior->SetSubtreeCount(followed, interior->SubtreeCount(followed) + 1);
    interior->Modified = true;
  }
  page->WritePos = static_cast<uint16_t>(position);
  InsertIntoPage(pages, *page, key, recordNo, 0);
}

void TIndexFile::InsertIntoPage(TPinnedPages& pages, TPage& page, const uint8_t* key, uint32_t value,
                                uint32_t count) {
  int position = page.WritePos + 1;
  page.InsertEntry(position, key, value, count);
  page.WritePos = static_cast<uint16_t>(position);
  PropagateFirstKey(pages, page);
  if (!page.Overflows()) return;
  bool wasRoot = page.IsRoot();
  TPage& right = pages.Allocate();
  SplitPage(pages, page, right);
  if (wasRoot) {
    TPage& root = pages.Allocate();
    root.PageType = ptRootNode;
    root.InsertEntry(1, page.Key(1), page.PageOffset, page.CountBelow());
    root.InsertEntry(2, right.Key(1), right.PageOffset, right.CountBelow());
    RootPage() = root.PageOffset;
    FHeader.HeaderModified = true;
    page.ParentPage = root.PageOffset;
    right.ParentPage = root.PageOffset;
    return;
  }
  if (page.ParentPage == 0) RaiseTable(kErrPageBuffersCorrupt);
  TPage& parent = pages.Get(page.ParentPage);
  parent.SetSubtreeCount(parent.WritePos, page.CountBelow());
  parent.Modified = true;
  InsertIntoPage(pages, parent, right.Key(1), right.PageOffset, right.CountBelow());
}

void TIndexFile::PropagateFirstKey(TPinnedPages& pages, TPage& page) {
  TPage* child = &page;
  for (int depth = 0; child->WritePos == 1 && child->ParentPage != 0; ++depth) {
    if (depth >= kMaxDepth) RaiseTable(kErrPageBuffersCorrupt);
    TPage& parent = pages.Get(child->ParentPage);
    if (parent.WritePos == 0) parent.WritePos = 1;
    parent.SetKey(parent.WritePos, child->Key(1));
    child = &parent;
  }
}

void TIndexFile::SplitPage(TPinnedPages& pages, TPage& left, TPage& right) {
  int count = left.EntryCount;
  int moved = count / 2;
  bool leaf = left.IsLeaf();
  left.PageType = leaf ? ptLeaf : ptNode;
  right.PageType = left.PageType;
  left.MoveEntriesTo(count - moved + 1, moved, right, 1);
  right.NextPage = left.NextPage;
  if (left.NextPage != 0) {
    TPage& next = pages.Get(left.NextPage);
    next.PrevPage = right.PageOffset;
    next.Modified = true;
  }
  left.NextPage = right.PageOffset;
  right.PrevPage = left.PageOffset;
  right.ParentPage = left.ParentPage;
  left.Modified = true;
  right.Modified = true;
  if (!left.IsCompressedLeaf()) return;
  // Compressed halves are balanced by their bytes, not their entries.
  while (right.UsedBytes > kPageDataSize && right.EntryCount > 1) {
    right.MoveEntriesTo(1, 1, left, left.EntryCount + 1);
  }
  while (left.UsedBytes > kPageDataSize && left.EntryCount > 1) {
    left.MoveEntriesTo(left.EntryCount, 1, right, 1);
  }
  if (left.UsedBytes > kPageDataSize || right.UsedBytes > kPageDataSize) RaiseTable(kErrPageBuffersCorrupt);
}

void TIndexFile::DeleteKey(const uint8_t* key) {
  if (!KeyExists(key)) RaiseIndex(kErrKeyNotFound, MessageIndexName());
  TPinnedPages pages(*this);
  TPage* page = &pages.Get(RootPage());
  page->ParentPage = 0;
  for (int depth = 0; !page->IsLeaf(); ++depth) {
    if (depth >= kMaxDepth) RaiseTable(kErrPageBuffersCorrupt);
    bool found;
    int position = SearchPage(*page, key, FCurrent.KeyLength, TSearch::Descent, &found);
    page->WritePos = static_cast<uint16_t>(position);
    page->SetSubtreeCount(position, page->SubtreeCount(position) - 1);
    page->Modified = true;
    TPage& child = pages.Get(page->Value(position));
    child.ParentPage = page->PageOffset;
    page = &child;
  }
  bool found;
  int position = SearchPage(*page, key, FCurrent.KeyLength, TSearch::Descent, &found);
  if (!found) RaiseTable(kErrPageBuffersCorrupt);
  page->WritePos = static_cast<uint16_t>(position);
  RemoveFromPage(pages, *page);
}

void TIndexFile::ReplaceKey(const uint8_t* oldKey, const uint8_t* newKey, uint32_t recordNo) {
  DeleteKey(oldKey);
  InsertKey(newKey, recordNo);
}

void TIndexFile::Unlink(TPinnedPages& pages, TPage& page) {
  if (page.PrevPage != 0) {
    TPage& previous = pages.Get(page.PrevPage);
    previous.NextPage = page.NextPage;
    previous.Modified = true;
  }
  if (page.NextPage != 0) {
    TPage& next = pages.Get(page.NextPage);
    next.PrevPage = page.PrevPage;
    next.Modified = true;
  }
}

void TIndexFile::RemoveFromPage(TPinnedPages& pages, TPage& page) {
  page.RemoveEntry(page.WritePos);
  if (page.WritePos > page.EntryCount) page.WritePos = page.EntryCount;
  if (page.EntryCount > 0) PropagateFirstKey(pages, page);

  if (page.IsCompressedLeaf()) {
    // Compressed leaves are neither merged nor shared out; they go only when empty.
    if (page.EntryCount > 0) return;
    if (page.ParentPage == 0) {
      ReleasePageToFreeList(page);
      RootPage() = 0;
      FHeader.HeaderModified = true;
      return;
    }
    Unlink(pages, page);
    ReleasePageToFreeList(page);
    RemoveFromPage(pages, pages.Get(page.ParentPage));
    return;
  }

  if (page.ParentPage == 0) {
    // The root: an empty root goes, and an interior root with a single child hands the root over
    // to it (also where pages hold so few entries that one entry is not too few).
    if (page.EntryCount == 0) {
      ReleasePageToFreeList(page);
      RootPage() = 0;
      FHeader.HeaderModified = true;
    } else if (page.PageType == ptRootNode && page.EntryCount == 1) {
      uint32_t only = page.Value(1);
      ReleasePageToFreeList(page);
      RootPage() = only;
      FHeader.HeaderModified = true;
      TPage& child = pages.Get(only);
      child.PageType = child.IsLeaf() ? ptRootLeaf : ptRootNode;
      child.ParentPage = 0;
      child.PrevPage = 0;
      child.NextPage = 0;
      child.Modified = true;
    }
    return;
  }
  int capacity = page.PageCapacity();
  if (page.EntryCount >= capacity / 2) return;

  TPage& parent = pages.Get(page.ParentPage);
  int at = parent.WritePos;
  int siblings = parent.EntryCount;
  // The only child of its parent has no sibling under that parent (this happens only with
  // pages of at most three entries). It stays as it is while it holds entries; once empty it is
  // taken out of its parent. Either way every count stays exact and no other parent's entries
  // are touched.
  if (siblings <= 1) {
    if (page.EntryCount > 0) return;
    Unlink(pages, page);
    ReleasePageToFreeList(page);
    RemoveFromPage(pages, parent);
    return;
  }
  int total = page.EntryCount;
  if (at > 1) {
    if (page.PrevPage == 0 || parent.Value(at - 1) != page.PrevPage) RaiseTable(kErrPageBuffersCorrupt);
    TPage& left = pages.Get(page.PrevPage);
    total += left.EntryCount;
    if (total < capacity) {
      page.MoveEntriesTo(1, page.EntryCount, left, left.EntryCount + 1);
      Unlink(pages, page);
      ReleasePageToFreeList(page);
      parent.SetSubtreeCount(at - 1, left.CountBelow());
      parent.WritePos = static_cast<uint16_t>(at);
      RemoveFromPage(pages, parent);
    } else {
      int leftKeeps = (total + 1) / 2;
      left.MoveEntriesTo(leftKeeps + 1, left.EntryCount - leftKeeps, page, 1);
      parent.SetKey(at, page.Key(1));
      parent.SetSubtreeCount(at, page.CountBelow());
      parent.SetSubtreeCount(at - 1, left.CountBelow());
    }
    return;
  }
  if (page.NextPage == 0 || parent.Value(2) != page.NextPage) RaiseTable(kErrPageBuffersCorrupt);
  TPage& right = pages.Get(page.NextPage);
  total += right.EntryCount;
  if (total < capacity) {
    page.MoveEntriesTo(1, page.EntryCount, right, 1);
    Unlink(pages, page);
    ReleasePageToFreeList(page);
    parent.SetKey(2, right.Key(1));
    parent.SetSubtreeCount(2, right.CountBelow());
    parent.WritePos = 1;
    RemoveFromPage(pages, parent);
  } else {
    int pageKeeps = total / 2;
    right.MoveEntriesTo(1, pageKeeps - page.EntryCount, page, page.EntryCount + 1);
    parent.SetSubtreeCount(1, page.CountBelow());
    parent.SetKey(2, right.Key(1));
    parent.SetSubtreeCount(2, right.CountBelow());
    // A page that had become empty now starts with the entries it received: its first key is
    // new, and so is the lowest key of the parent's subtree.
    parent.SetKey(1, page.Key(1));
    parent.WritePos = 1;
    PropagateFirstKey(pages, parent);
  }
  parent.Modified = true;
}

}  // namespace tarnel
