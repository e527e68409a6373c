// TARNEL against SQLite: the same table and data in both engines, every workload run for one
// engine and then for the other in the same process, and a table of both times, their ratio
// and the memory each took. Read-only workloads run three times and keep the best time.
//
//   engine_bench [--sizes=10000,1000000] [--dir=DIRECTORY] [--keep] [Google Benchmark flags]
//
// With --keep the tables stay in DIRECTORY after the run, and a later run with --keep on the same
// directory uses them instead of running the bulk insert first (for looking at one workload).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "engine/base/session.h"
#include "memory_probe.h"
#include "sqlite_engine.h"
#include "tarnel_engine.h"

namespace tarnel::bench {

namespace {

constexpr int kLookups = 20000;
constexpr int kRanges = 200;
constexpr int kFilters = 200;
constexpr int kMemoReads = 10000;
constexpr int kMemoWrites = 1000;
constexpr int kSharedInserts = 1000;
constexpr int kReadRepetitions = 3;
constexpr const char* kEngineNames[] = {"tarnel", "sqlite"};

// The inputs of the workloads on a table of one size, the same for both engines.
struct TInputs {
  explicit TInputs(int64_t size) : Size(size), Source(size) {
    for (int k = 0; k < kLookups; ++k) {
      LookupIds.push_back(static_cast<int32_t>(Mix(static_cast<uint64_t>(k) ^ 0xA1) % static_cast<uint64_t>(size)) + 1);
      LookupNames.push_back(static_cast<int64_t>(Mix(static_cast<uint64_t>(k) ^ 0xB2) % static_cast<uint64_t>(size)));
    }
    for (int k = 0; k < kRanges; ++k) {
      // A tenth of the dates, and so about a tenth of the records.
      int32_t first = kFirstDay + static_cast<int32_t>(Mix(static_cast<uint64_t>(k) ^ 0xC3) % (kDaySpan - kDaySpan / 10));
      Ranges.push_back({first, first + kDaySpan / 10 - 1});
    }
    for (int k = 0; k < kFilters; ++k) {
      uint64_t h = Mix(static_cast<uint64_t>(k) ^ 0xD4);
      Filters.push_back({static_cast<int32_t>(h % static_cast<uint64_t>(Source.DistinctNumbers())),
                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[(h >> 32) % 52]});
    }
    for (int k = 0; k < kMemoReads; ++k) {
      MemoReadIds.push_back(static_cast<int32_t>(Mix(static_cast<uint64_t>(k) ^ 0xE5) % static_cast<uint64_t>(size)) + 1);
    }
    for (int k = 0; k < kMemoWrites; ++k) {
      MemoWriteIds.push_back(static_cast<int32_t>(Mix(static_cast<uint64_t>(k) ^ 0xF6) % static_cast<uint64_t>(size)) + 1);
    }
    for (int64_t k = 0; k < size / 10; ++k) {
      Modified.push_back(Scattered(k, size, 1));
      DeletedIds.push_back(static_cast<int32_t>(Scattered(k, size, 2)) + 1);
    }
  }

