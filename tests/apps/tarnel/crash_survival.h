// The crash-survival run shared by the everyday test and the stress test: tarnel import is
// killed (SIGKILL) at a random moment, again and again, into one table that grows run by run.
// After each kill the table must open; verify must name only what the interrupted row left
// inconsistent (and the rows of an index whose page split the kill cut short); repair must make the table clean; and every row whose import had completed
// before the kill must be there, as it was imported. Every few thousand rows a new table starts.
#pragma once

#include <cstdint>
#include <string>

namespace tarnel::test {

struct TCrashOptions {
  int Runs = 0;          // at least this many kills
  double Seconds = 0;    // and go on with more while this many seconds have not passed
  bool Exclusive = false;
  bool AlternateModes = false;  // every other run exclusive
  uint32_t Seed = 1;
};

struct TCrashStats {
  int Runs = 0;
  int CleanAfterKill = 0;   // verify found nothing to repair
  int DamagedAfterKill = 0;  // verify found problems, repair made the table clean
  int OpenedNormally = 0;   // a plain open (count) worked before the repair
  int64_t Rows = 0;         // rows in the tables at the end
  int64_t RowsCompletedBeforeKills = 0;  // the rows the checks required, summed over the runs
};

// Runs the kills in `directory` (a fresh one); failures are reported as test failures.
TCrashStats RunCrashSurvival(const std::string& directory, const TCrashOptions& options);

}  // namespace tarnel::test
