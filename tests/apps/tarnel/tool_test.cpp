// The tarnel program as a user runs it: the command line and its exit statuses, creating
// tables, CSV round trips of every type, bad rows, ranges, counts, info, protected tables, and
// verify and repair of a damaged table.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tool_process.h"

namespace tarnel::test {
namespace {

using ::testing::HasSubstr;

// Every type of field, with a primary index on the identifier and three secondary indexes.
const std::vector<std::string> kEveryType = {
    "--field", "Id:autoinc",        "--field", "Name:string:30:required", "--field", "Born:date",
    "--field", "Notes:memo",        "--field", "Picture:graphic",         "--field", "Data:blob",
    "--field", "Active:boolean",    "--field", "Small:smallint",          "--field", "Code:integer",
    "--field", "Ratio:float",       "--field", "Price:money",             "--field", "Amount:bcd:2",
    "--field", "Raw:bytes:4",       "--field", "At:time",                 "--field", "Stamp:timestamp",
    "--field", "Count:word",        "--field", "Var:varbytes:3",          "--primary", "Id",
    "--index", "ByName:Name:nocase", "--index", "ByCode:Code:unique",     "--index", "ByBorn:Born,Name:desc"};

const char kHeader[] = "Id,Name,Born,Notes,Picture,Data,Active,Small,Code,Ratio,Price,Amount,Raw,At,Stamp,Count,Var\r\n";

// Rows in the canonical forms export writes, with every kind of edge: extremes, NULLs (empty
// cells), memos with line breaks, quotes and commas, texts beyond ASCII.
const char kRows[] =
    "1,Alice,1990-05-17,\"line one\r\nline two, with \"\"quotes\"\"\",AAECAw==,/w==,true,-32768,-2147483648,0.1,"
    "12.34,-1.50,3q2+7w==,08:30:00,2024-01-02 03:04:05.678,65535,AQID\r\n"
    "2,Bob,,,,,,,,,,,,,,,\r\n"
    "3,\xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xE2\x82\xAC,0001-01-01,\xC3\xA7\x61 va,,,false,32767,2147483647,"
    "-1e-300,0,123456.78,AAAAAA==,23:59:59.999,1899-12-30 00:00:00,0,AAAA\r\n"
    "4,Zed,9999-12-31,,,,true,0,7,5e-324,-0.01,0.00,,00:00:00,9999-12-31 23:59:59.999,1,\r\n";

class ToolTest : public ::testing::Test {
 protected:
  std::string Table(const std::string& name = "T") const { return FDir.File(name); }

  void CreateEveryTypeTable(const std::string& name) {
    std::vector<std::string> arguments{"create", Table(name)};
    arguments.insert(arguments.end(), kEveryType.begin(), kEveryType.end());
    TToolResult created = RunTool(arguments);
    ASSERT_EQ(created.ExitCode, 0) << created.Err;
  }

  std::string WriteFile(const std::string& name, const std::string& contents) {
    std::string path = FDir.File(name);
    WriteWholeFile(path, contents);
    return path;
  }

  void ExpectClean(const std::string& name) {
    TToolResult verified = RunTool({"verify", Table(name)});
    EXPECT_EQ(verified.ExitCode, 0) << verified.Out << verified.Err;
  }

