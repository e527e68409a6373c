// The BLOB file as a file: its name, header, version, block size, scrambling, and the open
// BLOBs with their handles and statuses.
#include "engine/blob/blob_file.h"

#include <climits>
#include <cstring>
#include <set>

#include <gtest/gtest.h>

#include "blob_test_support.h"
#include "engine/base/scramble.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::TFakeTable;

class BlobFileTest : public test::TBlobTest {};

TEST_F(BlobFileTest, NameIsTheTableNameWithTheBlobExtension) {
  struct TCase {
    const char* Requested;
    const char* Stored;
  };
  const TCase cases[] = {
      {" dir/tbl.dat ", "dir/tbl.BLB"},
      {"tbl", "tbl.BLB"},
      {"tbl.blb", "tbl.BLB"},
      {"dir.x/tbl", "dir.x/tbl.BLB"},
      {"dir\\tbl.DAT", "dir\\tbl.BLB"},
  };
  TFakeTable table;
  for (const TCase& c : cases) {
    TBlobFile file(table, 512);
    file.SetFileName(c.Requested);
    EXPECT_EQ(file.FileName(), c.Stored) << c.Requested;
  }
}

TEST_F(BlobFileTest, NewFileIsItsHeaderAfterTheFirstFlushAndTheFirstBlockFollows) {
  TFakeTable table;
  auto file = Create(table);
  Flush(*file);
  ASSERT_EQ(test::FileSize(Path()), 512);
  std::string image = Image();
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
  EXPECT_EQ(GetI32(bytes + 0), 1);    // ChangeCount
  EXPECT_EQ(bytes[8], 3);             // Version
  EXPECT_EQ(GetU32(bytes + 9), 0u);   // FreeBlock
  EXPECT_EQ(GetU32(bytes + 13), 512u);  // EndOfFile
  EXPECT_EQ(bytes[17], 1);            // HeaderModified, as it stood when written
  EXPECT_EQ(image.find_first_not_of('\0', 18), std::string::npos);

  EXPECT_EQ(Store(*file, 0, 1, "memo"), 512);
  EXPECT_EQ(file->Header().EndOfFile, 1024u);
}

TEST_F(BlobFileTest, HeaderIsWrittenWhenModifiedOrForcedAndChangesAreSeen) {
  TFakeTable table;
  Flush(*Create(table));
  TFakeTable readerTable;
  auto reader = Open(readerTable, 512, false);
  TFakeTable writerTable;
  auto writer = Open(writerTable, 512, false);
  writer->WriteHeader(false);
  EXPECT_EQ(writer->Header().ChangeCount, 1);
  EXPECT_FALSE(reader->HeaderChanged());

  Store(*writer, 0, 1, "abc");
  writer->FlushBlocks();
  writer->WriteHeader(false);
  EXPECT_EQ(writer->Header().ChangeCount, 2);
  EXPECT_TRUE(reader->HeaderChanged());
  EXPECT_EQ(reader->Header().EndOfFile, 1024u);
  EXPECT_FALSE(reader->Header().HeaderModified);
  EXPECT_FALSE(reader->HeaderChanged());
}

TEST_F(BlobFileTest, AnotherVersionIsRefusedNamingTheBlobFile) {
  TFakeTable table;
  Flush(*Create(table));
  PatchU32(8, 2);
  auto file = std::make_unique<TBlobFile>(table, 512);
  file->SetFileName(Path());
  EXPECT_EQ(EngineCodeOf([&] { file->Open(); }), kErrWrongVersion);
  EXPECT_EQ(GetEngineErrorText(kErrWrongVersion), "Data file " + Path() + " is not the correct version");
  EXPECT_FALSE(file->Active());
}

