// BLOB chains on disk: how many blocks a BLOB takes and how they are laid out, the free list,
// storing over an old chain, and damaged chains met while loading or freeing them.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "blob_test_support.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::TFakeTable;

class BlobChainTest : public test::TBlobTest {};

TEST_F(BlobChainTest, ChainLengthsAtTheBlockBoundaries) {
  struct TCase {
    uint32_t BlockSize;
    size_t Length;
    uint32_t Blocks;
  };
  const TCase cases[] = {
      {512, 0, 0},   {512, 1, 1},   {512, 494, 1}, {512, 495, 2}, {512, 988, 2},
      {512, 989, 3}, {512, 1000, 3}, {64, 46, 1},   {64, 47, 2},   {65535, 65518, 2},
  };
  for (const TCase& c : cases) {
    TFakeTable table;
    auto file = Create(table, c.BlockSize);
    const std::string data = Pattern(c.Length);
    int32_t first = Store(*file, 0, 1, data);
    Flush(*file);
    EXPECT_EQ(first, c.Blocks == 0 ? 0 : 512);
    EXPECT_EQ(file->Header().EndOfFile, 512 + c.Blocks * c.BlockSize) << c.Length;
    EXPECT_EQ(test::FileSize(Path()), 512 + c.Blocks * c.BlockSize);
    file.reset();
    if (c.Blocks > 0) {
      auto reopened = Open(table, c.BlockSize);
      EXPECT_EQ(Load(*reopened, first, 1), data);
    }
  }
}

TEST_F(BlobChainTest, BlocksOfAChainAtTheirOffsets) {
  TFakeTable table;
  auto file = Create(table);
  const std::string data = Pattern(1000);
  ASSERT_EQ(Store(*file, 0, 7, data), 512);
  Flush(*file);
  std::string image = Image();
  ASSERT_EQ(image.size(), 512u + 3 * 512);
  // The first block, byte by byte: PrevBlock, NextBlock, DataLength, OwnerRecord, TotalLength.
  const std::string firstHeader("\0\0\0\0" "\x00\x04\0\0" "\xEE\x01" "\x07\0\0\0" "\xE8\x03\0\0", 18);
  EXPECT_EQ(image.substr(512, 18), firstHeader);
  EXPECT_EQ(image.substr(530, 494), data.substr(0, 494));

  struct TBlockCase {
    uint32_t Offset, Prev, Next;
    uint16_t DataLength;
    uint32_t TotalLength;
  };
  const TBlockCase blocks[] = {
      {512, 0, 1024, 494, 1000}, {1024, 512, 1536, 494, 0}, {1536, 1024, 0, 12, 0}};
  for (const TBlockCase& b : blocks) {
    TBlockHeader header = BlockAt(b.Offset);
    EXPECT_EQ(header.PrevBlock, b.Prev) << b.Offset;
    EXPECT_EQ(header.NextBlock, b.Next) << b.Offset;
    EXPECT_EQ(header.DataLength, b.DataLength) << b.Offset;
    EXPECT_EQ(header.OwnerRecord, 7) << b.Offset;
    EXPECT_EQ(header.TotalLength, b.TotalLength) << b.Offset;
  }
  EXPECT_EQ(image.substr(1536 + 18, 12), data.substr(988));
}

TEST_F(BlobChainTest, ShorteningFreesTheTailAndTheLastFreedBlockIsReusedFirst) {
  TFakeTable table;
  auto file = Create(table);
  int32_t first = Store(*file, 0, 1, Pattern(1000));     // 512, 1024, 1536
  ASSERT_EQ(Store(*file, 0, 2, Pattern(10, 2)), 2048);
  ASSERT_EQ(Store(*file, first, 1, "short"), first);
  EXPECT_EQ(file->Header().FreeBlock, 1536u);
  Flush(*file);
  EXPECT_EQ(BlockAt(1536).NextBlock, 1024u);
  EXPECT_EQ(BlockAt(1024).NextBlock, 0u);
  EXPECT_EQ(BlockAt(512).NextBlock, 0u);
  EXPECT_EQ(BlockAt(512).TotalLength, 5u);

  const std::string reused = Pattern(600, 3);
  ASSERT_EQ(Store(*file, 0, 3, reused), 1536);
  Flush(*file);
  EXPECT_EQ(BlockAt(1536).NextBlock, 1024u);
  EXPECT_EQ(BlockAt(1024).PrevBlock, 1536u);
  EXPECT_EQ(BlockAt(1024).OwnerRecord, 3);
  EXPECT_EQ(file->Header().FreeBlock, 0u);
  EXPECT_EQ(file->Header().EndOfFile, 2560u);
  EXPECT_EQ(Load(*file, 1536, 3), reused);
  EXPECT_EQ(Load(*file, 512, 1), "short");
}