  TTempDir FDir;
};

TEST_F(ToolTest, CommandLineErrorsExitWithTwoAndHelpWithZero) {
  const std::vector<std::vector<std::string>> kUsageErrors = {
      {},
      {"frobnicate"},
      {"create"},
      {"create", Table()},  // no fields
      {"create", Table(), "--field", "A:number"},
      {"create", Table(), "--field", "A:string"},
      {"create", Table(), "--field", "A:string:251"},
      {"create", Table(), "--field", "A:integer", "--primary", "B"},
      {"create", Table(), "--field", "A:integer", "--primary", "A", "--no-primary"},
      {"create", Table(), "--field", "A:integer", "--index", "I:A:sideways"},
      {"create", Table(), "--field", "A:date", "--default", "A=31.12.1999"},
      {"import", Table()},
      {"export", Table(), "--colour"},
      {"verify", Table(), "extra"},
  };
  for (const auto& arguments : kUsageErrors) {
    TToolResult result = RunTool(arguments);
    EXPECT_EQ(result.ExitCode, 2) << (arguments.empty() ? "" : arguments[0]) << " " << result.Err;
    EXPECT_FALSE(result.Err.empty());
    EXPECT_TRUE(result.Out.empty());
  }
  EXPECT_THAT(RunTool({"create", Table(), "--field", "A:number"}).Err,
              HasSubstr("--field A:number: unknown type number\nTry 'tarnel create --help'."));

  TToolResult help = RunTool({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  for (const char* command : {"create", "import", "export", "info", "count", "verify", "repair"}) {
    EXPECT_THAT(help.Out, HasSubstr(command));
    TToolResult commandHelp = RunTool({command, "--help"});
    EXPECT_EQ(commandHelp.ExitCode, 0);
    EXPECT_THAT(commandHelp.Out, HasSubstr(std::string("Usage: tarnel ") + command));
  }
  TToolResult version = RunTool({"--version"});
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_THAT(version.Out, HasSubstr("tarnel "));
}

TEST_F(ToolTest, FailuresExitWithOneAndTheEnginesMessage) {
  TToolResult missing = RunTool({"info", Table("NONE")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_THAT(missing.Err, HasSubstr("TARNEL Engine Error # 11010 Invalid path or file name for data file"));

  TToolResult duplicate = RunTool({"create", Table(), "--field", "A:integer", "--field", "a:date"});
  EXPECT_EQ(duplicate.ExitCode, 1);
  EXPECT_THAT(duplicate.Err, HasSubstr("TARNEL Engine Error # 10038 Invalid or duplicate field name a"));
  EXPECT_EQ(FileSize(Table() + ".DAT"), -1) << "a refused table leaves no files";

  ASSERT_EQ(RunTool({"create", Table(), "--field", "A:integer"}).ExitCode, 0);
  long size = FileSize(Table() + ".DAT");
  TToolResult again = RunTool({"create", Table() + ".DAT", "--field", "B:date"});
  EXPECT_EQ(again.ExitCode, 1);
  EXPECT_THAT(again.Err, HasSubstr("T.DAT already exists"));
  EXPECT_EQ(FileSize(Table() + ".DAT"), size) << "an existing table is never overwritten";
}

TEST_F(ToolTest, EveryTypeRoundTripsThroughExportAndImport) {
  CreateEveryTypeTable("A");
  std::string csv = std::string(kHeader) + kRows;
  TToolResult imported = RunTool({"import", Table("A"), WriteFile("a.csv", csv), "--exclusive"});
  ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
  EXPECT_EQ(imported.Out, "4 rows imported\n");
  TToolResult exported = RunTool({"export", Table("A")});
  ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
  EXPECT_EQ(exported.Out, csv);
  ExpectClean("A");

  // Into a second table and out again, byte for byte: shared, without the identifiers, which
  // the second table gives in the same order.
  CreateEveryTypeTable("B");
  std::string columns = "Name,Born,Notes,Picture,Data,Active,Small,Code,Ratio,Price,Amount,Raw,At,Stamp,Count,Var";
  TToolResult withoutIds = RunTool({"export", Table("A"), "--columns", columns});
  ASSERT_EQ(withoutIds.ExitCode, 0);
  imported = RunTool({"import", Table("B"), "-"}, withoutIds.Out);
  ASSERT_EQ(imported.ExitCode, 0) << imported.Err;
  EXPECT_EQ(RunTool({"export", Table("B")}).Out, csv);
  ExpectClean("B");

  // Columns chosen and ordered, in the order of another index.
  TToolResult chosen = RunTool({"export", Table("A"), "--columns", "Code,Name", "--index", "ByCode"});
  EXPECT_EQ(chosen.Out, "Code,Name\r\n,Bob\r\n-2147483648,Alice\r\n7,Zed\r\n2147483647,\xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xE2\x82\xAC\r\n");
}

TEST_F(ToolTest, ABadRowStopsTheImportWithItsLineAndKeepsTheRowsBefore) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Id:integer", "--field", "Name:string:10:required", "--field",
                     "Born:date", "--field", "Notes:memo", "--primary", "Id"})
                .ExitCode,
            0);
  struct TCase {
    std::string Rows;
    std::string Message;
    int Imported;
  };
  const TCase kCases[] = {
      {"1,a,1990-01-01,\"two\nlines\"\r\n2,b,1990-13-01,\r\n", "line 4: field Born: '1990-13-01' is not a date (yyyy-mm-dd)", 1},
      {"10,a,,\r\n10,b,,\r\n", "line 3: TARNEL Engine Error # 9729 Duplicate key found in index Primary of data file", 1},
      {"20,,,\r\n", "line 2: TARNEL Engine Error # 9732 A value must be provided for the field Name", 0},
      {"30,a\r\n", "line 2: has 2 fields, the header 4", 0},
      {"40,abcdefghijk,,\r\n", "line 2: field Name: takes 11 bytes in the table's code page, the field holds 10", 0},
      {"50,a,,\"unclosed\r\n", "line 2: a quoted field is not closed", 0},
  };
  int expected = 0;
  for (const TCase& c : kCases) {
    std::string path = WriteFile("bad.csv", "Id,Name,Born,Notes\r\n" + c.Rows);
    TToolResult result = RunTool({"import", Table(), path});
    EXPECT_EQ(result.ExitCode, 1) << c.Rows;
    EXPECT_THAT(result.Err, HasSubstr(path + " " + c.Message)) << c.Rows;
    EXPECT_EQ(result.Out, std::to_string(c.Imported) + (c.Imported == 1 ? " row" : " rows") + " imported\n");
    expected += c.Imported;
    EXPECT_EQ(RunTool({"count", Table()}).Out, std::to_string(expected) + "\n");
  }
  TToolResult unknown = RunTool({"import", Table(), WriteFile("u.csv", "Id,Nom\r\n1,x\r\n")});
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_THAT(unknown.Err, HasSubstr("line 1: the table has no field Nom"));
  ExpectClean("T");
}

TEST_F(ToolTest, AutoIncrementValuesAreKeptOnlyWhenExclusive) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Id:autoinc", "--field", "Name:string:10", "--primary", "Id"}).ExitCode,
            0);
  std::string ids = WriteFile("ids.csv", "Id,Name\r\n5,e\r\n,f\r\n3,c\r\n");
  TToolResult shared = RunTool({"import", Table(), ids});
  EXPECT_EQ(shared.ExitCode, 1);
  EXPECT_THAT(shared.Err, HasSubstr("line 2: field Id: an auto-increment field is numbered by the table"));
  TToolResult exclusive = RunTool({"import", Table(), ids, "--exclusive"});
  ASSERT_EQ(exclusive.ExitCode, 0) << exclusive.Err;
  EXPECT_EQ(RunTool({"export", Table()}).Out, "Id,Name\r\n3,c\r\n5,e\r\n6,f\r\n");
  // Identifiers the table has handed out, and new ones given twice, are refused.
  for (const char* rows : {"6,x\r\n", "9,x\r\n9,y\r\n", ",x\r\n8,y\r\n"}) {
    TToolResult refused = RunTool({"import", Table(), WriteFile("again.csv", std::string("Id,Name\r\n") + rows), "--exclusive"});
    EXPECT_EQ(refused.ExitCode, 1) << rows;
  }
  TToolResult numbered = RunTool({"import", Table(), WriteFile("new.csv", "Name\r\nn\r\n")});
  ASSERT_EQ(numbered.ExitCode, 0);
  EXPECT_EQ(RunTool({"export", Table(), "--columns", "Id", "--range", "10:"}).Out, "Id\r\n10\r\n11\r\n");
  ExpectClean("T");
}

