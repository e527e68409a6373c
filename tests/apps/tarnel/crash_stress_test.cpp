// The long crash-survival run: kills of shared and exclusive imports for TARNEL_STRESS_SECONDS
// (60 by default), at least twenty of them.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "crash_survival.h"
#include "support/temp_dir.h"

namespace tarnel::test {
namespace {

double StressSeconds() {
  const char* seconds = std::getenv("TARNEL_STRESS_SECONDS");
  return seconds != nullptr ? std::atof(seconds) : 60.0;
}

TEST(CrashSurvivalStressTest, KilledImportsForTheStressSeconds) {
  TTempDir directory;
  TCrashOptions options;
  options.Runs = 20;
  options.Seconds = StressSeconds();
  options.AlternateModes = true;
  options.Seed = 7;
  TCrashStats stats = RunCrashSurvival(directory.Path(), options);
  std::printf("%d kills: %d left the table clean, %d needed repair, %d opened normally; %lld rows, %lld of them "
              "completed before a kill\n",
              stats.Runs, stats.CleanAfterKill, stats.DamagedAfterKill, stats.OpenedNormally,
              static_cast<long long>(stats.Rows), static_cast<long long>(stats.RowsCompletedBeforeKills));
  EXPECT_GE(stats.Runs, 20);
  EXPECT_GT(stats.DamagedAfterKill, 0) << "some kills must land inside a write";
}

}  // namespace
}  // namespace tarnel::test
