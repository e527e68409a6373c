// The index cursor and counts: positions known from one descent, key-range counts from two,
// walks that read every leaf once, and moves inside ranges and filters.
#include <vector>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/index/index_file.h"
#include "engine/index/key_encoding.h"
#include "engine/index/tree_check.h"
#include "engine/table/data_file.h"
#include "support/engine_fixture.h"
#include "support/record_image.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::Field;
using test::Index;
using test::TImage;

std::vector<uint8_t> IntegerKey(int32_t value) {
  std::vector<uint8_t> key(kKeyBufferSize, 0);
  key[0] = 1;
  EncodeKeyInteger(value, key.data() + 1);
  return key;
}

class IndexCursorTest : public test::TEngineTest {
 protected:
  // A table whose primary index holds `count` keys 0, 2, 4, ... (inserted without records, so
  // that large indexes are quick to make).
  void MakeIndex(int count) {
    FTable.SetFileName(FDir.File("C"));
    FTable.SetExclusive(true);
    FTable.CreateTable(test::Definition({Field(1, "Code", dtInteger)}, {1}));
    FTable.Open();
    FIndex = &FTable.IndexFile();
    FIndex->SelectIndex(0);
    for (int i = 0; i < count; ++i) {
      FIndex->InsertKey(IntegerKey(2 * i).data(), static_cast<uint32_t>(i + 1));
      FIndex->IncrementRecordCount();
    }
    FTable.Flush(false, true, true);
  }