  int64_t Size;
  TRecordSource Source;
  std::vector<int32_t> LookupIds;
  std::vector<int64_t> LookupNames;
  std::vector<TDateRange> Ranges;
  std::vector<TFilterCase> Filters;
  std::vector<int32_t> MemoReadIds;
  std::vector<int32_t> MemoWriteIds;
  std::vector<int64_t> Modified;
  std::vector<int32_t> DeletedIds;
};

struct TWorkload {
  const char* Number;
  const char* Slug;
  const char* Title;
  bool ReadOnly;
  std::function<int64_t(const TInputs&)> Operations;
  std::function<uint64_t(TEngineUnderTest&, const TInputs&)> Run;
};

// In the order they run: reads first, on the table as the bulk insert left it, then the changes.
const std::vector<TWorkload>& Workloads() {
  static const std::vector<TWorkload> workloads = {
      {"1", "bulk_insert", "bulk insert, exclusive", false, [](const TInputs& in) { return in.Size; },
       [](TEngineUnderTest& e, const TInputs& in) { return e.BulkInsert(in.Size); }},
      {"3a", "lookup_by_id", "point lookups by primary key", true,
       [](const TInputs& in) { return static_cast<int64_t>(in.LookupIds.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.LookupsById(in.LookupIds); }},
      {"3b", "lookup_by_name", "point lookups by secondary key (name)", true,
       [](const TInputs& in) { return static_cast<int64_t>(in.LookupNames.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.LookupsByName(in.LookupNames); }},
      {"4", "scan_by_name", "full scan in name order, every field", true, [](const TInputs& in) { return in.Size; },
       [](TEngineUnderTest& e, const TInputs&) { return e.ScanByName(); }},
      {"5", "count_range_and_move", "count a 10 % date range, go to its 500th", true,
       [](const TInputs& in) { return static_cast<int64_t>(in.Ranges.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.CountRanges(in.Ranges); }},
      {"6", "filter_count", "count Number = c AND Name LIKE 'x%'", true,
       [](const TInputs& in) { return static_cast<int64_t>(in.Filters.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.CountFilters(in.Filters); }},
      {"8a", "memo_read", "memo read by primary key", true,
       [](const TInputs& in) { return static_cast<int64_t>(in.MemoReadIds.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.ReadMemos(in.MemoReadIds); }},
      {"2", "shared_insert", "single-record inserts, shared", false, [](const TInputs&) { return kSharedInserts; },
       [](TEngineUnderTest& e, const TInputs& in) { return e.SharedInserts(in.Size, kSharedInserts); }},
      {"8b", "memo_write", "memo rewrite by primary key, shared", false,
       [](const TInputs& in) { return static_cast<int64_t>(in.MemoWriteIds.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.WriteMemos(in.MemoWriteIds); }},
      {"7a", "modify_by_name", "modify 10 % through the name, exclusive", false,
       [](const TInputs& in) { return static_cast<int64_t>(in.Modified.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.ModifyByName(in.Modified); }},
      {"7b", "delete_by_id", "delete 10 % by primary key, exclusive", false,
       [](const TInputs& in) { return static_cast<int64_t>(in.DeletedIds.size()); },
       [](TEngineUnderTest& e, const TInputs& in) { return e.DeleteById(in.DeletedIds); }},
  };
  return workloads;
}

struct TResult {
  bool Ran = false;
  std::string Error;
  double BestSeconds = 0;
  int64_t PeakKb = 0;
  uint64_t Checksum = 0;
};

struct TRow {
  const TWorkload* Workload;
  int64_t Size;
  TResult Results[2];
};

// One table size: its directory, its inputs and the two engines.
struct TSizeRun {
  int64_t Size;
  std::string Directory;
  std::unique_ptr<TInputs> Inputs;
  std::unique_ptr<TEngineUnderTest> Engines[2];
  bool Built[2] = {false, false};
  bool Changed[2] = {false, false};
};

std::vector<std::unique_ptr<TSizeRun>> gRuns;
std::vector<TRow> gRows;

void RunOne(benchmark::State& state, TSizeRun& run, TRow& row, int engine) {
  TResult& result = row.Results[engine];
  bool bulk = std::string(row.Workload->Number) == "1";
  if (!bulk && !run.Built[engine]) {
    state.SkipWithError("the table is not built (run bulk_insert first)");
    return;
  }
  if (!run.Inputs) run.Inputs = std::make_unique<TInputs>(run.Size);
  for (auto _ : state) {
    TMemoryProbe probe;
    probe.Start();
    auto start = std::chrono::steady_clock::now();
    uint64_t checksum = 0;
    try {
      checksum = row.Workload->Run(*run.Engines[engine], *run.Inputs);
    } catch (const std::exception& error) {
      result.Error = error.what();
      state.SkipWithError(result.Error.c_str());
      break;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int64_t peak = probe.PeakGrowthKb();
    state.SetIterationTime(seconds);
    state.counters["peak_kb"] = static_cast<double>(peak);
    state.counters["ops_per_s"] = static_cast<double>(row.Workload->Operations(*run.Inputs)) / seconds;
    result.BestSeconds = result.Ran ? std::min(result.BestSeconds, seconds) : seconds;
    result.PeakKb = std::max(result.PeakKb, peak);
    result.Checksum = checksum;
    result.Ran = true;
  }
  if (bulk && result.Ran) run.Built[engine] = true;
  if (!row.Workload->ReadOnly && result.Ran) run.Changed[engine] = true;
}

void Register(TSizeRun& run) {
  for (const TWorkload& workload : Workloads()) {
    gRows.push_back({&workload, run.Size, {}});
  }
}

void RegisterBenchmarks() {
  // gRows is complete before any pointer into it is taken.
  size_t row = 0;
  for (auto& run : gRuns) {
    for (size_t w = 0; w < Workloads().size(); ++w, ++row) {
      for (int engine = 0; engine < 2; ++engine) {
        TRow* target = &gRows[row];
        TSizeRun* size = run.get();
        std::string name = std::string(target->Workload->Number) + "_" + target->Workload->Slug + "/" +
                           kEngineNames[engine] + "/" + std::to_string(run->Size);
        auto* benchmark = benchmark::RegisterBenchmark(
            name.c_str(), [size, target, engine](benchmark::State& state) { RunOne(state, *size, *target, engine); });
        benchmark->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
        if (target->Workload->ReadOnly) benchmark->Repetitions(kReadRepetitions)->ReportAggregatesOnly(false);
      }
    }
  }
}

std::string Milliseconds(const TResult& result) {
  if (!result.Ran) return result.Error.empty() ? "-" : "failed";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", result.BestSeconds * 1000.0);
  return text;
}

void PrintTable() {
  std::printf("\nTARNEL against SQLite %s, side by side in one run (times in ms, best of %d for reads;\n"
              "memory: the process's peak resident size during the workload above its size at the start)\n\n",
              sqlite3_libversion(), kReadRepetitions);
  std::printf("%-4s %-43s %9s %8s %11s %11s %7s %9s %9s  %s\n", "#", "workload", "records", "ops", "TARNEL ms",
              "SQLite ms", "ratio", "TARNEL KB", "SQLite KB", "same result");
  // Shown in the workloads' numbering, size by size.
  std::vector<const TRow*> ordered;
  for (const TRow& row : gRows) ordered.push_back(&row);
  std::stable_sort(ordered.begin(), ordered.end(), [](const TRow* a, const TRow* b) {
    if (a->Size != b->Size) return a->Size < b->Size;
    return std::string(a->Workload->Number) < std::string(b->Workload->Number);
  });
  for (const TRow* row : ordered) {
    const TResult& tarnel = row->Results[0];
    const TResult& sqlite = row->Results[1];
    if (!tarnel.Ran && !sqlite.Ran && tarnel.Error.empty() && sqlite.Error.empty()) continue;
    char ratio[16] = "-";
    if (tarnel.Ran && sqlite.Ran && sqlite.BestSeconds > 0) {
      std::snprintf(ratio, sizeof ratio, "%.2f", tarnel.BestSeconds / sqlite.BestSeconds);
    }
    const char* same = tarnel.Ran && sqlite.Ran ? (tarnel.Checksum == sqlite.Checksum ? "yes" : "NO") : "-";
    TInputs* inputs = nullptr;
    for (auto& run : gRuns) {
      if (run->Size == row->Size) inputs = run->Inputs.get();
    }
    long long ops = inputs != nullptr ? static_cast<long long>(row->Workload->Operations(*inputs)) : 0;
    std::printf("%-4s %-43s %9lld %8lld %11s %11s %7s %9lld %9lld  %s\n", row->Workload->Number, row->Workload->Title,
                static_cast<long long>(row->Size), ops, Milliseconds(tarnel).c_str(), Milliseconds(sqlite).c_str(),
                ratio, static_cast<long long>(tarnel.PeakKb), static_cast<long long>(sqlite.PeakKb), same);
  }
}

// After every workload has run, both tables must hold the same records.
bool CompareContents() {
  bool agree = true;
  for (auto& run : gRuns) {
    if (!run->Built[0] || !run->Built[1]) continue;
    if (run->Changed[0] != run->Changed[1]) continue;
    uint64_t tarnel = run->Engines[0]->ChecksumAll();
    uint64_t sqlite = run->Engines[1]->ChecksumAll();
    std::printf("tables of %lld records after the workloads: %s\n", static_cast<long long>(run->Size),
                tarnel == sqlite ? "same contents" : "CONTENTS DIFFER");
    agree = agree && tarnel == sqlite;
  }
  return agree;
}

// Takes --sizes= and --dir= out of the arguments, leaving the rest to Google Benchmark.
void ParseArguments(int& argc, char** argv, std::vector<int64_t>& sizes, std::string& directory, bool& keep) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.rfind("--sizes=", 0) == 0) {
      sizes.clear();
      std::string list = argument.substr(8);
      for (size_t at = 0; at < list.size();) {
        size_t comma = list.find(',', at);
        sizes.push_back(std::stoll(list.substr(at, comma - at)));
        at = comma == std::string::npos ? list.size() : comma + 1;
      }
    } else if (argument.rfind("--dir=", 0) == 0) {
      directory = argument.substr(6);
    } else if (argument == "--keep") {
      keep = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
}

}  // namespace

int Main(int argc, char** argv) {
  std::vector<int64_t> sizes = {10000, 1000000};
  const char* temp = std::getenv("TMPDIR");
  std::string directory;
  bool keep = false;
  ParseArguments(argc, argv, sizes, directory, keep);
  bool temporary = directory.empty();
  if (temporary) directory = std::string(temp != nullptr ? temp : "/tmp") + "/tarnel-bench-" + std::to_string(::getpid());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  InitializeEngine();
  for (int64_t size : sizes) {
    auto run = std::make_unique<TSizeRun>();
    run->Size = size;
    run->Directory = directory + "/n" + std::to_string(size);
    std::filesystem::create_directories(run->Directory);
    run->Engines[0] = std::make_unique<TTarnelEngine>(run->Directory, size);
    run->Engines[1] = std::make_unique<TSqliteEngine>(run->Directory, size);
    if (keep) {
      // Tables kept by an earlier run count as built.
      run->Built[0] = std::filesystem::exists(run->Directory + "/BENCH.DAT");
      run->Built[1] = std::filesystem::exists(run->Directory + "/bench.sqlite");
    }
    Register(*run);
    gRuns.push_back(std::move(run));
  }
  RegisterBenchmarks();
  benchmark::RunSpecifiedBenchmarks();
  PrintTable();
  bool agree = CompareContents();
  gRuns.clear();
  ShutdownEngine();
  benchmark::Shutdown();
  if (!keep) {
    for (int64_t size : sizes) std::filesystem::remove_all(directory + "/n" + std::to_string(size));
    if (temporary) std::filesystem::remove_all(directory);
  }
  return agree ? 0 : 1;
}

}  // namespace tarnel::bench

int main(int argc, char** argv) { return tarnel::bench::Main(argc, argv); }