TEST_F(BlobChainTest, GrowingKeepsTheChainAndAppendsBlocks) {
  TFakeTable table;
  auto file = Create(table);
  int32_t first = Store(*file, 0, 1, "small");
  ASSERT_EQ(Store(*file, 0, 2, "other"), 1024);
  const std::string grown = Pattern(1000, 4);
  ASSERT_EQ(Store(*file, first, 1, grown), 512);
  Flush(*file);
  EXPECT_EQ(BlockAt(512).NextBlock, 1536u);
  EXPECT_EQ(BlockAt(1536).NextBlock, 2048u);
  EXPECT_EQ(BlockAt(2048).PrevBlock, 1536u);
  file.reset();
  auto reopened = Open(table);
  EXPECT_EQ(Load(*reopened, 512, 1), grown);
  EXPECT_EQ(Load(*reopened, 1024, 2), "other");
}

TEST_F(BlobChainTest, FiveBytesWrittenInTheMiddleAreStored) {
  TFakeTable table;
  auto file = Create(table);
  std::string data = Pattern(1000);
  int32_t first = Store(*file, 0, 1, data);
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(first, 1, 1, handle), 0);
  EXPECT_FALSE(file->FindBlob(handle)->Modified);
  ASSERT_EQ(file->WriteBlob(handle, 600, 5, "ABCDE"), 0);
  EXPECT_TRUE(file->FindBlob(handle)->Modified);
  EXPECT_EQ(file->FindBlob(handle)->Size(), 1000);
  file->SaveBlobs();
  file->CloseAllBlobs();
  Flush(*file);
  file.reset();
  data.replace(600, 5, "ABCDE");
  auto reopened = Open(table);
  EXPECT_EQ(Load(*reopened, first, 1), data);
}

TEST_F(BlobChainTest, CancelledChangesLeaveTheStoredBlob) {
  TFakeTable table;
  auto file = Create(table);
  int32_t first = Store(*file, 0, 1, "kept");
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(first, 1, 1, handle), 0);
  ASSERT_EQ(file->WriteBlob(handle, 0, 4, "lost"), 0);
  int32_t stored = 0;
  ASSERT_EQ(file->CloseBlob(handle, stored), 0);
  EXPECT_EQ(stored, first);
  EXPECT_EQ(Load(*file, first, 1), "kept");
}

TEST_F(BlobChainTest, SavingLengthZeroFreesTheWholeChain) {
  TFakeTable table;
  auto file = Create(table);
  int32_t first = Store(*file, 0, 7, Pattern(1000));
  EXPECT_EQ(Store(*file, first, 7, ""), 0);
  Flush(*file);
  // Freed in chain order, so the last block heads the free list; a free block keeps its old
  // header but for NextBlock.
  EXPECT_EQ(file->Header().FreeBlock, 1536u);
  EXPECT_EQ(BlockAt(1536).NextBlock, 1024u);
  EXPECT_EQ(BlockAt(1024).NextBlock, 512u);
  EXPECT_EQ(BlockAt(512).NextBlock, 0u);
  EXPECT_EQ(BlockAt(1024).OwnerRecord, 7);
  EXPECT_EQ(BlockAt(1024).DataLength, 494);
  EXPECT_EQ(file->Header().EndOfFile, 2048u);
}

TEST_F(BlobChainTest, TheFileStopsGrowingAtTwoBillionBytes) {
  TFakeTable table;
  Flush(*Create(table));
  PatchU32(13, 2000000512);  // EndOfFile already beyond the limit
  auto file = Open(table);
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(0, 1, 1, handle), 0);
  ASSERT_EQ(file->WriteBlob(handle, 0, 3, "abc"), 0);
  EXPECT_EQ(EngineCodeOf([&] { file->SaveBlobs(); }), kErrTableFull);
  EXPECT_EQ(file->Header().EndOfFile, 2000000512u);
}

// A file holding the 1000-byte BLOB of record 7 in blocks 512, 1024 and 1536, and the 10-byte
// BLOB of record 8 in block 2048.
class DamagedChainTest : public test::TBlobTest {
 protected:
  void SetUp() override {
    test::TBlobTest::SetUp();
    TFakeTable table;
    auto file = Create(table);
    ASSERT_EQ(Store(*file, 0, 7, Pattern(1000)), 512);
    ASSERT_EQ(Store(*file, 0, 8, Pattern(10, 8)), 2048);
    Flush(*file);
  }
};

