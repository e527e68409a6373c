#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/index/index_file.h"
#include "engine/index/key.h"
#include "engine/index/tree_check.h"
#include "engine/table/data_file.h"
#include "support/engine_fixture.h"
#include "support/table_builder.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::Field;
using test::Index;
using Key = std::vector<uint8_t>;

struct TTreeConfig {
  int KeyLength;  // without the identifier suffix
  uint8_t Compression;
  bool Suffix;    // a non-unique secondary index, keys end in a 4-byte identifier
  bool Descending;
};

std::string Name(const TTreeConfig& c) {
  return "L" + std::to_string(c.KeyLength) + "_cm" + std::to_string(c.Compression) + (c.Suffix ? "_suffix" : "") +
         (c.Descending ? "_desc" : "");
}

// Keys are compared by bytes (a table without a language), reversed for a descending index.
struct TKeyOrder {
  bool Descending;
  bool operator()(const Key& a, const Key& b) const {
    return CompareBytes(a.data(), b.data(), static_cast<int>(a.size()), Descending) < 0;
  }
};

class BTreeModelTest : public test::TEngineTest, public ::testing::WithParamInterface<TTreeConfig> {
 protected:
  void SetUp() override {
    TEngineTest::SetUp();
    const TTreeConfig& config = GetParam();
    TTableDefinition definition;
    definition.Fields.push_back(Field(1, "Id", dtInteger));
    std::vector<uint16_t> keyFields;
    for (int remaining = config.KeyLength; remaining > 0;) {
      int part = std::min(remaining, 252);
      uint16_t number = static_cast<uint16_t>(definition.Fields.size() + 1);
      definition.Fields.push_back(Field(number, "S" + std::to_string(number), dtString, static_cast<uint8_t>(part - 2)));
      keyFields.push_back(number);
      remaining -= part;
    }
    TIndexDescriptor keyIndex;
    keyIndex.Compression = config.Compression;
    keyIndex.Descending = config.Descending;
    for (size_t i = 0; i < keyFields.size(); ++i) keyIndex.FieldNumbers[i] = keyFields[i];
    keyIndex.FieldCount = static_cast<uint8_t>(keyFields.size());
    if (config.Suffix) {
      definition.Indexes.push_back(Index("", {1}));
      keyIndex.IndexName = "Sec";
      definition.Indexes.push_back(keyIndex);
      FNumber = 1;
    } else {
      definition.Indexes.push_back(keyIndex);
      FNumber = 0;
    }
    FTable.SetFileName(FDir.File("T"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.Open();
    FIndex = &FTable.IndexFile();
    FIndex->SelectIndex(FNumber);
    FLength = FIndex->Current().KeyLength;
    ASSERT_EQ(FLength, config.KeyLength + (config.Suffix ? 4 : 0));
  }

  Key RandomKey() {
    Key key(static_cast<size_t>(FLength), 0);
    int body = GetParam().KeyLength;
    // Few distinct bytes and zero tails: neighbours share prefixes and trailing zeros.
    int significant = 1 + static_cast<int>(FRandom() % static_cast<unsigned>(std::min(body, 12)));
    for (int i = 0; i < significant; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(FRandom() % 4);
    if (FRandom() % 8 == 0) key[static_cast<size_t>(body - 1)] = 1;
    if (GetParam().Suffix) {
      for (int i = body; i < FLength; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(FRandom());
    }
    return key;
  }

  void CheckAgainstModel() {
    TTreeReport report = CheckTree(*FIndex, FNumber, true);
    ASSERT_TRUE(report.Problems.empty()) << report.Problems.front();
    ASSERT_EQ(report.Entries.size(), FModel.size());
    size_t i = 0;
    for (const auto& [key, value] : FModel) {
      ASSERT_EQ(report.Entries[i].first, key) << "entry " << i;
      ASSERT_EQ(report.Entries[i].second, value) << "entry " << i;
      ++i;
    }
    // No page is lost: every page of the file is in the tree or on the free list.
    int pages = static_cast<int>(FIndex->Header().EndOfFile / kPageSize) - 1;
    EXPECT_EQ(report.Pages + report.FreePages, pages);
  }

  TDataFile FTable;
  TIndexFile* FIndex = nullptr;
  uint8_t FNumber = 0;
  int FLength = 0;
  std::mt19937 FRandom{1234};
  std::map<Key, uint32_t, TKeyOrder> FModel{TKeyOrder{GetParam().Descending}};
};

TEST_P(BTreeModelTest, RandomInsertsDeletesAndReplacesKeepTheTreeExact) {
  std::vector<Key> present;
  uint32_t nextValue = 1;
  const int kBatches = 6;
  const int kBatchSize = GetParam().KeyLength >= 300 ? 250 : 500;
  for (int batch = 0; batch < kBatches; ++batch) {
    // Grow in the first half, shrink in the second: splits first, then merges and frees.
    bool growing = batch < kBatches / 2;
    for (int op = 0; op < kBatchSize; ++op) {
      unsigned choice = FRandom() % 10;
      if (present.empty() || (growing ? choice < 6 : choice < 2)) {
        Key key = RandomKey();
        if (FModel.count(key)) continue;
        FIndex->InsertKey(key.data(), nextValue);
        FModel[key] = nextValue++;
        present.push_back(key);
      } else if (choice < 8 || !growing) {
        size_t at = FRandom() % present.size();
        FIndex->DeleteKey(present[at].data());
        FModel.erase(present[at]);
        present[at] = present.back();
        present.pop_back();
      } else {
        size_t at = FRandom() % present.size();
        Key replacement = RandomKey();
        if (FModel.count(replacement)) continue;
        FIndex->ReplaceKey(present[at].data(), replacement.data(), nextValue);
        FModel.erase(present[at]);
        FModel[replacement] = nextValue++;
        present[at] = replacement;
      }
    }
    CheckAgainstModel();
    if (HasFatalFailure()) return;
    // Written out and read back, the tree is the same.
    FTable.Flush(false, true, true);
    FIndex->InvalidatePages();
    CheckAgainstModel();
    if (HasFatalFailure()) return;
  }
  // Emptied completely, the index gives every page back and starts again from the free list.
  for (const Key& key : present) FIndex->DeleteKey(key.data());
  FModel.clear();
  EXPECT_EQ(FIndex->GetDescriptor(FNumber).RootPage, 0u);
  uint32_t end = FIndex->Header().EndOfFile;
  Key key = RandomKey();
  FIndex->InsertKey(key.data(), 1);
  FModel[key] = 1;
  EXPECT_EQ(FIndex->Header().EndOfFile, end);
  CheckAgainstModel();
}

std::vector<TTreeConfig> Configs() {
  std::vector<TTreeConfig> configs;
  for (int length : {8, 45, 300, 1036}) {
    for (uint8_t compression : {cmNone, cmLeading, cmTrailing, cmBoth}) {
      for (bool suffix : {false, true}) {
        if (length == 1036 && suffix) continue;  // the suffix would pass the longest key
        configs.push_back({length, compression, suffix, false});
      }
      configs.push_back({length, compression, false, true});
    }
  }
  return configs;
}

INSTANTIATE_TEST_SUITE_P(Shapes, BTreeModelTest, ::testing::ValuesIn(Configs()),
                         [](const auto& info) { return Name(info.param); });

class BTreeTest : public test::TEngineTest {
 protected:
  void Make(TTableDefinition definition) {
    FTable.SetFileName(FDir.File("T"));
    FTable.SetExclusive(true);
    FTable.CreateTable(definition);
    FTable.Open();
  }
  TDataFile FTable;
};

TEST_F(BTreeTest, AFullRootLeafSplitsUnderANewRoot) {
  Make(test::Definition({Field(1, "A", dtInteger)}, {1}));
  TIndexFile& index = FTable.IndexFile();
  index.SelectIndex(0);
  int capacity = kPageDataSize / (5 + 6);  // cmNone leaf of 5-byte keys
  for (int i = 0; i <= capacity; ++i) {
    uint8_t key[5] = {1, 0x80, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
    index.InsertKey(key, static_cast<uint32_t>(i + 1));
    if (i == 0) {
      EXPECT_EQ(index.GetDescriptor(0).RootPage, 4096u);
    }
  }
  TPage* root = index.GetPage(index.GetDescriptor(0).RootPage, false);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->PageType, ptRootNode);
  ASSERT_EQ(root->EntryCount, 2);
  int total = capacity + 1;
  EXPECT_EQ(root->SubtreeCount(1), static_cast<uint32_t>(total - total / 2));
  EXPECT_EQ(root->SubtreeCount(2), static_cast<uint32_t>(total / 2));
  index.ReleasePage(root);

  // A key below every key changes the first key of every page on the leftmost path.
  uint8_t lowest[5] = {0, 0, 0, 0, 0};
  index.InsertKey(lowest, 999);
  root = index.GetPage(index.GetDescriptor(0).RootPage, false);
  EXPECT_EQ(std::vector<uint8_t>(root->Key(1), root->Key(1) + 5), std::vector<uint8_t>(lowest, lowest + 5));
  index.ReleasePage(root);
  EXPECT_TRUE(CheckTree(index, 0, false).Problems.empty());
}

TEST_F(BTreeTest, DuplicatesAndMissingKeysAreRefusedWithoutChanges) {
  TTableDefinition definition = test::Definition({Field(1, "A", dtInteger), Field(2, "B", dtInteger)}, {1});
  definition.Indexes.push_back(Index("ByB", {2}, {.Unique = true}));
  Make(definition);
  TIndexFile& index = FTable.IndexFile();
  uint8_t key[5] = {1, 0x80, 0, 0, 7};
  index.SelectIndex(1);
  index.InsertKey(key, 1);
  EXPECT_EQ(EngineCodeOf([&] { index.CheckDuplicate(key); }), kErrDuplicateKey);
  EXPECT_EQ(CurrentSession().ErrorIndexName, "ByB");
  EXPECT_EQ(EngineCodeOf([&] { index.InsertKey(key, 2); }), kErrDuplicateKey);
  uint8_t missing[5] = {1, 0x80, 0, 0, 8};
  EXPECT_NO_THROW(index.CheckDuplicate(missing));
  EXPECT_EQ(EngineCodeOf([&] { index.DeleteKey(missing); }), kErrKeyNotFound);
  index.SelectIndex(0);
  EXPECT_EQ(EngineCodeOf([&] { index.DeleteKey(missing); }), kErrKeyNotFound);
  EXPECT_EQ(CurrentSession().ErrorIndexName, "Primary");
  index.SelectIndex(1);
  TTreeReport report = CheckTree(index, 1, true);
  EXPECT_TRUE(report.Problems.empty());
  EXPECT_EQ(report.LeafEntries, 1u);
}

TEST_F(BTreeTest, WithEveryBufferPinnedTheCacheReportsCorruptBuffers) {
  Make(test::Definition({Field(1, "A", dtInteger)}, {1}));
  TIndexFile& index = FTable.IndexFile();
  index.SelectIndex(0);
  std::vector<TPage*> pinned;
  for (int i = 0; i < TIndexFile::kDefaultCacheRoom; ++i) pinned.push_back(index.AllocatePage());
  EXPECT_EQ(EngineCodeOf([&] { index.AllocatePage(); }), kErrPageBuffersCorrupt);
  // A modified, unpinned buffer is written so that its buffer can be taken.
  pinned[0]->PageType = ptLeaf;
  uint8_t key[5] = {1, 2, 3, 4, 5};
  pinned[0]->InsertEntry(1, key, 1, 0);
  index.ReleasePage(pinned[0]);
  long size = test::FileSize(FDir.File("T.IDX"));
  EXPECT_NE(index.AllocatePage(), nullptr);
  EXPECT_GT(test::FileSize(FDir.File("T.IDX")), size);
}

}  // namespace
}  // namespace tarnel
