// Imports killed at random moments leave tables that open, that verify describes, that repair
// makes clean, and that keep every row whose import had completed. The long run is
// crash_stress_test.cpp.
#include <cstdio>

#include <gtest/gtest.h>

#include "crash_survival.h"
#include "support/temp_dir.h"

namespace tarnel::test {
namespace {

TEST(CrashSurvivalTest, KilledSharedAndExclusiveImportsAreRepairedWithoutLosingRows) {
  TTempDir directory;
  TCrashOptions options;
  options.Runs = 6;
  options.AlternateModes = true;
  options.Seed = 20240611;
  TCrashStats stats = RunCrashSurvival(directory.Path(), options);
  std::printf("%d kills: %d left the table clean, %d needed repair, %d opened normally; %lld rows\n", stats.Runs,
              stats.CleanAfterKill, stats.DamagedAfterKill, stats.OpenedNormally, static_cast<long long>(stats.Rows));
  EXPECT_EQ(stats.Runs, options.Runs);
  EXPECT_GT(stats.Rows, 0);
}

}  // namespace
}  // namespace tarnel::test
