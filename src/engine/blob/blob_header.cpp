#include "engine/blob/blob_header.h"

#include <cstring>

#include "engine/base/byte_order.h"

namespace tarnel {

namespace {

// Offsets of the header; bytes 4 to 7 and 18 to 511 are reserved.
constexpr size_t kChangeCount = 0;
constexpr size_t kVersion = 8;
constexpr size_t kFreeBlock = 9;
constexpr size_t kEndOfFile = 13;
constexpr size_t kHeaderModified = 17;
constexpr size_t kReservedTail = 494;
static_assert(kHeaderModified + 1 + kReservedTail == TBlobHeader::kDiskSize);

}  // namespace

void TBlobHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kDiskSize);
  PutI32(out + kChangeCount, ChangeCount);
  out[kVersion] = Version;
  PutU32(out + kFreeBlock, FreeBlock);
  PutU32(out + kEndOfFile, EndOfFile);
  out[kHeaderModified] = HeaderModified ? 1 : 0;
}

TBlobHeader TBlobHeader::Decode(const uint8_t* in) {
  TBlobHeader header;
  header.ChangeCount = GetI32(in + kChangeCount);
  header.Version = in[kVersion];
  header.FreeBlock = GetU32(in + kFreeBlock);
  header.EndOfFile = GetU32(in + kEndOfFile);
  header.HeaderModified = in[kHeaderModified] != 0;
  return header;
}

}  // namespace tarnel
