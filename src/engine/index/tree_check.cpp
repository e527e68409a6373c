#include "engine/index/tree_check.h"

#include <set>

#include "engine/base/errors.h"
#include "engine/index/index_file.h"

namespace tarnel {

namespace {

class TTreeWalker {
 public:
  TTreeWalker(TIndexFile& file, bool collect, TTreeReport& report)
      : FFile(file), FCollect(collect), FReport(report) {}

  void Walk(uint32_t root) {
    FLevels.clear();
    std::vector<uint8_t> lowest;
    uint32_t count = 0;
    Visit(root, 0, true, lowest, count);
    FReport.LeafEntries = count;
    CheckChains();
  }

  const std::set<uint32_t>& Seen() const { return FSeen; }

  void Problem(const std::string& text) {
    if (FReport.Problems.size() < 1000) FReport.Problems.push_back(text);
  }

 private:
  std::string Where(uint32_t offset) const { return "page " + std::to_string(offset) + ": "; }

  // Visits the subtree at `offset`; answers its lowest key and its number of leaf entries.
  bool Visit(uint32_t offset, int depth, bool isRoot, std::vector<uint8_t>& lowest, uint32_t& count) {
    if (offset == 0 || offset % kPageSize != 0 || offset >= FFile.Header().EndOfFile) {
      Problem("page reference " + std::to_string(offset) + " outside the file");
      return false;
    }
    if (!FSeen.insert(offset).second) {
      Problem(Where(offset) + "reached twice");
      return false;
    }
    if (depth > 64) {
      Problem(Where(offset) + "tree deeper than 64 levels");
      return false;
    }
    // A page the tree refers to belongs to it, even when it cannot be read.
    FReport.TreePages.push_back(offset);
    TPage* page = nullptr;
    try {
      page = FFile.GetPage(offset, false);
    } catch (const EDBEngineError& error) {
      Problem(Where(offset) + error.what());
      return false;
    }
    if (page == nullptr) {
      Problem(Where(offset) + "could not be read");
      return false;
    }
    ++FReport.Pages;
    if (static_cast<int>(FLevels.size()) <= depth) FLevels.resize(static_cast<size_t>(depth) + 1);
    FLevels[static_cast<size_t>(depth)].push_back({offset, page->PrevPage, page->NextPage});
    uint16_t keyLength = page->KeyLength();
    bool ok = CheckPage(*page, isRoot);
    count = 0;
    if (page->EntryCount > 0) lowest.assign(page->Key(1), page->Key(1) + keyLength);
    if (page->IsLeaf()) {
      if (FLeafDepth < 0) FLeafDepth = depth;
      if (depth != FLeafDepth) Problem(Where(offset) + "leaf at depth " + std::to_string(depth) +
                                       ", other leaves at " + std::to_string(FLeafDepth));
      count = page->EntryCount;
      if (FCollect) {
        for (int entry = 1; entry <= page->EntryCount; ++entry) {
          FReport.Entries.emplace_back(std::vector<uint8_t>(page->Key(entry), page->Key(entry) + keyLength),
                                       page->Value(entry));
        }
      }
      FFile.ReleasePage(page);
      FReport.Depth = depth + 1;
      return ok;
    }
    // The entries are copied before descending: the child visits may reuse the page's buffer.
    struct TEntry {
      std::vector<uint8_t> Key;
      uint32_t Child;
      uint32_t Count;
    };
    std::vector<TEntry> entries;
    for (int entry = 1; entry <= page->EntryCount; ++entry) {
      entries.push_back({std::vector<uint8_t>(page->Key(entry), page->Key(entry) + keyLength),
                         page->Value(entry), page->SubtreeCount(entry)});
    }
    FFile.ReleasePage(page);
    for (size_t i = 0; i < entries.size(); ++i) {
      std::vector<uint8_t> childLowest;
      uint32_t childCount = 0;
      if (!Visit(entries[i].Child, depth + 1, false, childLowest, childCount)) {
        ok = false;
        continue;
      }
      if (entries[i].Count != childCount) {
        Problem(Where(offset) + "entry " + std::to_string(i + 1) + " counts " + std::to_string(entries[i].Count) +
                " entries below, there are " + std::to_string(childCount));
        ok = false;
      }
      if (childLowest != entries[i].Key) {
        Problem(Where(offset) + "entry " + std::to_string(i + 1) + " does not hold the lowest key of page " +
                std::to_string(entries[i].Child));
        ok = false;
      }
      count += childCount;
    }
    return ok;
  }