TEST_F(BlobFileTest, BlockSizeZeroMeans512AndSizesOutsideTheRangeAreRefused) {
  struct TCase {
    uint32_t Requested;
    uint32_t Used;  // 0: refused
  };
  const TCase cases[] = {{0, 512}, {63, 0}, {64, 64}, {4096, 4096}, {65535, 65535}, {65536, 0}};
  TFakeTable table;
  for (const TCase& c : cases) {
    if (c.Used == 0) {
      EXPECT_EQ(EngineCodeOf([&] { TBlobFile file(table, c.Requested); }), kErrBlobFieldLimits)
          << c.Requested;
    } else {
      TBlobFile file(table, c.Requested);
      EXPECT_EQ(file.BlobBlockSize(), c.Used);
    }
  }
}

TEST_F(BlobFileTest, ScrambledFileDiffersFromThePlainOneInEachUnitAndReadsBackTheSame) {
  const std::string data = test::TBlobTest::Pattern(1000);
  std::string images[2];
  for (bool scrambled : {false, true}) {
    TFakeTable table;
    table.Scramble = scrambled;
    auto file = Create(table);
    ASSERT_EQ(Store(*file, 0, 7, data), 512);
    Flush(*file);
    file.reset();
    images[scrambled] = Image();
    auto reopened = Open(table);
    EXPECT_FALSE(reopened->HeaderChanged());  // its ChangeCount is read alone, descrambled
    EXPECT_EQ(Load(*reopened, 512, 7), data);
  }
  const std::string& plain = images[0];
  std::string scrambled = images[1];
  ASSERT_EQ(plain.size(), scrambled.size());
  EXPECT_NE(plain.substr(0, 512), scrambled.substr(0, 512));
  EXPECT_NE(plain.substr(512, 18), scrambled.substr(512, 18));
  EXPECT_NE(plain.substr(530, 494), scrambled.substr(530, 494));
  // The header, each block header and each data part are units of their own.
  auto* bytes = reinterpret_cast<uint8_t*>(scrambled.data());
  ScrambleBlock(bytes, 512, kBlockKey1, kBlockKey2);
  for (size_t block = 512; block < scrambled.size(); block += 512) {
    ScrambleBlock(bytes + block, 18, kBlockKey1, kBlockKey2);
    ScrambleBlock(bytes + block + 18, 494, kBlockKey1, kBlockKey2);
  }
  EXPECT_EQ(scrambled, plain);

  TFakeTable plainTable;
  auto unscrambled = std::make_unique<TBlobFile>(plainTable, 512);
  unscrambled->SetFileName(Path());
  test::WriteWholeFile(Path(), images[1]);
  EXPECT_EQ(EngineCodeOf([&] { unscrambled->Open(); }), kErrWrongVersion);
}