TEST_F(ToolTest, RangesAndCounts) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Code:integer", "--field", "Name:string:20", "--field", "At:time",
                     "--primary", "Code", "--index", "ByName:Name,Code", "--index", "ByAt:At"})
                .ExitCode,
            0);
  std::string csv = "Code,Name,At\r\n";
  for (int i = 1; i <= 50; ++i) {
    char row[64];
    std::snprintf(row, sizeof row, "%d,%s,%02d:00:00\r\n", i, i % 2 == 0 ? "even" : "odd:one", i % 24);
    csv += row;
  }
  ASSERT_EQ(RunTool({"import", Table(), WriteFile("r.csv", csv)}).ExitCode, 0);
  const std::pair<std::vector<std::string>, std::string> kCases[] = {
      {{}, "50"},
      {{"--range", "10:19"}, "10"},
      {{"--range", ":5"}, "5"},
      {{"--range", "46:"}, "5"},
      {{"--range", "20:10"}, "0"},
      {{"--index", "ByName", "--range", "even:even"}, "25"},
      {{"--index", "ByName", "--range", "\"odd:one\":\"odd:one\""}, "25"},
      {{"--index", "ByName", "--range", "even,10:even,20"}, "6"},
      {{"--index", "ByAt", "--range", "08:00:00:12:00:00"}, "10"},
      {{"--index", "Primary", "--range", "1:2"}, "2"},
      {{"--filter", "Code > 40"}, "10"},
      {{"--filter", "Code >= 10 AND Code <= 14"}, "5"},
      {{"--filter", "Code <> 1"}, "49"},
      {{"--filter", "Name = 'odd:one'"}, "25"},
      {{"--range", "1:30", "--filter", "Code > 25"}, "5"},
  };
  for (const auto& [options, count] : kCases) {
    std::vector<std::string> arguments{"count", Table()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    TToolResult result = RunTool(arguments);
    EXPECT_EQ(result.ExitCode, 0) << options.size() << result.Err;
    EXPECT_EQ(result.Out, count + "\n") << (options.empty() ? "" : options.back());
  }
  EXPECT_EQ(RunTool({"export", Table(), "--columns", "Code", "--index", "ByName", "--range", "even,46:even,50"}).Out,
            "Code\r\n46\r\n48\r\n50\r\n");
  const std::vector<std::vector<std::string>> kRefused = {
      {"--range", "a:b"},
      {"--index", "ByAt", "--range", "08:00:00"},
      {"--index", "ByName", "--range", "a:b:c"},
      {"--range", "1,2,3:4"},
      {"--filter", "Nope = 1"},
      {"--filter", "Code ~ 1"},
      {"--filter", "Code = x"},
      {"--filter", "Code = 1 OR Code = 2"},
      {"--filter", "Name = 'open"},
  };
  for (const auto& options : kRefused) {
    std::vector<std::string> arguments{"count", Table()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(RunTool(arguments).ExitCode, 2) << options.back();
  }
  EXPECT_EQ(RunTool({"count", Table(), "--index", "NoSuch"}).ExitCode, 1);
}

// Conditions no index answers are tested record by record.
TEST_F(ToolTest, FiltersOnFieldsWithoutAnIndexTestEveryRecord) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Code:integer", "--field", "Name:string:20", "--field", "Born:date",
                     "--primary", "Code", "--index", "ByName:Name:nocase"})
                .ExitCode,
            0);
  std::string csv = "Code,Name,Born\r\n";
  for (int i = 1; i <= 40; ++i) {
    csv += std::to_string(i) + "," + (i % 4 == 0 ? "Smith" : "Jones") + ",19" + std::to_string(50 + i) + "-06-01\r\n";
  }
  ASSERT_EQ(RunTool({"import", Table(), WriteFile("f.csv", csv)}).ExitCode, 0);
  const std::pair<std::string, std::string> kCases[] = {
      {"Born >= 1980-01-01", "11"},
      {"Born < 1960-01-01", "9"},
      {"Name = Smith", "10"},           // the only Name index ignores case: evaluated per record
      {"Name = Smith AND Code > 20", "5"},
      {"Code > 20 AND Born < 1975-01-01", "4"},
  };
  for (const auto& [filter, count] : kCases) {
    TToolResult result = RunTool({"count", Table(), "--filter", filter});
    EXPECT_EQ(result.Out, count + "\n") << filter;
  }
  EXPECT_EQ(RunTool({"export", Table(), "--columns", "Code", "--filter", "Name = Smith AND Born > 1985-01-01"}).Out,
            "Code\r\n36\r\n40\r\n");
}

