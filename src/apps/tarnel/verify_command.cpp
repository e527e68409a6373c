// tarnel verify and tarnel repair: the engine's table check, reported, and its repair of what
// the records let it rebuild.
#include "apps/tarnel/commands.h"
#include "apps/tarnel/json.h"
#include "apps/tarnel/open_table.h"
#include "engine/base/errors.h"
#include "engine/table/table_check.h"
#include "engine/table/table_repair.h"

namespace tarnel::cli {

namespace {

constexpr char kVerifyUsage[] =
    "Usage: tarnel verify TABLE [--password TEXT] [--json]\n"
    "Checks everything the table's three files promise: the headers and their counts, the records\n"
    "and the free list, every index (pages, order, counts, links, compression, free pages, and\n"
    "exactly the keys of the records), and every BLOB chain and the BLOB free list. Lists each\n"
    "problem with its file and place; the exit status is 0 when there is none, 1 otherwise.\n"
    "Writers wait while the check runs.\n"
    "  --json  the result as one JSON object\n";

constexpr char kRepairUsage[] =
    "Usage: tarnel repair TABLE [--password TEXT]\n"
    "Checks the table and, when it finds problems, rebuilds from the records what can be rebuilt:\n"
    "every index, the free lists of records and BLOB blocks and the counts in the headers; damage\n"
    "inside records and BLOB chains is corrected where the data still says what it meant. Each\n"
    "correction is listed; the table is checked again afterwards. Needs the table to itself.\n";

// Errors that say the table cannot be reached rather than that it is damaged.
bool IsAccessError(const EDBEngineError& error) {
  switch (error.ErrorCode()) {
    case kErrInvalidPath:
    case kErrAccessDenied:
    case kErrPasswordRequired:
    case kErrLanguageDriver:
    case kErrTooManyFiles: return true;
    default: return false;
  }
}

std::string Summary(const TTableCheckReport& report) {
  return std::to_string(report.Records) + " records in " + std::to_string(report.Slots) + " slots, " +
         std::to_string(report.Indexes) + " indexes with " + std::to_string(report.Keys) + " keys in " +
         std::to_string(report.Pages) + " pages, " + std::to_string(report.BlobBlocks) + " BLOB blocks";
}

int64_t ProblemCount(const TTableCheckReport& report) {
  return static_cast<int64_t>(report.Problems.size()) + report.MoreProblems;
}

std::string ProblemLines(const std::vector<TTableProblem>& problems) {
  std::string text;
  for (const TTableProblem& problem : problems) text += problem.File + ": " + problem.Location + ": " + problem.Text + "\n";
  return text;
}

std::string VerifyText(const std::string& table, const TTableCheckReport& report) {
  std::string text = ProblemLines(report.Problems);
  if (report.MoreProblems > 0) text += table + ": " + std::to_string(report.MoreProblems) + " further problems\n";
  int64_t count = ProblemCount(report);
  text += table + ": " + (count == 0 ? "no problems" : std::to_string(count) + (count == 1 ? " problem" : " problems")) +
          " (" + Summary(report) + " checked)\n";
  return text;
}

std::string VerifyJson(const std::string& table, const TTableCheckReport& report) {
  TJsonWriter json;
  json.BeginObject().Key("table").String(table).Key("clean").Bool(report.Clean());
  json.Key("problems").BeginArray();
  for (const TTableProblem& problem : report.Problems) {
    json.BeginObject().Key("file").String(problem.File).Key("location").String(problem.Location);
    json.Key("problem").String(problem.Text).EndObject();
  }
  json.EndArray().Key("moreProblems").Number(report.MoreProblems);
  json.Key("checked").BeginObject().Key("records").Number(report.Records).Key("slots").Number(report.Slots);
  json.Key("indexes").Number(report.Indexes).Key("keys").Number(report.Keys).Key("pages").Number(report.Pages);
  json.Key("blobBlocks").Number(report.BlobBlocks).EndObject().EndObject();
  return json.Text() + "\n";
}

int RunVerify(const TArguments& arguments) {
  const std::string& name = arguments.Positional[0];
  std::string table = DataFileName(name);
  TOpenOptions options;
  options.ReadOnly = true;
  options.RepairMode = true;
  options.Password = arguments.Value("password");
  TTableCheckReport report;
  try {
    TOpenTable opened(name, options);
    report = CheckTable(opened.File());
    opened.Close();
  } catch (const EDBEngineError& error) {
    if (IsAccessError(error)) throw;
    // A table too damaged to open: that is what the check found.
    report = TTableCheckReport();
    report.Problems.push_back({table, "open", error.what()});
  }
  Print(arguments.Has("json") ? VerifyJson(table, report) : VerifyText(table, report));
  return report.Clean() ? 0 : 1;
}

int RunRepair(const TArguments& arguments) {
  TOpenOptions options;
  options.Exclusive = true;
  options.RepairMode = true;
  options.Password = arguments.Value("password");
  TOpenTable opened(arguments.Positional[0], options);
  TDataFile& file = opened.File();
  std::string table = file.FileName();
  TTableCheckReport found = CheckTable(file);
  if (found.Clean()) {
    Print(table + ": no problems (" + Summary(found) + " checked), nothing to repair\n");
    return 0;
  }
  Print(table + ": " + std::to_string(ProblemCount(found)) + " problems found; repairing\n");
  file.SetOnRepairMessage([](const std::string& message) { Print("  " + message + "\n"); });
  TRepairReport repair = RepairTable(file, found);
  opened.Close();
  opened.Reopen();
  TTableCheckReport after = CheckTable(opened.File());
  opened.Close();
  std::string text = std::to_string(repair.Corrections) + (repair.Corrections == 1 ? " correction" : " corrections");
  if (after.Clean()) {
    Print(table + ": " + text + "; no problems now (" + Summary(after) + " checked)\n");
    return 0;
  }
  Print(ProblemLines(repair.Unrepaired));
  Print(VerifyText(table, after));
  throw ECommandError(table + ": " + text + ", but " + std::to_string(ProblemCount(after)) +
                      " problems remain that the records cannot repair");
}

}  // namespace

const TCommand& VerifyCommand() {
  static const TCommand command{"verify", kVerifyUsage, {{"password", true, false}, {"json", false, false}}, 1,
                                RunVerify};
  return command;
}

const TCommand& RepairCommand() {
  static const TCommand command{"repair", kRepairUsage, {{"password", true, false}}, 1, RunRepair};
  return command;
}

}  // namespace tarnel::cli