  // A table of `count` records with Code = n in record n and a secondary index on Code.
  void MakeTable(int count) {
    TTableDefinition definition =
        test::Definition({Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Code", dtInteger)}, {1});
    definition.Indexes.push_back(Index("ByCode", {2}));
    FTable.SetFileName(FDir.File("C"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.Open();
    TImage image(FTable);
    for (int i = 1; i <= count; ++i) {
      image.Init();
      image.Int(2, i);
      FTable.InsertRecord(image.Data());
    }
    FIndex = &FTable.IndexFile();
  }

  TDataFile FTable;
  TIndexFile* FIndex = nullptr;
};

TEST_F(IndexCursorTest, CountsCostTwoDescentsAndPositionsOne) {
  const int kCount = 100000;
  MakeIndex(kCount);
  TTreeReport tree = CheckTree(*FIndex, 0, false);
  ASSERT_TRUE(tree.Problems.empty());
  ASSERT_EQ(tree.Depth, 3);
  struct Case {
    int32_t Low;
    int32_t High;
    int32_t Count;
  };
  const Case cases[] = {{0, 199998, kCount}, {-100, -1, 0}, {1, 1, 0}, {10, 20, 6}, {33333, 66666, 16667},
                        {199998, 300000, 1}, {50, 40, 0}};
  for (const Case& c : cases) {
    FIndex->InvalidatePages();
    long before = FIndex->PageReads();
    EXPECT_EQ(FIndex->CountKeyRange(IntegerKey(c.Low).data(), IntegerKey(c.High).data()), c.Count) << c.Low;
    EXPECT_LE(FIndex->PageReads() - before, 2 * tree.Depth + 2) << c.Low;
  }
  FIndex->InvalidatePages();
  long before = FIndex->PageReads();
  FIndex->LastKey();
  EXPECT_EQ(FIndex->Position(), kCount);
  EXPECT_EQ(FIndex->PageReads() - before, tree.Depth);
  FIndex->MoveBy(-1);
  EXPECT_EQ(FIndex->Position(), kCount - 1);
  // A walk through the whole index reads every page once.
  FIndex->InvalidatePages();
  before = FIndex->PageReads();
  FIndex->FirstKey();
  int steps = 1;
  while (true) {
    FIndex->MoveBy(1);
    if (FIndex->AtEOF()) break;
    ++steps;
  }
  EXPECT_EQ(steps, kCount);
  // Every leaf once, and the interior pages of the first descent.
  EXPECT_LE(FIndex->PageReads() - before, tree.Pages);
}

TEST_F(IndexCursorTest, NearestSearchesLandAtLeafBoundariesAndTheEnd) {
  MakeIndex(1000);
  // The last key of the first leaf and the first of the second.
  FIndex->FirstKey();
  int32_t firstLeafCount = 0;
  uint32_t firstLeaf = 0;
  {
    TPage* leaf = FIndex->GetPage(FIndex->GetDescriptor(0).RootPage, false);
    firstLeaf = leaf->Value(1);
    FIndex->ReleasePage(leaf);
    TPage* page = FIndex->GetPage(firstLeaf, false);
    firstLeafCount = page->EntryCount;
    FIndex->ReleasePage(page);
  }
  int32_t between = 2 * (firstLeafCount - 1) + 1;  // above the first leaf's last key, below the next
  EXPECT_FALSE(FIndex->FindNearest(IntegerKey(between).data(), true, false));
  EXPECT_EQ(FIndex->Position(), firstLeafCount + 1);
  EXPECT_FALSE(FIndex->FindNearest(IntegerKey(1000000).data(), true, false));
  EXPECT_TRUE(FIndex->AtEOF());
  EXPECT_EQ(FIndex->Position(), 1000);
  EXPECT_TRUE(FIndex->FindNearest(IntegerKey(10).data(), true, false));
  EXPECT_EQ(FIndex->Position(), 6);
  EXPECT_FALSE(FIndex->AtEOF());
  // Four entries before the end, five steps move four and stop at the end.
  FIndex->FindNearest(IntegerKey(2 * 995).data(), true, false);
  FIndex->MoveBy(5);
  EXPECT_TRUE(FIndex->AtEOF());
  EXPECT_EQ(FIndex->Position(), 1000);
}

TEST_F(IndexCursorTest, AnEmptyIndexGivesBothEnds) {
  MakeIndex(0);
  FIndex->FirstKey();
  EXPECT_TRUE(FIndex->AtBOF());
  EXPECT_TRUE(FIndex->AtEOF());
  EXPECT_EQ(FIndex->Position(), 0);
  EXPECT_EQ(FIndex->CurrentRecordNumber(), 0);
}

TEST_F(IndexCursorTest, RangesStopMovesAtTheirEnds) {
  MakeTable(100);
  FTable.SetIndexName("ByCode");
  TImage low(FTable);
  TImage high(FTable);
  low.Int(2, 10);
  high.Int(2, 20);
  FTable.SetRange(false, low.Data(), 0, 1, high.Data(), 0, 1);
  EXPECT_EQ(FTable.GetRecordCount(), 11);
  TImage key(FTable);
  key.Int(2, 20);
  ASSERT_TRUE(FTable.GotoKey(false, key.Data(), nullptr, 0, false, 1));
  FIndex->MoveBy(1);
  EXPECT_TRUE(FIndex->AtEOF());
  EXPECT_EQ(FIndex->CurrentRecordNumber(), 21);  // resting on the first entry beyond the range
  // A start above the end is an empty range.
  FTable.SetRange(false, high.Data(), 0, 1, low.Data(), 0, 1);
  EXPECT_EQ(FTable.GetRecordCount(), 0);
}

TEST_F(IndexCursorTest, FiltersHideEntriesThatMovesPassOver) {
  MakeTable(100);
  FTable.SetIndexName("ByCode");
  TFilter* even = nullptr;
  ASSERT_EQ(FTable.AddFilter([](const uint8_t* image, int32_t) { return GetI32(image + 10) % 2 == 0; }, &even), 0);
  ASSERT_EQ(FTable.ActivateFilter(even), 0);
  EXPECT_EQ(FTable.GetRecordCount(), 50);
  FIndex->FirstKey();
  EXPECT_EQ(FIndex->Position(), 2);
  FIndex->MoveBy(1);
  EXPECT_EQ(FIndex->Position(), 4);
  // A new record that passes the filter is counted without rebuilding anything.
  long reads = FTable.RecordReads();
  TImage image(FTable);
  image.Init();
  image.Int(2, 200);
  FTable.InsertRecord(image.Data());
  EXPECT_EQ(FTable.GetRecordCount(), 51);
  EXPECT_EQ(FTable.RecordReads(), reads);
  EXPECT_EQ(FTable.DropFilter(even), 0);
  EXPECT_EQ(FTable.DropFilter(even), kErrInvalidFilterHandle);
  EXPECT_EQ(FTable.GetRecordCount(), 101);

  std::vector<TFilter*> handles(TIndexFile::kMaxFilters);
  for (TFilter*& handle : handles) {
    ASSERT_EQ(FTable.AddFilter([](const uint8_t*, int32_t) { return true; }, &handle), 0);
  }
  TFilter* extra = nullptr;
  EXPECT_EQ(test::EngineCodeOf([&] { FTable.AddFilter([](const uint8_t*, int32_t) { return true; }, &extra); }),
            kErrTooManyFilters);
}

TEST_F(IndexCursorTest, FindKeyOnTheFieldsOfANonUniqueIndexFindsTheFirstRecord) {
  TTableDefinition definition = test::Definition(
      {Field(1, "Id", dtInteger, 0, stAutoInc), Field(2, "Group", dtInteger), Field(3, "Code", dtInteger)}, {1});
  definition.Indexes.push_back(Index("ByGroup", {2}));
  FTable.SetFileName(FDir.File("G"));
  FTable.SetExclusive(true);
  FTable.CreateTable(definition);
  FTable.Open();
  TImage image(FTable);
  for (int i = 1; i <= 600; ++i) {
    image.Init();
    image.Int(2, i % 7).Int(3, i);
    FTable.InsertRecord(image.Data());
  }
  FTable.SetIndexName("ByGroup");
  TImage key(FTable);
  key.Int(2, 3);
  TImage found(FTable);
  ASSERT_TRUE(FTable.FindExactKey(key.Data(), found.Data()));
  EXPECT_EQ(found.GetInt(3), 3);  // the first record of group 3 by identifier
  int before = 0;
  for (int i = 1; i <= 600; ++i) before += i % 7 < 3 ? 1 : 0;
  EXPECT_EQ(FTable.GetSequenceNumber(), before + 1);
}

TEST_F(IndexCursorTest, ConsecutiveRunsFollowTheRecordNumbersOfALeaf) {
  MakeIndex(0);
  for (uint32_t recordNo : {5u, 6u, 7u, 9u, 10u}) {
    FIndex->InsertKey(IntegerKey(static_cast<int32_t>(recordNo)).data(), recordNo);
    FIndex->IncrementRecordCount();
  }
  FIndex->FirstKey();
  EXPECT_EQ(FIndex->ConsecutiveRun(10, true), 3);
  EXPECT_EQ(FIndex->ConsecutiveRun(2, true), 2);
  FIndex->LastKey();
  EXPECT_EQ(FIndex->ConsecutiveRun(10, false), 2);
}

}  // namespace
}  // namespace tarnel
