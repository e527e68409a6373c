// The block cache as the file handler sees it (through the I/O log): chains read ahead in one
// read, modified neighbours written in one write, growth only inside a batch, and a change by
// another program found before a read restarting the load.
#include "engine/blob/block_cache.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "blob_test_support.h"

namespace tarnel {
namespace {

using test::TFakeTable;

// The I/O log is written into the current directory: the test's own.
class BlockCacheTest : public test::TBlobTest {
 protected:
  void SetUp() override {
    test::TBlobTest::SetUp();
    FOldDir = std::filesystem::current_path();
    std::filesystem::current_path(FDir.Path());
  }
  void TearDown() override {
    std::filesystem::current_path(FOldDir);
    test::TBlobTest::TearDown();
  }

  static constexpr int kChangeCountSize = 4;

  struct TIo {
    std::vector<int> Reads;
    std::vector<int> Writes;
  };
  // The sizes of the reads and writes of TBL.BLB logged since the last call.
  TIo TakeLog() {
    std::string log = test::ReadWholeFile(FDir.File("tarnelio.log"));
    std::istringstream lines(log.substr(std::min(FLogMark, log.size())));
    FLogMark = log.size();
    TIo io;
    const std::string read = "Read from file " + Path() + " of ";
    const std::string write = "Write to file " + Path() + " of ";
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(read, 0) == 0) {
        int count = std::stoi(line.substr(read.size()));
        if (count != kChangeCountSize) io.Reads.push_back(count);
      }
      if (line.rfind(write, 0) == 0) io.Writes.push_back(std::stoi(line.substr(write.size())));
    }
    return io;
  }

  // Opened shared with the I/O log on; what opening logged is taken. Tables that check for
  // changes before each read read the header's ChangeCount too (4 bytes); those reads are left
  // out of the log's reads.
  std::unique_ptr<TBlobFile> OpenLogged(TFakeTable& table, uint32_t blockSize = 512) {
    auto file = std::make_unique<TBlobFile>(table, blockSize);
    file->SetFileName(Path());
    file->SetLogActive(true);
    table.Blob = file.get();
    file->Open();
    TakeLog();
    return file;
  }

  std::filesystem::path FOldDir;
  size_t FLogMark = 0;
};

TEST_F(BlockCacheTest, AChainIsReadAheadAsFarAsItNeedsInOneRead) {
  struct TCase {
    const char* Shape;
    size_t Length;
    std::vector<int> Reads;
  };
  // Nothing says how long the chain is before its first block is read: that read takes four
  // blocks along, then the chain's length decides.
  const TCase cases[] = {
      {"one block", 100, {512}},  // the file ends there
      {"ten blocks", 10 * 494, {4 * 512, 6 * 512}},
      {"beyond one read", 200 * 494, {4 * 512, 127 * 512, 69 * 512}},
  };
  for (const TCase& c : cases) {
    TFakeTable table;
    const std::string data = Pattern(c.Length);
    {
      auto file = Create(table);
      Store(*file, 0, 1, data);
      Flush(*file);
    }
    TFakeTable reader;
    auto file = OpenLogged(reader);
    EXPECT_EQ(Load(*file, 512, 1), data) << c.Shape;
    EXPECT_EQ(TakeLog().Reads, c.Reads) << c.Shape;
    Load(*file, 512, 1);
    EXPECT_TRUE(TakeLog().Reads.empty()) << c.Shape;
  }
}

TEST_F(BlockCacheTest, ReadAheadStopsAtTheEndOfTheFile) {
  TFakeTable table;
  const std::string data = Pattern(1000);
  {
    auto file = Create(table);
    int32_t first[5];
    for (int record = 1; record <= 5; ++record) first[record - 1] = Store(*file, 0, record, "x");
    for (int record : {2, 5, 1}) Store(*file, first[record - 1], record, "");
    // The free list now leads 512, 2560 (the last block of the file), 1024.
    ASSERT_EQ(Store(*file, 0, 6, data), 512);
    Flush(*file);
    ASSERT_EQ(BlockAt(512).NextBlock, 2560u);
  }
  TFakeTable reader;
  auto file = OpenLogged(reader);
  EXPECT_EQ(Load(*file, 512, 6), data);
  // Blocks 512 to 2048 in the first read, then the last block alone; 1024 was read already.
  EXPECT_EQ(TakeLog().Reads, (std::vector<int>{4 * 512, 512}));
}

