// The utility without a window, for scripts and servers:
//
//   tolbrin --source DIR --dest DIR [--language NAME] [--sort NAME] [--major N] [--minor N]
//           [--no-transliterate] [TABLE ...]
//
// transfers the tables named (all *.DB and *.DBF tables of the source directory when none is)
// exactly as the window does, with the messages and the progress on standard error. The exit
// status is 0 when the transfer completed, 1 when it was refused or failed, 2 for a usage error.
#pragma once

#include <string>
#include <vector>

namespace tarnel::tolbrin {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunBatchMode(const std::vector<std::string>& arguments);

// The *.DB and *.DBF files of a directory (any letter case), sorted by name regardless of case.
std::vector<std::string> TablesOfDirectory(const std::string& directory);

}  // namespace tarnel::tolbrin
