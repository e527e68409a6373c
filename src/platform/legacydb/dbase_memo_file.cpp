#include "platform/legacydb/dbase_memo_file.h"

#include <algorithm>
#include <cstring>

namespace tarnel::legacydb {

namespace {

constexpr size_t kScanPiece = 4096;
constexpr uint8_t kDBase4Signature[4] = {0xFF, 0xFF, 0x08, 0x00};

}  // namespace

TDbaseMemoFile::TDbaseMemoFile(const std::string& path, TMemoFormat format) : FFile(path), FFormat(format) {
  TBytes header = FFile.Read(0, 32);
  TByteView view(header, path);
  uint32_t blockSize = 512;
  if (format == TMemoFormat::DBase4) blockSize = view.U16(20);
  if (format == TMemoFormat::FoxPro) blockSize = view.U16BigEndian(6);
  if (blockSize == 0 && format == TMemoFormat::DBase4) blockSize = 512;
  if (blockSize == 0) FFile.Fail("the memo file's block size is damaged");
  FBlockSize = blockSize;
}

std::string TDbaseMemoFile::Read(uint32_t block) const {
  uint64_t start = uint64_t{block} * FBlockSize;
  if (block == 0 || start >= FFile.Size()) FFile.Fail("a memo reference points outside the memo file");
  if (FFormat == TMemoFormat::FoxPro) {
    TBytes head = FFile.Read(start, 8);
    uint32_t length = TByteView(head, FFile.Path()).U32BigEndian(4);
    TBytes data = FFile.Read(start + 8, length);
    return std::string(data.begin(), data.end());
  }
  if (FFormat == TMemoFormat::DBase4) {
    TBytes head = FFile.Read(start, 8);
    if (std::memcmp(head.data(), kDBase4Signature, 4) == 0) {
      uint32_t length = TByteView(head, FFile.Path()).U32(4);
      if (length < 8) FFile.Fail("a memo's length is damaged");
      TBytes data = FFile.Read(start + 8, length - 8);
      return std::string(data.begin(), data.end());
    }
  }
  // A value without a length runs to the first 1A 1A, or to the end of the file.
  std::string text;
  for (uint64_t offset = start; offset < FFile.Size(); offset += kScanPiece) {
    TBytes piece = FFile.ReadUpTo(offset, kScanPiece);
    text.append(piece.begin(), piece.end());
    size_t from = text.size() > piece.size() + 1 ? text.size() - piece.size() - 1 : 0;
    size_t end = text.find("\x1A\x1A", from);
    if (end != std::string::npos) {
      text.resize(end);
      return text;
    }
  }
  return text;
}

}  // namespace tarnel::legacydb
