// Locale string comparison and mapping as index keys use them: two 30-byte strings that differ
// near their end, after the locale's first use.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/locale/case_mapping.h"
#include "platform/locale/collation.h"

namespace {

using namespace tarnel::locale;

struct TPair {
  std::string A, B;
};

TPair Latin() { return {"Mueller-Luedenscheidt, Jo\xE4rg A", "Mueller-Luedenscheidt, Jo\xE4rg B"}; }

// Fifteen double-byte characters in code page 932.
TPair Japanese() {
  std::string kana;
  for (int i = 0; i < 14; ++i) kana += "\x83\x41";
  return {kana + "\x83\x42", kana + "\x83\x43"};
}

void Compare(benchmark::State& state, uint32_t lcid, uint32_t flags, const TPair& pair) {
  const int length = static_cast<int>(pair.A.size());
  CompareString(lcid, flags, pair.A.data(), length, pair.B.data(), length);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        CompareString(lcid, flags, pair.A.data(), length, pair.B.data(), length));
  }
}

void Map(benchmark::State& state, uint32_t lcid, uint32_t flags, const TPair& pair) {
  const int length = static_cast<int>(pair.A.size());
  char out[64];
  for (auto _ : state) {
    benchmark::DoNotOptimize(LCMapString(lcid, flags, pair.A.data(), length, out, sizeof out));
  }
}

BENCHMARK_CAPTURE(Compare, GermanStringSort, 0x0407, kSortStringSort, Latin());
BENCHMARK_CAPTURE(Compare, GermanWordSort, 0x0407, 0, Latin());
BENCHMARK_CAPTURE(Compare, GermanIgnoreCase, 0x0407, kSortStringSort | kNormIgnoreCase, Latin());
BENCHMARK_CAPTURE(Compare, JapaneseStringSort, 0x0411, kSortStringSort, Japanese());
BENCHMARK_CAPTURE(Compare, NoLocale, 0, kSortStringSort, Latin());
BENCHMARK_CAPTURE(Map, GermanUpperHalfWidth, 0x0407, kLcmapUpperCase | kLcmapHalfWidth, Latin());
BENCHMARK_CAPTURE(Map, JapaneseHalfWidth, 0x0411, kLcmapHalfWidth, Japanese());

}  // namespace