TEST_F(ToolTest, InfoShowsTheHeaderFieldsAndIndexes) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Id:autoinc", "--field", "Name:string:20:required", "--field",
                     "Price:bcd:2", "--field", "Born:date", "--field", "Notes:memo", "--primary", "Id", "--index",
                     "ByName:Name:unique:nocase", "--default", "Price=1.5", "--min", "Born=1900-01-01", "--default",
                     "Born=date", "--description", "People we know", "--language", "0x0407"})
                .ExitCode,
            0);
  ASSERT_EQ(RunTool({"import", Table(), "-"}, "Name\r\nAnna\r\n").ExitCode, 0);
  TToolResult info = RunTool({"info", Table()});
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  for (const char* text : {"description         People we know", "records             1 (1 record slots)",
                           "language            1031 (German", "code page 1252", "Price", "bcd(2 decimals)",
                           "default 1.50", "min 1900-01-01", "default date", "ByName", "unique nocase"}) {
    EXPECT_THAT(info.Out, HasSubstr(text));
  }
  TToolResult json = RunTool({"info", Table(), "--json"});
  ASSERT_EQ(json.ExitCode, 0);
  for (const char* text : {"\"records\":1", "\"languageId\":1031", "\"name\":\"Price\",\"type\":\"bcd\",\"size\":0,\"decimals\":2",
                           "\"default\":\"1.50\"", "\"name\":\"ByName\",\"fields\":[\"Name\"],\"unique\":true"}) {
    EXPECT_THAT(json.Out, HasSubstr(text));
  }
  // The engine reads the default in the table's German formats: 1,5 is written for 1.5.
  EXPECT_EQ(RunTool({"export", Table(), "--columns", "Price"}).Out, "Price\r\n1.50\r\n");
}

