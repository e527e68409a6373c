#include "engine/index/index_file.h"

#include <vector>

#include <gtest/gtest.h>

#include "engine/table/data_file.h"
#include "support/engine_fixture.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::Field;
using test::Index;

class IndexFileTest : public test::TEngineTest {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    TTableDefinition definition = test::Definition(
        {Field(1, "A", dtInteger), Field(2, "B", dtString, 10), Field(3, "M", dtBlob, 0, stMemo)}, {1});
    definition.Indexes.push_back(Index("ByB", {2}));
    FTable.SetFileName(FDir.File("T"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.Open();
  }

  std::vector<uint8_t> HeaderImage() {
    std::vector<uint8_t> image(kPageSize);
    FTable.IndexFile().Header().Encode(image.data());
    return image;
  }

  TDataFile FTable;
};

TEST_F(IndexFileTest, RefusedDefinitionsLeaveTheHeaderUnchanged) {
  TIndexFile& index = FTable.IndexFile();
  for (int n = 2; n <= 30; ++n) index.AddSecondaryIndex(Index("I" + std::to_string(n), {2}));
  ASSERT_EQ(index.SecondaryCount(), 30);
  std::vector<uint8_t> full = HeaderImage();
  EXPECT_EQ(EngineCodeOf([&] { index.AddSecondaryIndex(Index("Extra", {2})); }), kErrIndexLimits);
  EXPECT_EQ(HeaderImage(), full);

  FTable.Close();
  FTable.DeleteTable();
  SetUp();
  TIndexFile& fresh = FTable.IndexFile();
  std::vector<uint8_t> before = HeaderImage();
  TIndexDescriptor seventeen = Index("Wide", {2});
  seventeen.FieldCount = 17;
  struct Case {
    const char* What;
    TIndexDescriptor Definition;
    uint16_t Code;
  };
  const Case cases[] = {
      {"17 fields", seventeen, kErrIndexLimits},
      {"no name", Index("", {2}), kErrIndexNameMissing},
      {"digit first", Index("2B", {2}), kErrInvalidIndexName},
      {"same name", Index(" byb ", {1}), kErrIndexExists},
      {"blob field", Index("ByM", {3}), kErrInvalidIndexType},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EngineCodeOf([&] { fresh.AddSecondaryIndex(c.Definition); }), c.Code) << c.What;
    EXPECT_EQ(HeaderImage(), before) << c.What;
  }
  EXPECT_EQ(EngineCodeOf([&] { fresh.DefinePrimaryIndex(Index("", {1})); }), kErrPrimaryIndexExists);
}

TEST_F(IndexFileTest, DefinitionsNeedAnExclusiveFile) {
  FTable.Close();
  FTable.SetExclusive(false);
  FTable.Open();
  EXPECT_EQ(EngineCodeOf([&] { FTable.IndexFile().AddSecondaryIndex(Index("X", {2})); }),
            kErrMustBeExclusive);
}

TEST_F(IndexFileTest, PagesComeFromTheIndexFreeListBeforeTheFileGrows) {
  TIndexFile& index = FTable.IndexFile();
  index.SelectIndex(0);
  TPage* first = index.AllocatePage();
  EXPECT_EQ(first->PageOffset, 4096u);
  TPage* second = index.AllocatePage();
  EXPECT_EQ(second->PageOffset, 8192u);
  index.ReleasePageToFreeList(*first);
  index.ReleasePage(first);
  index.ReleasePage(second);
  EXPECT_EQ(index.GetDescriptor(0).FreePage, 4096u);

  index.SelectIndex(1);  // another index appends at the end
  TPage* other = index.AllocatePage();
  EXPECT_EQ(other->PageOffset, 12288u);
  index.ReleasePage(other);

  index.SelectIndex(0);
  TPage* reused = index.AllocatePage();
  EXPECT_EQ(reused->PageOffset, 4096u);
  EXPECT_EQ(index.GetDescriptor(0).FreePage, 0u);
  index.ReleasePage(reused);
  EXPECT_EQ(index.Header().EndOfFile, 16384u);
}

TEST_F(IndexFileTest, FreePagesReadBackWithTheirChain) {
  TIndexFile& index = FTable.IndexFile();
  index.SelectIndex(0);
  std::vector<TPage*> pages;
  for (int i = 0; i < 3; ++i) pages.push_back(index.AllocatePage());
  for (TPage* page : pages) {
    index.ReleasePageToFreeList(*page);
    index.ReleasePage(page);
  }
  FTable.Flush(false, true, true);
  index.InvalidatePages();
  // The free list runs from the last freed page back to the first.
  EXPECT_EQ(index.GetDescriptor(0).FreePage, 3u * 4096);
  TPage* head = index.GetPage(3 * 4096, false);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->EntryCount, 0);
  EXPECT_EQ(head->NextPage, 2u * 4096);
  index.ReleasePage(head);
  EXPECT_EQ(index.AllocatePage()->PageOffset, 3u * 4096);
  EXPECT_EQ(index.AllocatePage()->PageOffset, 2u * 4096);
  EXPECT_EQ(index.AllocatePage()->PageOffset, 1u * 4096);
  EXPECT_EQ(index.AllocatePage()->PageOffset, 4u * 4096);
}

TEST_F(IndexFileTest, FlushWritesNeighbouringPagesAndScramblingKeepsChangeCountReadable) {
  TIndexFile& index = FTable.IndexFile();
  index.SelectIndex(0);
  for (int i = 0; i < 3; ++i) {
    TPage* page = index.AllocatePage();
    page->PageType = ptLeaf;
    uint8_t key[5] = {1, 0x80, 0, 0, static_cast<uint8_t>(i)};
    page->InsertEntry(1, key, static_cast<uint32_t>(i + 1), 0);
    index.ReleasePage(page);
  }
  EXPECT_TRUE(index.FlushPages());
  EXPECT_FALSE(index.FlushPages());
  index.WriteHeader(true);
  EXPECT_EQ(test::FileSize(FDir.File("T.IDX")), 4 * 4096);
  EXPECT_FALSE(index.HeaderChanged());
}

TEST_F(IndexFileTest, PrimaryIndexWithoutFieldsMeansRecordNumberOrder) {
  FTable.Close();
  FTable.DeleteTable();
  TTableDefinition definition = test::Definition({Field(1, "A", dtInteger)}, {});
  FTable.CreateTable(definition);
  FTable.Open();
  EXPECT_TRUE(FTable.IndexFile().NoPrimaryIndex());
}

}  // namespace
}  // namespace tarnel