TEST_F(BlobFileTest, HandlesAreNegativeDistinctAndSixtyFiveAreTooMany) {
  TFakeTable table;
  auto file = Create(table);
  std::set<int32_t> handles;
  for (int i = 0; i < TBlobFile::kMaxOpenBlobs; ++i) {
    int32_t handle = 0;
    ASSERT_EQ(file->OpenBlob(0, 1, 1, handle), 0);
    EXPECT_LT(handle, 0);
    handles.insert(handle);
  }
  EXPECT_EQ(handles.size(), 64u);
  int32_t handle = 0;
  ClearErrorContext();
  EXPECT_EQ(file->OpenBlob(0, 1, 1, handle), kErrTooManyBlobs);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(file->OpenBlobCount(), 64);
  EXPECT_EQ(GetEngineErrorText(kErrTooManyBlobs), "Too many blobs opened in data file TBL.DAT");

  // A closed handle is unknown; a new BLOB gets a handle no open one has.
  int32_t first = -1;
  int32_t closed = *handles.begin();
  ASSERT_EQ(file->CloseBlob(closed, first), 0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(file->FindBlob(closed), nullptr);
  ASSERT_EQ(file->OpenBlob(0, 1, 1, handle), 0);
  handles.erase(closed);
  EXPECT_EQ(handles.count(handle), 0u);
  file->CloseAllBlobs();
  EXPECT_EQ(file->OpenBlobCount(), 0);
}

TEST_F(BlobFileTest, UnknownHandlesAnswer10030) {
  TFakeTable table;
  auto file = Create(table);
  int32_t open = 0;
  ASSERT_EQ(file->OpenBlob(0, 1, 1, open), 0);
  int32_t closed = 0;
  ASSERT_EQ(file->OpenBlob(0, 2, 1, closed), 0);
  int32_t first = 0;
  ASSERT_EQ(file->CloseBlob(closed, first), 0);
  for (int32_t handle : {closed, 0, 512, open - 100}) {
    char buffer[4] = {};
    int32_t count = 99;
    int32_t size = 99;
    EXPECT_EQ(file->CloseBlob(handle, first), kErrInvalidBlobHandle);
    EXPECT_EQ(file->ReadBlob(handle, 0, 4, buffer, count), kErrInvalidBlobHandle);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(file->WriteBlob(handle, 0, 4, buffer), kErrInvalidBlobHandle);
    EXPECT_EQ(file->TruncateBlob(handle, 4), kErrInvalidBlobHandle);
    EXPECT_EQ(file->GetBlobSize(handle, size), kErrInvalidBlobHandle);
    EXPECT_EQ(size, 0);
  }
  EXPECT_EQ(GetEngineErrorText(kErrInvalidBlobHandle),
            "Invalid blob handle for data file TBL.DAT specified");
  EXPECT_EQ(file->OpenBlobCount(), 1);
}

TEST_F(BlobFileTest, ReadsBeyondTheEndAreShortWith8711) {
  struct TCase {
    int32_t Offset;
    int32_t Count;
    int32_t Got;
    uint16_t Status;
  };
  const TCase cases[] = {
      {0, 100, 100, 0},       {10, 0, 0, 0},          {99, 10, 1, kErrEndOfBlob},
      {100, 1, 0, kErrEndOfBlob}, {150, 0, 0, kErrEndOfBlob}, {0, 101, 100, kErrEndOfBlob},
      {-1, 5, 0, kErrInvalidBlobLength}, {0, -5, 0, kErrInvalidBlobLength},
  };
  TFakeTable table;
  auto file = Create(table);
  const std::string data = Pattern(100);
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(0, 1, 1, handle), 0);
  ASSERT_EQ(file->WriteBlob(handle, 0, 100, data.data()), 0);
  for (const TCase& c : cases) {
    std::string buffer(200, '\0');
    int32_t got = -1;
    EXPECT_EQ(file->ReadBlob(handle, c.Offset, c.Count, buffer.data(), got), c.Status)
        << c.Offset << " " << c.Count;
    EXPECT_EQ(got, c.Got);
    if (c.Got > 0) {
      EXPECT_EQ(buffer.substr(0, static_cast<size_t>(got)),
                data.substr(static_cast<size_t>(c.Offset), static_cast<size_t>(got)));
    }
  }
}

TEST_F(BlobFileTest, WritesAndTruncationsChangeTheSizeAndMarkTheBlobModified) {
  TFakeTable table;
  auto file = Create(table);
  int32_t handle = 0;
  ASSERT_EQ(file->OpenBlob(0, 1, 1, handle), 0);
  const TBlobBuffer* blob = file->FindBlob(handle);
  ASSERT_NE(blob, nullptr);
  EXPECT_FALSE(blob->Modified);
  EXPECT_EQ(file->TruncateBlob(handle, 0), 0);
  EXPECT_FALSE(blob->Modified);  // no change

  ASSERT_EQ(file->WriteBlob(handle, 10, 3, "abc"), 0);  // grows, zero-filled
  EXPECT_EQ(blob->Size(), 13);
  EXPECT_EQ(std::string(blob->Data.begin(), blob->Data.end()), std::string(10, '\0') + "abc");
  EXPECT_TRUE(blob->Modified);
  EXPECT_EQ(file->TruncateBlob(handle, 11), 0);
  EXPECT_EQ(file->TruncateBlob(handle, 15), 0);
  EXPECT_EQ(std::string(blob->Data.begin(), blob->Data.end()), std::string(10, '\0') + "a" + std::string(4, '\0'));

  EXPECT_EQ(file->WriteBlob(handle, INT32_MAX, 1, "x"), kErrInvalidBlobLength);
  EXPECT_EQ(file->WriteBlob(handle, -1, 1, "x"), kErrInvalidBlobLength);
  EXPECT_EQ(file->TruncateBlob(handle, -1), kErrInvalidBlobLength);
  EXPECT_EQ(blob->Size(), 15);
}

