// Eight tarnel import programs into one shared table at the same time: every row arrives once,
// the total is the sum, and the table verifies clean.
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "tool_process.h"

namespace tarnel::test {
namespace {

constexpr int kImports = 8;
constexpr int kRowsEach = 150;

TEST(ConcurrentImportTest, EightSharedImportsIntoOneTable) {
  TTempDir directory;
  std::string table = directory.File("SHARED");
  ASSERT_EQ(RunTool({"create", table, "--field", "Id:autoinc", "--field", "Source:smallint", "--field", "Seq:integer",
                     "--field", "Notes:memo", "--primary", "Id", "--index", "BySource:Source,Seq:unique"})
                .ExitCode,
            0);
  std::vector<std::string> files;
  for (int source = 1; source <= kImports; ++source) {
    std::string csv = "Source,Seq,Notes\r\n";
    for (int seq = 1; seq <= kRowsEach; ++seq) {
      csv += std::to_string(source) + "," + std::to_string(seq) + "," +
             std::string(static_cast<size_t>(seq * 13 % 700), static_cast<char>('a' + source)) + "\r\n";
    }
    files.push_back(directory.File("part" + std::to_string(source) + ".csv"));
    WriteWholeFile(files.back(), csv);
  }
  auto start = std::chrono::steady_clock::now();
  std::vector<std::unique_ptr<TToolProcess>> imports;
  for (const std::string& file : files) imports.push_back(std::make_unique<TToolProcess>(std::vector<std::string>{"import", table, file}));
  for (auto& import : imports) EXPECT_EQ(import->Wait(), 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d rows by %d programs at once in %.2f s: %.0f rows per second\n", kImports * kRowsEach, kImports, seconds,
              kImports * kRowsEach / seconds);

  EXPECT_EQ(RunTool({"count", table}).Out, std::to_string(kImports * kRowsEach) + "\n");
  TToolResult verified = RunTool({"verify", table});
  EXPECT_EQ(verified.ExitCode, 0) << verified.Out;
  TToolResult exported = RunTool({"export", table, "--index", "BySource", "--columns", "Source,Seq,Notes"});
  std::string expected = "Source,Seq,Notes\r\n";
  for (int source = 1; source <= kImports; ++source) {
    for (int seq = 1; seq <= kRowsEach; ++seq) {
      expected += std::to_string(source) + "," + std::to_string(seq) + "," +
                  std::string(static_cast<size_t>(seq * 13 % 700), static_cast<char>('a' + source)) + "\r\n";
    }
  }
  EXPECT_EQ(exported.Out, expected) << "every row once, with its memo";
  // The identifiers the programs drew are 1 to the total, each once.
  TToolResult ids = RunTool({"export", table, "--columns", "Id"});
  std::set<int> drawn;
  size_t lines = 0;
  for (size_t at = ids.Out.find("\r\n") + 2; at < ids.Out.size(); at = ids.Out.find("\r\n", at) + 2, ++lines) {
    drawn.insert(std::stoi(ids.Out.substr(at, ids.Out.find("\r\n", at) - at)));
  }
  EXPECT_EQ(lines, static_cast<size_t>(kImports * kRowsEach));
  EXPECT_EQ(drawn.size(), lines);
  EXPECT_EQ(*drawn.begin(), 1);
  EXPECT_EQ(*drawn.rbegin(), kImports * kRowsEach);
}

}  // namespace
}  // namespace tarnel::test
