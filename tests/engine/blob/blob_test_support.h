// What the BLOB file's tests share: a started engine with a temporary directory holding the
// table's BLOB file "TBL.BLB", BLOBs stored and loaded as a table does it, and raw access to the
// file's bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/base/byte_order.h"
#include "engine/blob/blob_file.h"
#include "fake_table.h"
#include "support/engine_fixture.h"

namespace tarnel::test {

class TBlobTest : public TEngineTest {
 protected:
  std::string Path() const { return FDir.File("TBL.BLB"); }

  // A new file (exclusive), not yet written.
  std::unique_ptr<TBlobFile> Create(TFakeTable& table, uint32_t blockSize = 512) {
    auto file = Make(table, blockSize, true);
    file->CreateNew();
    return file;
  }
  std::unique_ptr<TBlobFile> Open(TFakeTable& table, uint32_t blockSize = 512,
                                  bool exclusive = true) {
    auto file = Make(table, blockSize, exclusive);
    file->Open();
    return file;
  }

  // Posts `data` as the whole BLOB of `record` whose chain starts at `firstBlock`, as the table
  // does; answers the new first block.
  static int32_t Store(TBlobFile& file, int32_t firstBlock, int32_t record, const std::string& data) {
    int32_t handle = 0;
    EXPECT_EQ(file.OpenBlob(firstBlock, 1, record, handle), 0);
    EXPECT_EQ(file.TruncateBlob(handle, static_cast<int32_t>(data.size())), 0);
    EXPECT_EQ(file.WriteBlob(handle, 0, static_cast<int32_t>(data.size()), data.data()), 0);
    file.SaveBlobs();
    int32_t stored = -1;
    EXPECT_EQ(file.CloseBlob(handle, stored), 0);
    return stored;
  }

  static std::string Load(TBlobFile& file, int32_t firstBlock, int32_t record) {
    int32_t handle = 0;
    EXPECT_EQ(file.OpenBlob(firstBlock, 1, record, handle), 0);
    int32_t size = 0;
    EXPECT_EQ(file.GetBlobSize(handle, size), 0);
    std::string data(static_cast<size_t>(size), '\0');
    int32_t got = 0;
    EXPECT_EQ(file.ReadBlob(handle, 0, size, data.data(), got), 0);
    EXPECT_EQ(got, size);
    int32_t first = 0;
    EXPECT_EQ(file.CloseBlob(handle, first), 0);
    return data;
  }

  // The table's flush: blocks, then the header.
  static void Flush(TBlobFile& file) {
    file.FlushBlocks();
    file.WriteHeader(true);
  }

  // Distinct bytes for each length and seed, so that misplaced data shows.
  static std::string Pattern(size_t length, int seed = 1) {
    std::string data(length, '\0');
    for (size_t i = 0; i < length; ++i) data[i] = static_cast<char>((i * 7 + seed * 31 + i / 251) & 0xFF);
    return data;
  }

  std::string Image() const { return ReadWholeFile(Path()); }

  TBlockHeader BlockAt(uint32_t offset) const {
    std::string image = Image();
    return TBlockHeader::Decode(reinterpret_cast<const uint8_t*>(image.data()) + offset);
  }

  void PatchU32(uint32_t offset, uint32_t value) const {
    std::string image = Image();
    PutU32(reinterpret_cast<uint8_t*>(image.data()) + offset, value);
    WriteWholeFile(Path(), image);
  }
  void PatchU16(uint32_t offset, uint16_t value) const {
    std::string image = Image();
    PutU16(reinterpret_cast<uint8_t*>(image.data()) + offset, value);
    WriteWholeFile(Path(), image);
  }

 private:
  std::unique_ptr<TBlobFile> Make(TFakeTable& table, uint32_t blockSize, bool exclusive) {
    auto file = std::make_unique<TBlobFile>(table, blockSize);
    file->SetFileName(FDir.File("TBL"));
    file->SetExclusive(exclusive);
    table.Blob = file.get();
    return file;
  }
};

// Offsets inside a block header, for damaging a chain on disk.
constexpr uint32_t kNextBlockAt = 4;
constexpr uint32_t kDataLengthAt = 8;
constexpr uint32_t kOwnerRecordAt = 10;
constexpr uint32_t kTotalLengthAt = 14;

}  // namespace tarnel::test
