#include "apps/tolbrin/batch_mode.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "apps/tolbrin/table_transfer.h"

namespace tarnel::tolbrin {

namespace {

constexpr char kUsage[] =
    "Usage: tolbrin [--source DIR --dest DIR [--language NAME] [--sort NAME] [--major N] [--minor N]\n"
    "               [--no-transliterate] [TABLE ...]]\n"
    "Without arguments the window opens. With them the Paradox (*.DB) and dBase (*.DBF) tables named\n"
    "(all of those in DIR when none is) are copied into TARNEL tables in the destination directory.\n"
    "  --language NAME     the new tables' language as the window lists it (default \"Machine ASCII\")\n"
    "  --sort NAME         the sort order (default \"Default Order\")\n"
    "  --major N, --minor N  the user version number (default 1 and 0)\n"
    "  --no-transliterate  copy texts in the source's code page as they are\n"
    "Messages and progress go to standard error. Exit status: 0 completed, 1 refused or failed,\n"
    "2 usage error.\n";

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "tolbrin: %s\n%s", problem.c_str(), kUsage);
  return kExitUsage;
}

bool HasTableExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot + 1);
  return ::strcasecmp(extension.c_str(), "DB") == 0 || ::strcasecmp(extension.c_str(), "DBF") == 0;
}

// Progress on standard error: the status line, then the percentage, rewritten in place on a
// terminal and in steps of ten otherwise.
class TBatchProgress {
 public:
  TBatchProgress() : FTerminal(::isatty(STDERR_FILENO) == 1) {}

  void Begin(const std::string& status) {
    FShown = -1;
    std::fprintf(stderr, "%s\n", status.c_str());
  }
  void Show(int64_t copied, int64_t recordCount) {
    int percent = ProgressPercent(copied, recordCount);
    if (FTerminal ? percent == FShown : percent / 10 == FShown / 10) return;
    FShown = percent;
    if (FTerminal) {
      std::fprintf(stderr, "\r%3d%%", percent);
    } else {
      std::fprintf(stderr, "%3d%%\n", percent);
    }
  }
  void End() {
    if (FTerminal && FShown >= 0) std::fputs("\n", stderr);
  }

 private:
  bool FTerminal;
  int FShown = -1;
};

}  // namespace

std::vector<std::string> TablesOfDirectory(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && HasTableExtension(name) && name[0] != '.') names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    int order = ::strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
  });
  return names;
}

int RunBatchMode(const std::vector<std::string>& arguments) {
  TTransferRequest request;
  std::string language = "Machine ASCII";
  std::string sort = SortOrders().front();
  bool hasSource = false;
  bool hasDest = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= arguments.size()) return false;
      target = arguments[++i];
      return true;
    };
    bool given = true;
    if (argument == "--help") {
      std::fputs(kUsage, stdout);
      return kExitCompleted;
    } else if (argument == "--source") {
      given = hasSource = value(request.SourceDirectory);
    } else if (argument == "--dest") {
      given = hasDest = value(request.DestinationDirectory);
    } else if (argument == "--language") {
      given = value(language);
    } else if (argument == "--sort") {
      given = value(sort);
    } else if (argument == "--major") {
      given = value(request.UserMajorVersion);
    } else if (argument == "--minor") {
      given = value(request.UserMinorVersion);
    } else if (argument == "--no-transliterate") {
      request.Transliterate = false;
    } else if (argument.rfind("--", 0) == 0) {
      return UsageError("unknown option " + argument);
    } else {
      request.Tables.push_back(argument);
    }
    if (!given) return UsageError(argument + " needs a value");
  }
  if (!hasSource || !hasDest) return UsageError("--source and --dest are needed");
  request.LanguageIndex = LanguageIndexOf(language);
  if (request.LanguageIndex < 0) return UsageError("unknown language \"" + language + "\"");
  const std::vector<std::string>& orders = SortOrders();
  auto order = std::find_if(orders.begin(), orders.end(),
                            [&sort](const std::string& name) { return ::strcasecmp(name.c_str(), sort.c_str()) == 0; });
  if (order == orders.end()) return UsageError("unknown sort order \"" + sort + "\"");
  request.SortIndex = static_cast<int>(order - orders.begin());
  for (const std::string* directory : {&request.SourceDirectory, &request.DestinationDirectory}) {
    std::error_code error;
    if (!std::filesystem::is_directory(*directory, error)) return UsageError("no such directory: " + *directory);
  }
  if (request.Tables.empty()) request.Tables = TablesOfDirectory(request.SourceDirectory);

  TBatchProgress progress;
  TTransferEvents events;
  events.OnInformation = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
  events.OnError = [](const std::string& text) { std::fprintf(stderr, "tolbrin: %s\n", text.c_str()); };
  events.OnTableBegin = [&progress](const std::string& status) { progress.Begin(status); };
  events.OnProgress = [&progress](int64_t copied, int64_t recordCount) { progress.Show(copied, recordCount); };
  events.OnTableEnd = [&progress] { progress.End(); };
  return RunTransfer(request, events) == TTransferResult::Completed ? kExitCompleted : kExitFailed;
}

}  // namespace tarnel::tolbrin
