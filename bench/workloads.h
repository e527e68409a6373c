// What the benchmark asks of an engine under test: the same workloads on the same table, each in
// the mode the engine offers for it. Exclusive work runs in one transaction (TARNEL: the table
// opened exclusively; SQLite: locking_mode=EXCLUSIVE inside BEGIN ... COMMIT); shared work runs
// change by change (TARNEL: the table opened shared, every change flushed; SQLite: autocommit).
// Every workload answers a checksum of what it read or how much it changed, so that the two
// engines are seen to have done the same work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel::bench {

struct TDateRange {
  int32_t First = 0;
  int32_t Last = 0;
};

// The filter `Number = Value AND Name LIKE 'Letter%'`.
struct TFilterCase {
  int32_t Value = 0;
  char Letter = 'a';
};

class TEngineUnderTest {
 public:
  virtual ~TEngineUnderTest() = default;

  // Creates the table (dropping an older one) and inserts records [0, count), exclusively.
  virtual uint64_t BulkInsert(int64_t count) = 0;
  // Inserts records [first, first + count), each a change of its own, in shared mode.
  virtual uint64_t SharedInserts(int64_t first, int64_t count) = 0;
  // Finds records by identifier (primary key) and reads their fields, in shared mode.
  virtual uint64_t LookupsById(const std::vector<int32_t>& ids) = 0;
  // Finds records by name (the case-insensitive secondary index) and reads their fields.
  virtual uint64_t LookupsByName(const std::vector<int64_t>& records) = 0;
  // Reads every record with every field, the memo included, in name order.
  virtual uint64_t ScanByName() = 0;
  // Counts the records of each date range and reads the 500th of them in date order.
  virtual uint64_t CountRanges(const std::vector<TDateRange>& ranges) = 0;
  // Counts the records that pass each filter.
  virtual uint64_t CountFilters(const std::vector<TFilterCase>& filters) = 0;
  // Finds records by name and changes their integer and text, exclusively.
  virtual uint64_t ModifyByName(const std::vector<int64_t>& records) = 0;
  // Finds records by identifier and deletes them, exclusively.
  virtual uint64_t DeleteById(const std::vector<int32_t>& ids) = 0;
  // Reads the whole memo of records found by identifier, in shared mode.
  virtual uint64_t ReadMemos(const std::vector<int32_t>& ids) = 0;
  // Replaces the memo of records found by identifier, each a change of its own, in shared mode.
  virtual uint64_t WriteMemos(const std::vector<int32_t>& ids) = 0;
  // Every record with every field in identifier order (for the final comparison, not timed).
  virtual uint64_t ChecksumAll() = 0;
};

}  // namespace tarnel::bench
