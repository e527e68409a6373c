// The workloads on an SQLite database with the equivalent table: an AUTOINCREMENT identifier
// (never reused, as TARNEL's auto-increment), indexes on the integer, on the name (the column
// collates NOCASE) and on the date, and the memo as TEXT. Statements are prepared once per
// workload; synchronous=OFF matches TARNEL, which writes changes without waiting for the disk,
// and case_sensitive_like=ON gives LIKE TARNEL's case-sensitive meaning.
#pragma once

#include <string>

#include "bench_data.h"
#include "workloads.h"

struct sqlite3;

namespace tarnel::bench {

class TSqliteEngine : public TEngineUnderTest {
 public:
  TSqliteEngine(const std::string& directory, int64_t tableSize);

  uint64_t BulkInsert(int64_t count) override;
  uint64_t SharedInserts(int64_t first, int64_t count) override;
  uint64_t LookupsById(const std::vector<int32_t>& ids) override;
  uint64_t LookupsByName(const std::vector<int64_t>& records) override;
  uint64_t ScanByName() override;
  uint64_t CountRanges(const std::vector<TDateRange>& ranges) override;
  uint64_t CountFilters(const std::vector<TFilterCase>& filters) override;
  uint64_t ModifyByName(const std::vector<int64_t>& records) override;
  uint64_t DeleteById(const std::vector<int32_t>& ids) override;
  uint64_t ReadMemos(const std::vector<int32_t>& ids) override;
  uint64_t WriteMemos(const std::vector<int32_t>& ids) override;
  uint64_t ChecksumAll() override;

 private:
  std::string FPath;
  TRecordSource FSource;
  int64_t FMemoRewrites = 0;
};

}  // namespace tarnel::bench
