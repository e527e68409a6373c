// tarnel import: the rows of a CSV file added to a table, shared with other programs or, with
// --exclusive, alone and as fast as the engine allows.
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "apps/tarnel/commands.h"
#include "apps/tarnel/csv.h"
#include "apps/tarnel/field_text.h"
#include "apps/tarnel/open_table.h"
#include "apps/tarnel/progress.h"
#include "engine/base/byte_order.h"
#include "engine/base/errors.h"

namespace tarnel::cli {

namespace {

constexpr char kUsage[] =
    "Usage: tarnel import TABLE FILE.csv [--exclusive] [--password TEXT]\n"
    "Adds the rows of a CSV file (- reads standard input): a header row naming fields of the table,\n"
    "then one row per record. A field without a column gets its default, an empty cell is null.\n"
    "Values are written as export writes them (dates yyyy-mm-dd, times hh:mm:ss[.zzz], timestamps\n"
    "\"yyyy-mm-dd hh:mm:ss[.zzz]\", true and false, numbers with \".\", memos as text, other BLOBs and\n"
    "bytes in base64). A bad row stops the import with its line number; the rows before it stay.\n"
    "  --exclusive  hold the table alone: faster, and the values of an auto-increment column are kept\n"
    "               (shared, an auto-increment column must be empty: the table numbers the records)\n";

// An exclusive import writes what it has added at least this often, so that a crash loses no
// more than the rows since.
constexpr auto kCommitInterval = std::chrono::seconds(1);
constexpr int64_t kCommitRows = 100000;

volatile sig_atomic_t gInterrupted = 0;

void Interrupt(int) { gInterrupted = 1; }

// Ctrl-C and termination end the import between two rows, with the rows so far kept and counted.
class TInterruptHandler {
 public:
  TInterruptHandler() {
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &FOldInt);
    ::sigaction(SIGTERM, &action, &FOldTerm);
  }
  ~TInterruptHandler() {
    ::sigaction(SIGINT, &FOldInt, nullptr);
    ::sigaction(SIGTERM, &FOldTerm, nullptr);
  }
  TInterruptHandler(const TInterruptHandler&) = delete;
  TInterruptHandler& operator=(const TInterruptHandler&) = delete;

 private:
  struct sigaction FOldInt {};
  struct sigaction FOldTerm {};
};

class TInput {
 public:
  explicit TInput(const std::string& path) : FPath(path) {
    if (path == "-") {
      FFile = stdin;
      return;
    }
    FFile = std::fopen(path.c_str(), "rb");
    if (FFile == nullptr) throw ECommandError("cannot open " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(::fileno(FFile), &info) == 0 && S_ISREG(info.st_mode)) FSize = info.st_size;
  }
  ~TInput() {
    if (FFile != nullptr && FFile != stdin) std::fclose(FFile);
  }
  TInput(const TInput&) = delete;
  TInput& operator=(const TInput&) = delete;

  std::FILE* File() const { return FFile; }
  int64_t Size() const { return FSize; }

 private:
  std::string FPath;
  std::FILE* FFile = nullptr;
  int64_t FSize = 0;
};

class TImporter {
 public:
  TImporter(TOpenTable& table, const std::string& path, bool exclusive)
      : FTable(table), FFile(table.File()), FPath(path), FExclusive(exclusive),
        FImage(static_cast<size_t>(table.File().RecordBufferSize())) {}

  // Reads the header row and then every row; the rows before a failure stay in the table.
  void Run(TCsvReader& reader, TProgress& progress) {
    std::vector<std::string> cells;
    if (!Read(reader, cells)) throw ECommandError(FPath + ": the file is empty, it needs a header row");
    ReadHeader(cells);
    FFirstFreshId = FFile.Header().LastAutoInc + 1;
    FLastCommit = std::chrono::steady_clock::now();
    while (!gInterrupted && Read(reader, cells)) {
      FLine = reader.RecordLine();
      if (cells.size() == 1 && cells[0].empty() && FColumns.size() > 1) continue;  // a blank line
      if (cells.size() != FColumns.size()) {
        Fail("has " + std::to_string(cells.size()) + " fields, the header " + std::to_string(FColumns.size()));
      }
      ImportRow(cells);
      ++FRows;
      progress.Update(reader.BytesRead(), FRows);
      if (FExclusive) CommitNowAndThen();
    }
  }