  bool CheckPage(const TPage& page, bool isRoot) {
    uint32_t offset = page.PageOffset;
    bool ok = true;
    bool typeOk = isRoot ? (page.PageType == ptRootNode || page.PageType == ptRootLeaf)
                         : (page.PageType == ptNode || page.PageType == ptLeaf);
    if (!typeOk) {
      Problem(Where(offset) + "page type " + std::to_string(page.PageType) + (isRoot ? " for the root" : " below the root"));
      ok = false;
    }
    if (page.EntryCount == 0) {
      Problem(Where(offset) + "no entries");
      return false;
    }
    if (page.IsCompressedLeaf() ? page.UsedBytes > kPageDataSize : page.EntryCount > page.PageCapacity()) {
      Problem(Where(offset) + "holds more than a page may");
      ok = false;
    }
    for (int entry = 2; entry <= page.EntryCount; ++entry) {
      if (FFile.CompareKeys(page.Key(entry - 1), page.Key(entry), page.KeyLength()) >= 0) {
        Problem(Where(offset) + "entries " + std::to_string(entry - 1) + " and " + std::to_string(entry) +
                " out of order");
        ok = false;
        break;
      }
    }
    return CheckEncoding(page) && ok;
  }

  // A page the engine wrote holds exactly the encoding of its entries, with the prefix and trail
  // lengths the encoder computes; anything else was not written by it (or not completely).
  bool CheckEncoding(const TPage& page) {
    uint32_t offset = page.PageOffset;
    TPage canonical = page;
    canonical.RecomputeCompression();
    if (canonical.UsedBytes != page.UsedBytes) {
      Problem(Where(offset) + "used bytes " + std::to_string(page.UsedBytes) + ", its entries take " +
              std::to_string(canonical.UsedBytes));
      return false;
    }
    for (int entry = 1; entry <= page.EntryCount; ++entry) {
      if (canonical.PrefixLength(entry) != page.PrefixLength(entry) ||
          canonical.TrailLength(entry) != page.TrailLength(entry)) {
        Problem(Where(offset) + "entry " + std::to_string(entry) + " compressed with prefix " +
                std::to_string(page.PrefixLength(entry)) + " and trail " + std::to_string(page.TrailLength(entry)) +
                ", expected " + std::to_string(canonical.PrefixLength(entry)) + " and " +
                std::to_string(canonical.TrailLength(entry)));
        return false;
      }
    }
    if (page.Modified) return true;  // not written yet: the file holds an older image
    std::vector<uint8_t> stored(kPageSize);
    std::vector<uint8_t> encoded(kPageSize);
    FFile.ReadStoredPage(offset, stored.data());
    try {
      page.EncodePage(encoded.data(), FFile.FileName());
    } catch (const EDBEngineError& error) {
      Problem(Where(offset) + error.what());
      return false;
    }
    if (stored != encoded) {
      Problem(Where(offset) + "stored bytes differ from the encoding of its entries");
      return false;
    }
    return true;
  }

  void CheckChains() {
    for (size_t depth = 0; depth < FLevels.size(); ++depth) {
      const auto& level = FLevels[depth];
      for (size_t i = 0; i < level.size(); ++i) {
        uint32_t previous = i == 0 ? 0 : level[i - 1].Offset;
        uint32_t next = i + 1 == level.size() ? 0 : level[i + 1].Offset;
        if (level[i].Prev != previous || level[i].Next != next) {
          Problem(Where(level[i].Offset) + "sibling links " + std::to_string(level[i].Prev) + "/" +
                  std::to_string(level[i].Next) + ", expected " + std::to_string(previous) + "/" + std::to_string(next));
        }
      }
    }
  }

  struct TLevelPage {
    uint32_t Offset;
    uint32_t Prev;
    uint32_t Next;
  };

  TIndexFile& FFile;
  bool FCollect;
  TTreeReport& FReport;
  std::set<uint32_t> FSeen;
  std::vector<std::vector<TLevelPage>> FLevels;
  int FLeafDepth = -1;
};

}  // namespace

TTreeReport CheckTree(TIndexFile& file, uint8_t number, bool collectEntries) {
  TTreeReport report;
  file.SelectIndex(number);
  TTreeWalker walker(file, collectEntries, report);
  const TIndexDescriptor& desc = file.GetDescriptor(number);
  if (desc.RootPage != 0) walker.Walk(desc.RootPage);
  // The free list: pages of this index that no tree page may be.
  std::set<uint32_t> free;
  uint32_t offset = desc.FreePage;
  while (offset != 0) {
    if (offset % kPageSize != 0 || offset >= file.Header().EndOfFile) {
      walker.Problem("free page reference " + std::to_string(offset) + " outside the file");
      break;
    }
    if (!free.insert(offset).second) {
      walker.Problem("free list of index " + std::to_string(number) + " loops at page " + std::to_string(offset));
      break;
    }
    if (walker.Seen().count(offset)) walker.Problem("page " + std::to_string(offset) + " is free and in the tree");
    report.FreeList.push_back(offset);
    TPage* page = nullptr;
    try {
      page = file.GetPage(offset, true);
    } catch (const EDBEngineError& error) {
      walker.Problem("free page " + std::to_string(offset) + ": " + error.what());
      break;
    }
    if (page == nullptr) break;
    offset = page->NextPage;
    file.ReleasePage(page);
  }
  report.FreePages = static_cast<int>(free.size());
  return report;
}

}  // namespace tarnel
