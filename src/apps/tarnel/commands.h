// The commands of the tool. Each takes its parsed command line and answers the exit status:
// 0 success, 1 a failure of the operation (after its message on standard error). Usage errors
// are EUsageError, failures ECommandError or the engine's errors, all turned into messages and
// exit statuses by main.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "apps/tarnel/command_line.h"

namespace tarnel::cli {

struct TCommand {
  const char* Name;
  const char* Usage;  // the synopsis and the options, as --help shows them
  std::vector<TOptionRule> Options;
  size_t Positional;  // TABLE and the like
  int (*Run)(const TArguments& arguments);
};

const TCommand& CreateCommand();
const TCommand& ImportCommand();
const TCommand& ExportCommand();
const TCommand& InfoCommand();
const TCommand& CountCommand();
const TCommand& VerifyCommand();
const TCommand& RepairCommand();
// Every command, in the order --help lists them.
std::vector<const TCommand*> AllCommands();

// Writes to standard output; a failed write (a closed pipe, a full disk) is ECommandError.
void Print(const std::string& text);

}  // namespace tarnel::cli
