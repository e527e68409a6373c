#include "crash_survival.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/base/session.h"
#include "engine/table/data_file.h"
#include "support/record_image.h"
#include "support/temp_dir.h"
#include "tool_process.h"

namespace tarnel::test {

namespace {

constexpr int kRowsPerRun = 250;
constexpr int64_t kRowsPerTable = 2500;
enum : int { kKey = 1, kName, kNotes };

std::string NameOf(int64_t key) { return "row " + std::to_string(key); }

// Memos of up to three BLOB blocks, none for some rows.
std::string MemoOf(int64_t key) {
  size_t length = static_cast<size_t>(key * 37 % 1200);
  return length == 0 ? std::string() : std::string(length, static_cast<char>('a' + key % 26));
}

std::string Csv(int64_t first, int count) {
  std::string csv = "Key,Name,Notes\r\n";
  for (int64_t key = first; key < first + count; ++key) {
    csv += std::to_string(key) + "," + NameOf(key) + "," + MemoOf(key) + "\r\n";
  }
  return csv;
}

// NextRecordNo as the data file's header holds it now.
int32_t NextRecordNo(const std::string& table) {
  std::ifstream in(table + ".DAT", std::ios::binary);
  uint8_t header[17] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  return in.gcount() == sizeof header ? GetI32(header + 13) : 1;
}

struct TRow {
  int64_t Key;
  std::string Name;
  std::string Memo;
};

// The rows in key order, read through the engine as any program reads them.
std::vector<TRow> ReadRows(const std::string& table) {
  TDataFile file;
  file.SetFileName(table);
  file.Open();
  TImage image(file);
  std::vector<TRow> rows;
  file.SetToBegin();
  while (file.GetNextRecord(image.Data()) == 0) {
    TRow row{image.GetInt(kKey), image.GetText(kName), std::string()};
    if (!image.IsNull(kNotes)) {
      file.OpenBlob(false, kNotes, 0, image.Data());
      int32_t size = 0;
      file.GetBlobSize(false, kNotes, image.Data(), size);
      row.Memo.resize(static_cast<size_t>(size));
      int32_t read = 0;
      file.ReadBlob(false, kNotes, 0, size, row.Memo.data(), image.Data(), read);
      file.CloseBlob(false, kNotes, image.Data());
    }
    rows.push_back(std::move(row));
  }
  file.Close();
  return rows;
}

// The record numbers a text names ("record 12", "physical record # 12").
std::set<int64_t> RecordsNamed(const std::string& text) {
  static const std::regex kRecord("record (# )?([0-9]+)");
  std::set<int64_t> records;
  for (std::sregex_iterator it(text.begin(), text.end(), kRecord), end; it != end; ++it) {
    records.insert(std::stoll((*it)[2]));
  }
  return records;
}

// The problems of a verify --json report, as "file: location: problem" lines, without those of
// an index whose pages a kill left half written. A page split writes the pages it changes one
// after another, so a kill between them leaves keys of earlier rows out of the tree; verify names
// those rows and repair rebuilds the index from the records. Without a damaged page, an index
// problem may name only the row being imported, as the problems of the other files may.
std::string RecordProblems(const std::string& report) {
  static const std::string kText = R"re("((?:[^"\\]|\\.)*)")re";
  static const std::regex kProblem(R"re(\{"file":)re" + kText + R"re(,"location":)re" + kText +
                                   R"re(,"problem":)re" + kText + R"re(\})re");
  struct TLine {
    std::string File, Location, Problem;
  };
  std::vector<TLine> lines;
  std::set<std::string> torn;  // "file location" of indexes with a damaged page
  for (std::sregex_iterator it(report.begin(), report.end(), kProblem), end; it != end; ++it) {
    TLine line{(*it)[1], (*it)[2], (*it)[3]};
    // Entry counts change with every key; the other page problems come from a cut split.
    bool pageProblem = (line.Problem.rfind("page ", 0) == 0 || line.Problem.rfind("free page", 0) == 0) &&
                       line.Problem.find(" counts ") == std::string::npos;
    if (line.Location.rfind("index ", 0) == 0 && pageProblem) torn.insert(line.File + " " + line.Location);
    lines.push_back(std::move(line));
  }
  size_t reported = 0;
  for (size_t at = report.find("\"problem\":"); at != std::string::npos; at = report.find("\"problem\":", at + 1)) {
    ++reported;
  }
  EXPECT_EQ(lines.size(), reported) << "every problem of the report is read: " << report;
  std::string kept;
  for (const TLine& line : lines) {
    if (torn.count(line.File + " " + line.Location) != 0) continue;
    kept += line.File + ": " + line.Location + ": " + line.Problem + "\n";
  }
  return kept;
}

// The rows 1 to n of the input, as imported. Only a row whose import a kill interrupted may have
// lost the part of its memo that had not reached the file, which the repair then named; such a
// row keeps what the repair left (`cut`, by key).
void ExpectRows(const std::vector<TRow>& rows, bool damaged, const std::string& repairOutput, int64_t lastSlot,
                std::map<int64_t, std::string>& cut) {
  for (size_t i = 0; i < rows.size(); ++i) {
    const TRow& row = rows[i];
    ASSERT_EQ(row.Key, static_cast<int64_t>(i) + 1) << "the rows are the first ones of the input, without gaps";
    ASSERT_EQ(row.Name, NameOf(row.Key));
    bool last = i + 1 == rows.size();
    if (last && damaged && row.Memo != MemoOf(row.Key) && cut.count(row.Key) == 0) {
      EXPECT_EQ(MemoOf(row.Key).compare(0, row.Memo.size(), row.Memo), 0) << "a cut memo keeps its beginning";
      EXPECT_NE(repairOutput.find("physical record # " + std::to_string(lastSlot)), std::string::npos);
      cut[row.Key] = row.Memo;
    } else if (cut.count(row.Key) != 0) {
      ASSERT_EQ(row.Memo, cut[row.Key]) << "row " << row.Key;
    } else {
      ASSERT_EQ(row.Memo, MemoOf(row.Key)) << "row " << row.Key;
    }
  }
}

}  // namespace

TCrashStats RunCrashSurvival(const std::string& directory, const TCrashOptions& options) {
  InitializeEngine();
  TCrashStats stats;
  std::string table;
  std::mt19937 random(options.Seed);
  int64_t present = 0;  // the table holds the rows 1 to present
  std::map<int64_t, std::string> cut;
  auto start = std::chrono::steady_clock::now();
  for (int run = 0;; ++run) {
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (run >= options.Runs && elapsed >= options.Seconds) break;
    if (table.empty() || present >= kRowsPerTable) {
      // A new table now and then, so that a long run does not check ever larger ones.
      stats.Rows += present;
      present = 0;
      cut.clear();
      table = directory + "/CRASH" + std::to_string(run);
      TToolResult created = RunTool({"create", table, "--field", "Key:integer", "--field", "Name:string:30:required",
                                     "--field", "Notes:memo", "--primary", "Key", "--index", "ByName:Name"});
      EXPECT_EQ(created.ExitCode, 0) << created.Err;
    }
    bool exclusive = options.Exclusive || (options.AlternateModes && run / 2 % 2 == 1);
    // Every other kill comes at a random moment; the others as the program enters a random one
    // of its writes, so that many land inside the writes of one change.
    int killAtWrite = run % 2 == 1 ? 1 + static_cast<int>(random() % (exclusive ? 150 : 2000)) : 0;
    std::string csv = directory + "/rows.csv";
    WriteWholeFile(csv, Csv(present + 1, kRowsPerRun));
    std::vector<std::string> arguments{"import", table, csv};
    if (exclusive) arguments.push_back("--exclusive");
    SCOPED_TRACE("run " + std::to_string(run) + (exclusive ? ", exclusive" : ", shared") +
                 (killAtWrite > 0 ? ", killed at write " + std::to_string(killAtWrite) : ", killed at a moment"));

    TToolProcess import(arguments, killAtWrite);
    int32_t seen = 0;
    if (killAtWrite == 0) {
      ::usleep(static_cast<useconds_t>(random() % 600000));
      seen = NextRecordNo(table);
      import.Kill();
    }
    bool finished = import.Wait() == 0;
    if (killAtWrite > 0) seen = NextRecordNo(table);
    // Every row before the one that made the slot count `seen` had been imported completely.
    int64_t completed = finished ? present + kRowsPerRun : std::max<int64_t>(present, seen - 2);

    // The table opens, and verify names only the row that was being imported.
    EXPECT_EQ(RunTool({"info", table}).ExitCode, 0);
    if (RunTool({"count", table}).ExitCode == 0) ++stats.OpenedNormally;
    int64_t lastSlot = NextRecordNo(table) - 1;
    TToolResult verified = RunTool({"verify", table, "--json"});
    EXPECT_TRUE(verified.ExitCode == 0 || verified.ExitCode == 1) << verified.Err;
    bool damaged = verified.ExitCode == 1;
    if (!exclusive) {
      for (int64_t record : RecordsNamed(RecordProblems(verified.Out))) EXPECT_EQ(record, lastSlot) << verified.Out;
    }
    std::string repairOutput;
    if (damaged) {
      ++stats.DamagedAfterKill;
      TToolResult repaired = RunTool({"repair", table});
      EXPECT_EQ(repaired.ExitCode, 0) << verified.Out << repaired.Out << repaired.Err;
      repairOutput = repaired.Out;
      if (!exclusive) {
        for (int64_t record : RecordsNamed(repaired.Out)) EXPECT_EQ(record, lastSlot) << repaired.Out;
      }
      TToolResult again = RunTool({"verify", table});
      EXPECT_EQ(again.ExitCode, 0) << again.Out;
    } else {
      ++stats.CleanAfterKill;
    }

    // Every completed row is there.
    std::vector<TRow> rows = ReadRows(table);
    EXPECT_GE(static_cast<int64_t>(rows.size()), completed);
    EXPECT_LE(static_cast<int64_t>(rows.size()), present + kRowsPerRun);
    ExpectRows(rows, damaged, repairOutput, lastSlot, cut);
    stats.RowsCompletedBeforeKills += completed - present;
    present = static_cast<int64_t>(rows.size());
    ++stats.Runs;
    if (::testing::Test::HasFatalFailure()) break;
  }
  stats.Rows += present;
  ShutdownEngine();
  return stats;
}

}  // namespace tarnel::test
