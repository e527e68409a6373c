// tarnel: the command-line tool for TARNEL tables: create a table, import and export CSV, look
// inside, count, and verify and repair a table that a crash or a bad network left behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "apps/tarnel/commands.h"
#include "engine/base/errors.h"
#include "engine/base/session.h"

namespace {

using namespace tarnel;
using namespace tarnel::cli;

constexpr char kUsage[] =
    "Usage: tarnel COMMAND TABLE [OPTIONS]\n"
    "       tarnel --version | --help | COMMAND --help\n"
    "TABLE names a table with or without its .DAT extension.\n"
    "\n"
    "Commands:\n"
    "  create   create a table from field and index definitions\n"
    "  import   add the rows of a CSV file\n"
    "  export   write records as CSV to standard output\n"
    "  info     show the header, fields, indexes, counts and sizes\n"
    "  count    count the records an index range and a filter select\n"
    "  verify   check the three files of a table\n"
    "  repair   rebuild what can be rebuilt from the records\n"
    "\n"
    "Exit status: 0 success, 1 the operation failed, 2 the command line is wrong.\n";

// The engine is started for the command and shut down after it, however it ends.
class TEngine {
 public:
  TEngine() { InitializeEngine(); }
  ~TEngine() { ShutdownEngine(); }
  TEngine(const TEngine&) = delete;
  TEngine& operator=(const TEngine&) = delete;
};

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand* command : AllCommands()) {
    if (name == command->Name) return command;
  }
  return nullptr;
}

int RunCommand(const TCommand& command, int argc, char** argv) {
  try {
    TArguments arguments = ParseArguments(argc, argv, 2, command.Options, command.Positional);
    int status;
    {
      TEngine engine;
      status = command.Run(arguments);
    }
    if (std::fflush(stdout) != 0) throw ECommandError(std::string("cannot write to standard output: ") + std::strerror(errno));
    return status;
  } catch (const EUsageError& error) {
    std::fprintf(stderr, "tarnel %s: %s\nTry 'tarnel %s --help'.\n", command.Name, error.what(), command.Name);
    return 2;
  } catch (const ECommandError& error) {
    std::fprintf(stderr, "tarnel %s: %s\n", command.Name, error.what());
  } catch (const Exception& error) {
    // Engine errors ("TARNEL Engine Error # ..."), conversions and the locale layer.
    std::fprintf(stderr, "tarnel %s: %s\n", command.Name, error.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tarnel %s: out of memory\n", command.Name);
  }
  std::fflush(stdout);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::string first = argc >= 2 ? argv[1] : "";
  if (first == "--version") {
    std::printf("tarnel %s\n", TARNEL_VERSION);
    return 0;
  }
  if (first == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const TCommand* command = FindCommand(first);
  if (command == nullptr) {
    if (first.empty()) {
      std::fputs(kUsage, stderr);
    } else {
      std::fprintf(stderr, "tarnel: unknown command %s\nTry 'tarnel --help'.\n", first.c_str());
    }
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(command->Usage, stdout);
      return 0;
    }
  }
  return RunCommand(*command, argc, argv);
}
