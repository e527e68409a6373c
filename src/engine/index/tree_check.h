// A full check of one index's B+tree and free list: page types, key order, the keys and counts
// of interior entries, capacities, sibling chains on every level, the compression of every leaf
// (prefix and trail lengths as the encoder computes them, and the stored bytes exactly the
// encoding of the decoded entries), and free pages that are not also in the tree. Used by the
// verification of tables and by tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarnel {

class TIndexFile;

struct TTreeReport {
  std::vector<std::string> Problems;
  // The leaf entries in index order (key, record number), when asked for.
  std::vector<std::pair<std::vector<uint8_t>, uint32_t>> Entries;
  // The pages of the tree and of the free list, for accounting for every page of the file.
  std::vector<uint32_t> TreePages;
  std::vector<uint32_t> FreeList;
  uint32_t LeafEntries = 0;
  int Pages = 0;
  int FreePages = 0;
  int Depth = 0;
};

// Checks index `number` (which becomes the current index). The pages are read through the
// index's cache; the caller holds a lock that keeps other programs from changing the file.
TTreeReport CheckTree(TIndexFile& file, uint8_t number, bool collectEntries);

}  // namespace tarnel
