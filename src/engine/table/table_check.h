// The verification of a whole table against everything its three files promise: the data
// file's header, its records and their free list; the index file's header, every B+tree (its
// pages, order, counts, links, compression and free pages) and exactly the keys of the live
// records in every index and one "Sys Deleted" entry per slot; the BLOB file's header, every BLOB
// chain and the free list; and every index page and BLOB block accounted for. The check reports
// what it finds and changes nothing, so that any program can verify a table.
//
// REQUIRES: the table is open, with RepairMode set so that opening did not walk a damaged tree.
// The check holds the table's read lock (nothing when the table is exclusive) while it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnel {

class TDataFile;

struct TTableProblem {
  std::string File;      // the file's name
  std::string Location;  // "header", "record 12", "record 12, field Notes", "index ByName", ...
  std::string Text;
};

struct TTableCheckReport {
  static constexpr size_t kMaxProblems = 1000;

  std::vector<TTableProblem> Problems;  // the first kMaxProblems found
  int64_t MoreProblems = 0;             // found beyond those
  int32_t Slots = 0;                    // record slots checked
  int32_t Records = 0;                  // live records among them
  int Indexes = 0;                      // trees checked, "Sys Deleted" included
  int64_t Keys = 0;                     // index entries compared with the records
  int Pages = 0;                        // index pages in the trees
  int64_t BlobBlocks = 0;               // BLOB blocks in chains

  bool Clean() const { return Problems.empty(); }
};

TTableCheckReport CheckTable(TDataFile& table);

}  // namespace tarnel