  // Writes what an exclusive import still holds and closes the table.
  void Finish() {
    KeepIdentifiers();
    if (FExclusive) FFile.WriteChanges();
    FTable.Close();
  }

  int64_t Rows() const { return FRows; }

 private:
  bool Read(TCsvReader& reader, std::vector<std::string>& cells) const {
    try {
      return reader.ReadRecord(cells);
    } catch (const ECommandError& error) {
      // An interrupt also breaks off a read that waits for input.
      if (gInterrupted) return false;
      throw ECommandError(FPath + " " + error.what());
    }
  }

  [[noreturn]] void Fail(const std::string& text) const {
    throw ECommandError(FPath + " line " + std::to_string(FLine) + ": " + text);
  }

  void ReadHeader(const std::vector<std::string>& names) {
    FLine = 1;
    for (const std::string& name : names) {
      const TFieldDesc* field = FTable.FindField(name);
      if (field == nullptr) Fail("the table has no field " + name);
      for (const TFieldDesc* other : FColumns) {
        if (other == field) Fail("the field " + name + " has two columns");
      }
      FColumns.push_back(field);
    }
  }

  void ImportRow(const std::vector<std::string>& cells) {
    FFile.InitRecord(FImage.data());
    uint8_t* image = FImage.data();
    uint8_t value[256];
    std::string error;
    bool identified = false;
    std::vector<std::pair<const TFieldDesc*, std::vector<uint8_t>>> blobs;
    for (size_t i = 0; i < FColumns.size(); ++i) {
      const TFieldDesc& field = *FColumns[i];
      const std::string& cell = cells[i];
      std::string where = "field " + FTable.FieldName(field) + ": ";
      if (field.IsAutoInc()) {
        if (!cell.empty()) {
          Identify(field, cell, where);
          identified = true;
        }
      } else if (cell.empty()) {
        FFile.PutField(false, field.FieldNo, false, nullptr, image);
      } else if (field.FieldType == dtBlob) {
        blobs.emplace_back(&field, std::vector<uint8_t>());
        if (!ParseBlob(field, cell, FTable.CodePage(), blobs.back().second, error)) Fail(where + error);
      } else {
        if (!ParseValue(field, cell, FTable.CodePage(), value, error)) Fail(where + error);
        FFile.PutField(false, field.FieldNo, false, value, image);
      }
    }
    if (!identified) KeepIdentifiers();
    FFile.SetCopyMode(identified);
    std::vector<const TFieldDesc*> opened;
    try {
      for (auto& [field, contents] : blobs) {
        CheckStatus(FFile.OpenBlob(false, field->FieldNo, 0, image));
        opened.push_back(field);
        CheckStatus(FFile.WriteBlob(false, field->FieldNo, 0, static_cast<int32_t>(contents.size()), contents.data(), image));
      }
      FFile.InsertRecord(image);
    } catch (const EDatabaseError& failure) {
      // The record was refused: its BLOBs are dropped, not kept open for another record.
      for (const TFieldDesc* field : opened) FFile.CloseBlob(false, field->FieldNo, image);
      FFile.SetCopyMode(false);
      Fail(failure.what());
    }
    FFile.SetCopyMode(false);
    int32_t id = FFile.CurrentRecord() != nullptr ? FFile.CurrentRecord()->RecordId() : 0;
    Use(id);
    if (id > FHighestId) FHighestId = id;
  }

  // The identifiers of this import as runs of neighbours (the table numbers its records one
  // after the other), so that a long import keeps few of them.
  bool Used(int32_t id) const {
    auto run = FUsedIds.upper_bound(id);
    return run != FUsedIds.begin() && std::prev(run)->second >= id;
  }