TEST_F(DamagedChainTest, LoadingADamagedChainRaisesAndOpensNothing) {
  struct TCase {
    const char* Damage;
    uint32_t Offset;  // 0: the file is healthy, the reference is not
    uint32_t Value;
    int32_t FirstBlock;
    uint16_t Code;
  };
  const TCase cases[] = {
      {"first block owned by another record", 512 + test::kOwnerRecordAt, 9, 512, kErrBlobBuffersCorrupt},
      {"first block not on a block boundary", 0, 0, 600, kErrBlobBuffersCorrupt},
      {"first block beyond the end of the file", 0, 0, 512 + 8 * 512, kErrBlobBuffersCorrupt},
      {"first block a negative reference", 0, 0, -512, kErrBlobBuffersCorrupt},
      {"next block not on a block boundary", 512 + test::kNextBlockAt, 1000, 512, kErrBlobBuffersCorrupt},
      {"next block beyond the end of the file", 512 + test::kNextBlockAt, 512 + 80 * 512, 512, kErrBlobBuffersCorrupt},
      {"next block pointing back into the chain", 1024 + test::kNextBlockAt, 512, 512, kErrBlobBuffersCorrupt},
      {"total length beyond what the file holds", 512 + test::kTotalLengthAt, 0x7FFFFFFF, 512, kErrBlobBuffersCorrupt},
      {"total length beyond 31 bits", 512 + test::kTotalLengthAt, 0xFFFFFFF0, 512, kErrBlobBuffersCorrupt},
      {"chain ending before the total length", 1024 + test::kNextBlockAt, 0, 512, kErrEndOfBlob},
      {"chain entering a shorter block", 1024 + test::kNextBlockAt, 2048, 512, kErrEndOfBlob},
      {"data length short of a full block", 0, 0, 512, kErrEndOfBlob},
  };
  const std::string healthy = Image();
  for (const TCase& c : cases) {
    if (c.Offset != 0) {
      PatchU32(c.Offset, c.Value);
    } else if (c.Code == kErrEndOfBlob) {
      PatchU16(1024 + test::kDataLengthAt, 100);
    }
    TFakeTable table;
    auto file = Open(table);
    int32_t handle = 0;
    EXPECT_EQ(EngineCodeOf([&] { file->OpenBlob(c.FirstBlock, 1, 7, handle); }), c.Code) << c.Damage;
    EXPECT_EQ(file->OpenBlobCount(), 0) << c.Damage;
    file.reset();
    test::WriteWholeFile(Path(), healthy);
  }
}

TEST_F(DamagedChainTest, BlocksMissingFromTheDiskAreAReadErrorUnlessExclusive) {
  std::string image = Image();
  test::WriteWholeFile(Path(), image.substr(0, 1024));  // blocks 1024 and on never written
  for (bool exclusive : {false, true}) {
    TFakeTable table;
    auto file = Open(table, 512, exclusive);
    int32_t handle = 0;
    EXPECT_EQ(EngineCodeOf([&] { file->OpenBlob(512, 1, 7, handle); }),
              exclusive ? kErrEndOfBlob : kErrRead);
  }
}

TEST_F(DamagedChainTest, FreeingABrokenChainRaises9998OrIsCutInRepairMode) {
  struct TCase {
    const char* Damage;
    uint32_t Offset;
    uint32_t Value;
    const char* Message;
    uint32_t FreeBlock;  // the free list's head after the repair
  };
  const char* kInvalid = "Invalid intra-block pointer in BLOB file for physical record # 7, error fixed";
  const char* kRecursive = "Recursive intra-block pointer in BLOB file for physical record # 7, error fixed";
  const TCase cases[] = {
      {"second block owned by another record", 1024 + test::kOwnerRecordAt, 9, kInvalid, 512},
      {"last block pointing to itself", 1536 + test::kNextBlockAt, 1536, kRecursive, 1536},
      {"last block pointing back to the first", 1536 + test::kNextBlockAt, 512, kRecursive, 1536},
      {"last block pointing back into the chain", 1536 + test::kNextBlockAt, 1024, kRecursive, 1536},
      {"last block pointing beyond the file", 1536 + test::kNextBlockAt, 512 + 80 * 512, kInvalid, 1536},
      {"last block pointing into another chain", 1536 + test::kNextBlockAt, 2048, kInvalid, 1536},
  };
  for (const TCase& c : cases) {
    std::string healthy = Image();
    PatchU32(c.Offset, c.Value);
    for (bool repair : {false, true}) {
      TFakeTable table;
      table.Repair = repair;
      auto file = Open(table);
      int32_t handle = 0;
      ASSERT_EQ(file->OpenBlob(512, 1, 7, handle), 0) << c.Damage;
      ASSERT_EQ(file->TruncateBlob(handle, 0), 0);
      if (!repair) {
        EXPECT_EQ(EngineCodeOf([&] { file->SaveBlobs(); }), kErrInvalidBlobOffset) << c.Damage;
        EXPECT_EQ(GetEngineErrorText(kErrInvalidBlobOffset),
                  "Invalid blob offset into data file TBL.DAT specified");
        continue;
      }
      file->SaveBlobs();
      int32_t first = -1;
      ASSERT_EQ(file->CloseBlob(handle, first), 0);
      EXPECT_EQ(first, 0);
      EXPECT_EQ(table.Messages, std::vector<std::string>{c.Message}) << c.Damage;
      EXPECT_EQ(file->Header().FreeBlock, c.FreeBlock) << c.Damage;
      // The other record's BLOB is untouched, and the free list ends.
      EXPECT_EQ(Load(*file, 2048, 8), Pattern(10, 8));
      Flush(*file);
      uint32_t freeBlocks = 0;
      for (uint32_t block = file->Header().FreeBlock; block != 0; block = BlockAt(block).NextBlock) {
        ASSERT_LT(++freeBlocks, 4u) << c.Damage;
      }
    }
    test::WriteWholeFile(Path(), healthy);
  }
}