TEST_F(BlockCacheTest, ModifiedNeighboursAreWrittenInOneWriteSortedByOffset) {
  TFakeTable table;
  Flush(*Create(table));
  auto file = OpenLogged(table);
  int32_t a = Store(*file, 0, 1, Pattern(1000, 1));  // 512, 1024, 1536
  Store(*file, 0, 2, Pattern(10, 2));                 // 2048
  int32_t c = Store(*file, 0, 3, Pattern(600, 3));    // 2560, 3072
  TakeLog();
  Flush(*file);
  EXPECT_EQ(TakeLog().Writes, (std::vector<int>{6 * 512, 512}));

  Store(*file, c, 3, Pattern(600, 4));
  Store(*file, a, 1, Pattern(1000, 5));
  file->FlushBlocks();
  EXPECT_EQ(TakeLog().Writes, (std::vector<int>{3 * 512, 2 * 512}));
  file->FlushBlocks();
  EXPECT_TRUE(TakeLog().Writes.empty());
}

TEST_F(BlockCacheTest, TheCacheGrowsOnlyInsideABatch) {
  constexpr uint32_t kBlockSize = 16384;  // room for 262140 div 16384 = 15 blocks
  const std::string data = Pattern(20 * (kBlockSize - 18));
  for (bool batch : {false, true}) {
    TFakeTable table;
    Flush(*Create(table, kBlockSize));
    table.Batch = batch;
    auto file = OpenLogged(table, kBlockSize);
    Store(*file, 0, 1, data);
    if (batch) {
      EXPECT_TRUE(TakeLog().Writes.empty());
      EXPECT_EQ(file->CachedBlockCount(), 20);
      file->FlushBlocks();
      EXPECT_EQ(TakeLog().Writes, std::vector<int>{20 * kBlockSize});
    } else {
      EXPECT_FALSE(TakeLog().Writes.empty());  // a full cache writes to make room
      EXPECT_LE(file->CachedBlockCount(), 15);
      file->FlushBlocks();
    }
    file->TrimBlockCache();
    EXPECT_EQ(file->CachedBlockCount(), 15);
    file->WriteHeader(true);
    table.Batch = false;
    file->InvalidateBlocks();
    EXPECT_EQ(Load(*file, 512, 1), data);
  }
}

TEST_F(BlockCacheTest, AChangeFoundBeforeAReadRestartsTheLoad) {
  // Seven blocks: the chain takes two reads.
  const std::string before = Pattern(3000, 1);
  const std::string after = Pattern(3000, 2);
  for (bool readLockPerOperation : {false, true}) {
    {
      TFakeTable table;
      auto file = Create(table);
      Store(*file, 0, 1, before);
      Flush(*file);
    }
    TFakeTable writerTable;
    auto writer = Open(writerTable, 512, false);
    TFakeTable readerTable;
    readerTable.ReadLockPerOp = readLockPerOperation;
    auto reader = Open(readerTable, 512, false);
    // Another program rewrites the BLOB between the reader's first and second read.
    readerTable.BeforeChangeCheck = [&] {
      if (readerTable.ChangeChecks != 2) return;
      Store(*writer, 512, 1, after);
      Flush(*writer);
    };
    if (readLockPerOperation) {
      // The table took its read lock for the whole operation: no check, no other writer.
      EXPECT_EQ(Load(*reader, 512, 1), before);
      EXPECT_EQ(readerTable.ChangeChecks, 0);
    } else {
      EXPECT_EQ(Load(*reader, 512, 1), after);
      EXPECT_EQ(readerTable.ChangeChecks, 4);
      EXPECT_EQ(reader->Header().ChangeCount, writer->Header().ChangeCount);
    }
  }
}

}  // namespace
}  // namespace tarnel