  void Use(int32_t id) {
    if (Used(id)) return;
    auto next = FUsedIds.upper_bound(id);
    bool joinsPrevious = next != FUsedIds.begin() && std::prev(next)->second == id - 1;
    bool joinsNext = next != FUsedIds.end() && next->first == id + 1;
    if (joinsPrevious && joinsNext) {
      std::prev(next)->second = next->second;
      FUsedIds.erase(next);
    } else if (joinsPrevious) {
      std::prev(next)->second = id;
    } else if (joinsNext) {
      int32_t last = next->second;
      FUsedIds.erase(next);
      FUsedIds.emplace(id, last);
    } else {
      FUsedIds.emplace(id, id);
    }
  }

  // An identifier from the file is kept only when the table is exclusive and the identifier is
  // new: above every identifier the table had handed out and not used in this import.
  void Identify(const TFieldDesc& field, const std::string& cell, const std::string& where) {
    if (!FExclusive) {
      Fail(where + "an auto-increment field is numbered by the table when it is shared; leave the column out "
                   "or empty, or import with --exclusive to keep the identifiers");
    }
    uint8_t value[4];
    std::string error;
    if (!ParseValue(field, cell, FTable.CodePage(), value, error)) Fail(where + error);
    int32_t id = GetI32(value);
    if (id < FFirstFreshId) {
      Fail(where + "identifier " + cell + " is not above " + std::to_string(FFirstFreshId - 1) +
           ", the last identifier the table had handed out");
    }
    if (Used(id)) Fail(where + "identifier " + cell + " is already used");
    FFile.PutField(false, field.FieldNo, false, value, FImage.data());
  }

  // Identifiers kept from the file are not counted by the table; before it numbers a record
  // itself, or before the import ends, it learns the highest.
  void KeepIdentifiers() {
    if (FExclusive && FHighestId > FFile.Header().LastAutoInc) FFile.SetLastAutoInc(FHighestId);
  }

  void CommitNowAndThen() {
    auto now = std::chrono::steady_clock::now();
    if (FRows - FCommittedRows < kCommitRows && now - FLastCommit < kCommitInterval) return;
    KeepIdentifiers();
    FFile.WriteChanges();
    FCommittedRows = FRows;
    FLastCommit = now;
  }

  TOpenTable& FTable;
  TDataFile& FFile;
  std::string FPath;
  bool FExclusive;
  std::vector<uint8_t> FImage;
  std::vector<const TFieldDesc*> FColumns;
  int64_t FLine = 0;
  int64_t FRows = 0;
  int64_t FCommittedRows = 0;
  std::chrono::steady_clock::time_point FLastCommit;
  int32_t FFirstFreshId = 1;
  int32_t FHighestId = 0;
  std::map<int32_t, int32_t> FUsedIds;  // first -> last identifier of each run
};

std::string RowsImported(int64_t rows) {
  return std::to_string(rows) + (rows == 1 ? " row" : " rows") + " imported\n";
}

int RunImport(const TArguments& arguments) {
  const std::string& path = arguments.Positional[1];
  TInput input(path);
  TOpenOptions options;
  options.Exclusive = arguments.Has("exclusive");
  options.Password = arguments.Value("password");
  TOpenTable table(arguments.Positional[0], options);
  TInterruptHandler interrupts;
  TCsvReader reader(::fileno(input.File()));
  TImporter importer(table, path, options.Exclusive);
  {
    TProgress progress("importing " + path, input.Size());
    try {
      importer.Run(reader, progress);
    } catch (...) {
      progress.Finish();
      try {
        importer.Finish();
      } catch (const EDatabaseError& closing) {
        std::fprintf(stderr, "tarnel: import: %s\n", closing.what());
      }
      Print(RowsImported(importer.Rows()));
      throw;
    }
  }
  importer.Finish();
  Print(RowsImported(importer.Rows()));
  if (gInterrupted) throw ECommandError("interrupted; the rows imported so far stay in the table");
  return 0;
}

}  // namespace

const TCommand& ImportCommand() {
  static const TCommand command{"import", kUsage, {{"exclusive", false, false}, {"password", true, false}}, 2,
                                RunImport};
  return command;
}

}  // namespace tarnel::cli