TEST_F(BlobFileTest, PostingStoresEachModifiedBlobAndPutsItsReferenceIntoTheRecord) {
  TFakeTable table;
  auto file = Create(table);
  int32_t memo = 0;
  int32_t empty = 0;
  ASSERT_EQ(file->OpenBlob(0, 2, 0, memo), 0);
  ASSERT_EQ(file->OpenBlob(0, 3, 0, empty), 0);
  ASSERT_EQ(file->WriteBlob(memo, 0, 4, "memo"), 0);
  file->SetBlobsRecord(5);
  file->SaveBlobs();
  uint8_t record[30];
  std::memset(record, 0xEE, sizeof record);
  file->StoreBlobRefs(record, [](uint16_t field) -> uint16_t { return field == 2 ? 9 : 20; });
  EXPECT_EQ(record[9], 1);
  EXPECT_EQ(GetI32(record + 10), 512);
  EXPECT_EQ(record[20], 0);
  EXPECT_EQ(GetI32(record + 21), 0);
  EXPECT_EQ(record[14], 0xEE);
  EXPECT_FALSE(file->FindBlob(memo)->Modified);
  Flush(*file);
  EXPECT_EQ(BlockAt(512).OwnerRecord, 5);
}

TEST_F(BlobFileTest, ModifiedBlobsOfTwoRecordsAreNotSavedTogether) {
  TFakeTable table;
  auto file = Create(table);
  int32_t first = 0;
  int32_t second = 0;
  ASSERT_EQ(file->OpenBlob(0, 1, 1, first), 0);
  ASSERT_EQ(file->OpenBlob(0, 1, 2, second), 0);
  ASSERT_EQ(file->WriteBlob(first, 0, 1, "a"), 0);
  ASSERT_EQ(file->WriteBlob(second, 0, 1, "b"), 0);
  EXPECT_EQ(EngineCodeOf([&] { file->SaveBlobs(); }), kErrBlobBuffersCorrupt);
  EXPECT_EQ(GetEngineErrorText(kErrBlobBuffersCorrupt), "BLOB block buffers corrupt in data file TBL.DAT");
  EXPECT_EQ(file->FindBlob(first)->FirstBlock, 0);
  EXPECT_EQ(file->Header().EndOfFile, 512u);
}

TEST_F(BlobFileTest, EmptyingCutsTheFileToItsHeaderOnlyWhenExclusive) {
  TFakeTable table;
  {
    auto file = Create(table);
    Store(*file, 0, 1, Pattern(2000));
    int32_t shortened = Store(*file, 0, 2, Pattern(1000));
    Store(*file, shortened, 2, "x");
    Flush(*file);
    EXPECT_NE(file->Header().FreeBlock, 0u);
  }
  TFakeTable shared;
  EXPECT_EQ(EngineCodeOf([&] { Open(shared, 512, false)->EmptyBlobs(); }), kErrMustBeExclusive);

  auto file = Open(table);
  Store(*file, 0, 3, "pending");  // a modified block in the cache, beyond the new end
  file->EmptyBlobs();
  EXPECT_EQ(test::FileSize(Path()), 512);
  EXPECT_EQ(file->Header().EndOfFile, 512u);
  EXPECT_EQ(file->Header().FreeBlock, 0u);
  EXPECT_TRUE(file->Header().HeaderModified);
  Flush(*file);
  EXPECT_EQ(test::FileSize(Path()), 512);
  EXPECT_EQ(Store(*file, 0, 4, "new"), 512);
}

}  // namespace
}  // namespace tarnel
