#include "platform/legacydb/paradox_blob_file.h"

namespace tarnel::legacydb {

namespace {

constexpr uint32_t kUnit = 4096;
constexpr uint8_t kSingleBlob = 2;
constexpr uint8_t kSharedBlobs = 3;
constexpr uint8_t kOwnBlockIndex = 0xFF;
constexpr size_t kSingleHeader = 9;     // type, units, length, modification number
constexpr size_t kSharedHeader = 12;    // then 64 entries of 5 bytes
constexpr size_t kSharedEntries = 64;

}  // namespace

TParadoxBlobFile::TParadoxBlobFile(const std::string& path) : FFile(path) {}

std::string TParadoxBlobFile::Read(uint32_t offset, uint32_t length) const {
  uint32_t blockOffset = offset & ~uint32_t{0xFF};
  uint8_t index = static_cast<uint8_t>(offset & 0xFF);
  if (blockOffset == 0 || blockOffset % kUnit != 0 || blockOffset >= FFile.Size()) {
    FFile.Fail("a BLOB reference points outside the BLOB file");
  }
  if (index == kOwnBlockIndex) {
    // The last block of a file may end with its data instead of a whole unit.
    TBytes head = FFile.ReadUpTo(blockOffset, kUnit);
    TByteView view(head, FFile.Path());
    if (view.U8(0) != kSingleBlob) FFile.Fail("a BLOB reference names a block that holds no BLOB");
    uint32_t units = view.U16(1);
    if (view.U32(3) != length || uint64_t{units} * kUnit < kSingleHeader + uint64_t{length}) {
      FFile.Fail("a BLOB's length disagrees with its block");
    }
    TBytes block = FFile.Read(blockOffset, kSingleHeader + length);
    TByteView whole(block, FFile.Path());
    const uint8_t* data = whole.At(kSingleHeader, length);
    return std::string(reinterpret_cast<const char*>(data), length);
  }
  if (index >= kSharedEntries) FFile.Fail("a BLOB reference names an entry that does not exist");
  TBytes block = FFile.ReadUpTo(blockOffset, kUnit);
  TByteView view(block, FFile.Path());
  if (view.U8(0) != kSharedBlobs) FFile.Fail("a BLOB reference names a block that holds no BLOB");
  size_t entry = kSharedHeader + 5 * size_t{index};
  size_t dataOffset = size_t{view.U8(entry)} * 16;
  size_t dataUnits = view.U8(entry + 1);
  if (dataOffset == 0 || length > dataUnits * 16) FFile.Fail("a BLOB's length disagrees with its entry");
  const uint8_t* data = view.At(dataOffset, length);
  return std::string(reinterpret_cast<const char*>(data), length);
}

}  // namespace tarnel::legacydb
