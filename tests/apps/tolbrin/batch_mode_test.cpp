// The program in batch mode, run as scripts run it: its exit status, its messages and progress
// on standard error, the tables it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "engine/base/session.h"
#include "support/fixtures.h"
#include "support/temp_dir.h"
#include "transfer_test_support.h"

namespace tarnel::tolbrin {
namespace {

struct TRun {
  int Status = -1;
  std::string Output;
  std::string Errors;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

TRun RunProgram(const std::vector<std::string>& arguments) {
  test::TTempDir capture;
  std::string command = Quote(TOLBRIN_PROGRAM);
  for (const std::string& argument : arguments) command += " " + Quote(argument);
  command += " >" + Quote(capture.File("out")) + " 2>" + Quote(capture.File("err"));
  TRun run;
  int status = std::system(command.c_str());
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Output = test::ReadWholeFile(capture.File("out"));
  run.Errors = test::ReadWholeFile(capture.File("err"));
  return run;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(BatchModeTest, UsageErrorsExitWithTwo) {
  test::TTempDir folder;
  const std::vector<std::vector<std::string>> cases = {
      {"--source", folder.Path()},
      {"--dest", folder.Path()},
      {"--source", folder.Path(), "--dest", folder.Path(), "--bogus"},
      {"--source", folder.Path(), "--dest", folder.Path(), "--language", "Klingon"},
      {"--source", folder.Path(), "--dest", folder.Path(), "--sort", "Phone Book"},
      {"--source", folder.Path(), "--dest", folder.Path(), "--major"},
      {"--source", folder.Path() + "/missing", "--dest", folder.Path()},
  };
  for (const std::vector<std::string>& arguments : cases) {
    TRun run = RunProgram(arguments);
    EXPECT_EQ(run.Status, 2) << arguments.back();
    EXPECT_TRUE(Contains(run.Errors, "Usage: tolbrin")) << run.Errors;
  }
  TRun help = RunProgram({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_TRUE(Contains(help.Output, "--no-transliterate"));
}

TEST(BatchModeTest, NamedTablesAreTransferredWithMessagesAndProgressOnStandardError) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::string source = fixtures + "/paradox/generated";
  TRun run = RunProgram({"--source", source, "--dest", destination.Path(), "--language", "german (standard)", "--major",
                         "3", "--minor", "4", "--no-transliterate", "DIGITS.DB", "KEYED.DB"});
  EXPECT_EQ(run.Status, 0) << run.Errors;
  EXPECT_TRUE(run.Output.empty());
  const std::string expected[] = {
      " Transferring table DIGITS.DB to TARNEL table...\n",
      "Field name 1STNAME in source table DIGITS.DB does not begin with an alpha character and will be renamed in the "
      "new TARNEL data file to A1STNAME.\n",
      "A primary index was not found in source table DIGITS.DB",
      "100%\n",
      " Transferring table KEYED.DB to TARNEL table...\n",
      " 50%\n",
      "100%\n",
      "Transfer completed successfully.\n",
  };
  size_t at = 0;
  for (const std::string& part : expected) {
    size_t found = run.Errors.find(part, at);
    ASSERT_NE(found, std::string::npos) << part << " after " << at << " in\n" << run.Errors;
    at = found + part.size();
  }
  test::ExpectSameValues(source, "DIGITS.DB", destination.Path(), false);
  test::ExpectSameValues(source, "KEYED.DB", destination.Path(), false);
  test::TTransferredTable table(destination.Path(), "KEYED.DB");
  EXPECT_EQ(table.Table().LanguageId(), 0x0407);
  EXPECT_EQ(table.Table().Header().UserMajorVersion, 3);
  EXPECT_EQ(table.Table().Header().UserMinorVersion, 4);
}

TEST(BatchModeTest, WithoutTableNamesEveryTableOfTheDirectoryIsTransferred) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  TRun run = RunProgram({"--source", fixtures + "/dbase/generated", "--dest", destination.Path()});
  EXPECT_EQ(run.Status, 0) << run.Errors;
  size_t empty = run.Errors.find("table EMPTY4.DBF");
  size_t orders = run.Errors.find("table ORDERS.DBF");
  size_t people = run.Errors.find("table PEOPLE.DBF");
  EXPECT_TRUE(empty < orders && orders < people && people != std::string::npos) << run.Errors;
  for (const char* name : {"EMPTY4.DAT", "ORDERS.DAT", "PEOPLE.DAT", "PEOPLE.BLB"}) {
    EXPECT_TRUE(std::filesystem::exists(destination.File(name))) << name;
  }
}

TEST(BatchModeTest, ARefusedOrFailedTransferExitsWithOne) {
  TARNEL_REQUIRE_FIXTURES(fixtures);
  test::TTempDir destination;
  std::string source = fixtures + "/paradox/generated";
  TRun refused = RunProgram({"--source", source, "--dest", destination.Path(), "--major", "70000", "KEYED.DB"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(refused.Errors, "tolbrin: The user-defined major version # must be between 0 and 65535\n");
  EXPECT_TRUE(std::filesystem::is_empty(destination.Path()));
  TRun failed = RunProgram({"--source", source, "--dest", destination.Path(), "TYPES.DB"});
  EXPECT_EQ(failed.Status, 1);
  EXPECT_TRUE(Contains(failed.Errors, "tolbrin: " + source + "/TYPES.DB, field Exact")) << failed.Errors;
  EXPECT_FALSE(Contains(failed.Errors, "Transfer completed successfully."));
}

}  // namespace
}  // namespace tarnel::tolbrin
