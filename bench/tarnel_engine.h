// The workloads on a TARNEL table: BENCH.DAT, .IDX and .BLB in the benchmark's directory, with a
// primary index on the auto-increment identifier and secondary indexes on the integer, on the
// name (case-insensitive) and on the date.
#pragma once

#include <string>

#include "bench_data.h"
#include "workloads.h"

namespace tarnel::bench {

class TTarnelEngine : public TEngineUnderTest {
 public:
  TTarnelEngine(const std::string& directory, int64_t tableSize);

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
  std::string FTableName;
  TRecordSource FSource;
  int64_t FMemoRewrites = 0;
};

}  // namespace tarnel::bench