TEST_F(ToolTest, AProtectedTableNeedsItsPassword) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "Id:autoinc", "--field", "Secret:memo", "--primary", "Id",
                     "--password", "Sesame"})
                .ExitCode,
            0);
  TToolResult refused = RunTool({"import", Table(), "-"}, "Secret\r\nhidden\r\n");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_THAT(refused.Err, HasSubstr("TARNEL Engine Error # 10498"));
  ASSERT_EQ(RunTool({"import", Table(), "-", "--password", "Sesame"}, "Secret\r\nhidden words\r\n").ExitCode, 0);
  EXPECT_EQ(RunTool({"export", Table(), "--password", "Sesame"}).Out, "Id,Secret\r\n1,hidden words\r\n");
  EXPECT_EQ(RunTool({"verify", Table(), "--password", "Sesame"}).ExitCode, 0);
  EXPECT_EQ(RunTool({"verify", Table(), "--password", "wrong"}).ExitCode, 1);
  EXPECT_EQ(ReadWholeFile(Table() + ".BLB").find("hidden"), std::string::npos) << "the memo is scrambled on disk";
}

TEST_F(ToolTest, VerifyListsTheDamageAndRepairMendsIt) {
  CreateEveryTypeTable("D");
  ASSERT_EQ(RunTool({"import", Table("D"), WriteFile("d.csv", std::string(kHeader) + kRows), "--exclusive"}).ExitCode, 0);
  ExpectClean("D");
  // The index header's RecordCount (offset 3974) is raised by one.
  std::string index = ReadWholeFile(Table("D") + ".IDX");
  index[3974] = static_cast<char>(index[3974] + 1);
  WriteWholeFile(Table("D") + ".IDX", index);
  TToolResult verified = RunTool({"verify", Table("D")});
  EXPECT_EQ(verified.ExitCode, 1);
  EXPECT_THAT(verified.Out, HasSubstr("D.IDX: header: RecordCount 5, the table has 4 live records\n"));
  EXPECT_THAT(verified.Out, HasSubstr("D.DAT: 1 problem ("));
  TToolResult json = RunTool({"verify", Table("D"), "--json"});
  EXPECT_EQ(json.ExitCode, 1);
  EXPECT_THAT(json.Out, HasSubstr("\"clean\":false,\"problems\":[{\"file\":\"" + Table("D") +
                                      ".IDX\",\"location\":\"header\",\"problem\":\"RecordCount 5, the table has 4 live records\"}]"));
  TToolResult repaired = RunTool({"repair", Table("D")});
  EXPECT_EQ(repaired.ExitCode, 0) << repaired.Out << repaired.Err;
  EXPECT_THAT(repaired.Out, HasSubstr("index Primary rebuilt with 4 keys"));
  EXPECT_THAT(repaired.Out, HasSubstr("no problems now"));
  ExpectClean("D");
  EXPECT_EQ(RunTool({"export", Table("D")}).Out, std::string(kHeader) + kRows);

  // A header that no longer says what the file is: the table cannot be opened, which is reported.
  std::string data = ReadWholeFile(Table("D") + ".DAT");
  data[8] = 2;
  WriteWholeFile(Table("D") + ".DAT", data);
  verified = RunTool({"verify", Table("D")});
  EXPECT_EQ(verified.ExitCode, 1);
  EXPECT_THAT(verified.Out, HasSubstr("D.DAT: open: TARNEL Engine Error # 12035"));
  EXPECT_EQ(RunTool({"repair", Table("D")}).ExitCode, 1);
}

