// What --index, --range and --filter select, in the program's own process: the counts, and that
// a condition an index answers reads no record while the others test each record.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "apps/tarnel/command_line.h"
#include "apps/tarnel/open_table.h"
#include "apps/tarnel/selection.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel::cli {
namespace {

using test::Field;
using test::Index;
using test::TImage;

enum : int { kCode = 1, kName, kBorn };

class SelectionTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    TTableDefinition definition = test::Definition(
        {Field(kCode, "Code", dtInteger), Field(kName, "Name", dtString, 20), Field(kBorn, "Born", dtDate)}, {kCode});
    definition.Indexes.push_back(Index("ByName", {kName, kCode}));
    TDataFile table;
    table.SetFileName(FDir.File("SEL"));
    table.SetExclusive(true);
    table.CreateTable(definition);
    table.Open();
    TImage image(table);
    for (int i = 1; i <= 100; ++i) {
      image.Init();
      image.Int(kCode, i).Text(kName, i % 10 == 0 ? "round" : "other").Int(kBorn, 730000 + i);
      table.InsertRecord(image.Data());
    }
    table.Close();
  }

  struct TSelected {
    int32_t Count;
    long RecordsTested;
  };

  TSelected Select(const std::vector<std::pair<std::string, std::string>>& options) {
    TOpenTable table(FDir.File("SEL"), TOpenOptions());
    TArguments arguments;
    for (const auto& [name, value] : options) arguments.Options[name].push_back(value);
    long before = table.File().RecordsTested();
    ApplySelection(table, arguments);
    return {table.File().GetRecordCount(), table.File().RecordsTested() - before};
  }
};

TEST_F(SelectionTest, ConditionsAnIndexAnswersReadNoRecord) {
  const std::pair<std::string, int32_t> kAnswered[] = {
      {"Code > 90", 10}, {"Code >= 10 AND Code < 20", 10}, {"Code <> 5", 99}, {"Name = round", 10},
      {"Name = round AND Code <= 50", 5}, {"Code = 1000", 0},
  };
  for (const auto& [filter, count] : kAnswered) {
    TSelected selected = Select({{"filter", filter}});
    EXPECT_EQ(selected.Count, count) << filter;
    EXPECT_EQ(selected.RecordsTested, 0) << filter;
  }
  // Born has no index: its condition is tested record by record, after the indexed one when
  // they are joined.
  TSelected born = Select({{"filter", "Born > 1999-09-12"}});
  EXPECT_GT(born.RecordsTested, 0);
  TSelected joined = Select({{"filter", "Code <= 10 AND Born > 1900-01-01"}});
  EXPECT_EQ(joined.Count, 10);
  EXPECT_EQ(joined.RecordsTested, 10) << "only the records the index kept are read";
}

TEST_F(SelectionTest, RangesOfTheFirstFieldsOfAnIndex) {
  EXPECT_EQ(Select({{"range", "11:20"}}).Count, 10);
  EXPECT_EQ(Select({{"index", "ByName"}, {"range", "round:round"}}).Count, 10);
  EXPECT_EQ(Select({{"index", "ByName"}, {"range", "round,50:round"}}).Count, 6);
  EXPECT_EQ(Select({{"index", "byname"}, {"range", ":other"}}).Count, 90);
  EXPECT_EQ(Select({{"index", "ByName"}, {"range", "other:"}, {"filter", "Code < 10"}}).Count, 9);
  EXPECT_THROW(Select({{"range", "x:y"}}), EUsageError);
  EXPECT_THROW(Select({{"index", "ByName"}, {"range", "a:b:c"}}), EUsageError);
}

}  // namespace
}  // namespace tarnel::cli
