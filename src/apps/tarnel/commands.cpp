#include "apps/tarnel/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnel::cli {

std::vector<const TCommand*> AllCommands() {
  return {&CreateCommand(), &ImportCommand(), &ExportCommand(), &InfoCommand(),
          &CountCommand(),  &VerifyCommand(), &RepairCommand()};
}

void Print(const std::string& text) {
  if (text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    throw ECommandError(std::string("cannot write to standard output: ") + std::strerror(errno));
  }
}

}  // namespace tarnel::cli