TEST_F(ToolTest, AnExclusiveHolderKeepsOthersOut) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "A:integer", "--primary", "A"}).ExitCode, 0);
  // The exclusive import reads a pipe: it holds the table until the rows come.
  std::string pipe = FDir.File("rows");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  TToolProcess holder({"import", Table(), pipe, "--exclusive"});
  int rows = ::open(pipe.c_str(), O_WRONLY);
  ASSERT_GE(rows, 0);
  TToolResult other;
  for (int attempt = 0; attempt < 500 && other.ExitCode != 1; ++attempt) {
    other = RunTool({"count", Table()});
    if (other.ExitCode != 1) ::usleep(10000);
  }
  EXPECT_EQ(other.ExitCode, 1);
  EXPECT_THAT(other.Err, HasSubstr("TARNEL Engine Error # 11013 Access denied"));
  const char kRows[] = "A\r\n1\r\n2\r\n";
  ASSERT_EQ(::write(rows, kRows, sizeof kRows - 1), static_cast<ssize_t>(sizeof kRows - 1));
  ::close(rows);
  EXPECT_EQ(holder.Wait(), 0);
  EXPECT_EQ(RunTool({"count", Table()}).Out, "2\n");
}

TEST_F(ToolTest, AnInterruptedImportKeepsAndCountsItsRows) {
  ASSERT_EQ(RunTool({"create", Table(), "--field", "A:integer", "--primary", "A"}).ExitCode, 0);
  std::string pipe = FDir.File("rows");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (bool exclusive : {false, true}) {
    std::vector<std::string> arguments{"import", Table(), pipe};
    if (exclusive) arguments.push_back("--exclusive");
    TToolProcess import(arguments);
    int rows = ::open(pipe.c_str(), O_WRONLY);
    ASSERT_GE(rows, 0);
    std::string csv = exclusive ? "A\r\n11\r\n12\r\n13\r\n" : "A\r\n1\r\n2\r\n";
    ASSERT_EQ(::write(rows, csv.data(), csv.size()), static_cast<ssize_t>(csv.size()));
    // The rows are read and stored while the pipe stays open; then Ctrl-C. A shared table shows
    // them to others meanwhile; an exclusive one is given the time.
    std::string expected = exclusive ? "5\n" : "2\n";
    if (exclusive) ::usleep(1500000);
    for (int attempt = 0; !exclusive && attempt < 500 && RunTool({"count", Table()}).Out != expected; ++attempt) {
      ::usleep(10000);
    }
    ::kill(import.Pid(), SIGINT);
    EXPECT_EQ(import.Wait(), 1);
    ::close(rows);
    EXPECT_EQ(RunTool({"count", Table()}).Out, expected);
    ExpectClean("T");
  }
}

}  // namespace
}  // namespace tarnel::test
