// How fast a transfer runs: a 100,000-record Paradox table through the program in batch mode,
// against a plain loop that inserts the same values into an engine table of the same
// definition. The transfer reads, converts and inserts; the loop only inserts. Both rates are
// printed; the transfer must stay within a small factor of the loop (reading and inserting
// dominate, not the messages and progress around them).
extern "C" {
#include <paradox.h>
}

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>

#include "engine/base/byte_order.h"
#include "engine/base/session.h"
#include "engine/table/data_file.h"
#include "paradox_writer.h"
#include "support/table_builder.h"
#include "support/temp_dir.h"
#include "transfer_test_support.h"

namespace tarnel::tolbrin {
namespace {

constexpr int kRecords = 100000;
constexpr int32_t kFirstDay = 730000;

std::string NameOf(int i) { return "Customer " + std::to_string(i * 7919 % 100000); }

double Seconds(std::chrono::steady_clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// The plain loop: the table the transfer makes (RecordID first, then the five fields).
double InsertLoopSeconds(const std::string& directory) {
  InitializeEngine();
  using test::Field;
  TTableDefinition definition = test::Definition(
      {Field(1, "RecordID", dtInteger, 4, stAutoInc), Field(2, "Id", dtInteger, 4), Field(3, "Name", dtString, 24),
       Field(4, "Amount", dtFloat, 8), Field(5, "Day", dtDate, 4), Field(6, "Qty", dtSmallInt, 2)},
      {1});
  definition.Indexes[0].Compression = cmBoth;
  std::vector<std::string> names;
  for (int i = 0; i < kRecords; ++i) names.push_back(NameOf(i));

  auto start = std::chrono::steady_clock::now();
  TDataFile table;
  table.SetFileName(directory + "/LOOP");
  table.SetExclusive(true);
  table.CreateTable(definition);
  table.Open();
  std::vector<uint8_t> image(static_cast<size_t>(table.RecordBufferSize()));
  uint8_t value[32];
  for (int i = 0; i < kRecords; ++i) {
    table.InitRecord(image.data());
    PutI32(value, i);
    table.PutField(true, 2, false, value, image.data());
    std::memset(value, 0, sizeof value);
    std::memcpy(value, names[static_cast<size_t>(i)].data(), names[static_cast<size_t>(i)].size());
    table.PutField(true, 3, false, value, image.data());
    PutF64(value, i * 0.25);
    table.PutField(true, 4, false, value, image.data());
    PutI32(value, kFirstDay + i % 3000);
    table.PutField(true, 5, false, value, image.data());
    PutU16(value, static_cast<uint16_t>(i % 1000));
    table.PutField(true, 6, false, value, image.data());
    table.InsertRecord(image.data());
  }
  table.Close();
  double seconds = Seconds(std::chrono::steady_clock::now() - start);
  ShutdownEngine();
  return seconds;
}

TEST(TransferSpeedTest, ABatchTransferOfAHundredThousandRecordsAgainstAPlainInsertLoop) {
  test::TTempDir source;
  test::TTempDir destination;
  std::vector<test::TPxRow> rows;
  rows.reserve(kRecords);
  for (int i = 0; i < kRecords; ++i) {
    rows.push_back({int64_t{i}, NameOf(i), i * 0.25, int64_t{kFirstDay + i % 3000}, int64_t{i % 1000}});
  }
  test::WriteParadoxTable(
      source.File("BIG.DB"),
      {{"Id", pxfLong, 4}, {"Name", pxfAlpha, 24}, {"Amount", pxfNumber, 8}, {"Day", pxfDate, 4}, {"Qty", pxfShort, 2}},
      rows);

  std::string command = std::string("'") + TOLBRIN_PROGRAM + "' --source '" + source.Path() + "' --dest '" +
                        destination.Path() + "' BIG.DB 2>/dev/null";
  auto start = std::chrono::steady_clock::now();
  int status = std::system(command.c_str());
  double transferSeconds = Seconds(std::chrono::steady_clock::now() - start);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  {
    test::TTransferredTable table(destination.Path(), "BIG.DB");
    EXPECT_EQ(table.Table().GetRecordCount(), kRecords);
  }

  double loopSeconds = InsertLoopSeconds(destination.Path());
  double transferRate = kRecords / transferSeconds;
  double loopRate = kRecords / loopSeconds;
  std::printf("batch transfer: %.0f records/s (%.2f s); plain insert loop: %.0f records/s (%.2f s); ratio %.2f\n",
              transferRate, transferSeconds, loopRate, loopSeconds, transferRate / loopRate);
  RecordProperty("TransferRecordsPerSecond", static_cast<int>(transferRate));
  RecordProperty("InsertLoopRecordsPerSecond", static_cast<int>(loopRate));
  EXPECT_GT(transferRate, loopRate / 4);
}

}  // namespace
}  // namespace tarnel::tolbrin