TEST_F(BlobChainTest, ALongChainRunningBackIntoItselfIsFoundWhereverItTurns) {
  // Thirty blocks at 512, 1024, ...: the walk meets more blocks than it keeps in its fixed room.
  TFakeTable table;
  auto file = Create(table);
  ASSERT_EQ(Store(*file, 0, 9, Pattern(30 * 494, 9)), 512);
  Flush(*file);
  file.reset();
  const std::string healthy = Image();
  auto blockAt = [](uint32_t index) { return 512 + index * 512; };
  struct TCase {
    uint32_t From, To;
  };
  for (const TCase& c : {TCase{2, 0}, TCase{18, 1}, TCase{28, 17}, TCase{28, 27}}) {
    PatchU32(blockAt(c.From) + test::kNextBlockAt, blockAt(c.To));
    TFakeTable damaged;
    auto reopened = Open(damaged);
    int32_t handle = 0;
    EXPECT_EQ(EngineCodeOf([&] { reopened->OpenBlob(static_cast<int32_t>(blockAt(0)), 1, 9, handle); }),
              kErrBlobBuffersCorrupt)
        << c.From << " to " << c.To;
    reopened.reset();
    test::WriteWholeFile(Path(), healthy);
  }
  // The last block's link is not followed by a load; freeing the chain finds it.
  PatchU32(blockAt(29) + test::kNextBlockAt, blockAt(20));
  TFakeTable damaged;
  auto reopened = Open(damaged);
  int32_t handle = 0;
  ASSERT_EQ(reopened->OpenBlob(static_cast<int32_t>(blockAt(0)), 1, 9, handle), 0);
  ASSERT_EQ(reopened->TruncateBlob(handle, 0), 0);
  EXPECT_EQ(EngineCodeOf([&] { reopened->SaveBlobs(); }), kErrInvalidBlobOffset);
}

TEST_F(DamagedChainTest, StoringOverAChainThatEntersAnotherRecordRaises) {
  PatchU32(1536 + test::kNextBlockAt, 2048);  // the last block leads into record 8's chain
  TFakeTable table;
  auto file = Open(table);
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(512, 1, 7, handle), 0);  // the 1000 bytes end before the link
  ASSERT_EQ(file->WriteBlob(handle, 1000, 600, Pattern(600).data()), 0);  // needs a 4th block
  EXPECT_EQ(EngineCodeOf([&] { file->SaveBlobs(); }), kErrBlobBuffersCorrupt);
  EXPECT_EQ(Load(*file, 2048, 8), Pattern(10, 8));
}

// The seed inputs of the blob_fuzz target (block size 64), made here so that they always match
// what the engine writes. TARNEL_WRITE_SEEDS=1 writes them into the source tree instead.
TEST_F(BlobChainTest, FuzzSeedsAreWhatTheEngineWrites) {
  struct TSeed {
    const char* Name;
    bool Scrambled;
    bool WithChains;
  };
  const TSeed seeds[] = {
      {"empty.BLB", false, false}, {"chains.BLB", false, true}, {"scrambled.BLB", true, true}};
  bool write = std::getenv("TARNEL_WRITE_SEEDS") != nullptr;
  for (const TSeed& seed : seeds) {
    TFakeTable table;
    table.Scramble = seed.Scrambled;
    auto file = Create(table, 64);
    if (seed.WithChains) {
      Store(*file, 0, 1, Pattern(100, 1));
      Store(*file, 0, 2, Pattern(10, 2));
      int32_t third = Store(*file, 0, 3, Pattern(200, 3));
      Store(*file, third, 3, Pattern(50, 3));  // leaves a free list
    }
    Flush(*file);
    file.reset();
    std::string path = std::string(TARNEL_BLOB_SEEDS) + "/" + seed.Name;
    if (write) {
      std::filesystem::create_directories(TARNEL_BLOB_SEEDS);
      test::WriteWholeFile(path, Image());
    } else {
      EXPECT_EQ(test::ReadWholeFile(path), Image()) << seed.Name;
    }
  }
}

}  // namespace
}  // namespace tarnel
