#include "engine/index/index_header.h"

#include <cstring>

#include "engine/base/byte_order.h"

namespace tarnel {

namespace {

// TIndexDescriptor
constexpr size_t kIndexName = 0;
constexpr size_t kKeyLength = 31;
constexpr size_t kDescending = 33;
constexpr size_t kCaseInsensitive = 34;
constexpr size_t kUnique = 35;
constexpr size_t kCompression = 36;
constexpr size_t kFieldCount = 37;
constexpr size_t kFieldDescending = 38;
constexpr size_t kFieldNumbers = 54;
constexpr size_t kRootPage = 86;
constexpr size_t kFreePage = 90;
static_assert(kFreePage + 4 + 26 == TIndexDescriptor::kDiskSize);

// TIndexHeader
constexpr size_t kChangeCount = 0;
constexpr size_t kVersion = 8;
constexpr size_t kEndOfFile = 9;
constexpr size_t kSecondaryCount = 13;
constexpr size_t kDescriptors = 14;
constexpr size_t kSysDeleted = 3734;
constexpr size_t kRecordCount = 3974;
constexpr size_t kNoPrimaryIndex = 3978;
constexpr size_t kHeaderModified = 3979;
static_assert(kDescriptors + 31 * TIndexDescriptor::kDiskSize == kSysDeleted);
static_assert(kSysDeleted + 2 * TIndexDescriptor::kDiskSize == kRecordCount);
static_assert(kHeaderModified + 1 + 116 == TIndexHeader::kDiskSize);

size_t DescriptorOffset(int number) {
  return number == kSysDeletedIndex ? kSysDeleted
                                    : kDescriptors + static_cast<size_t>(number) * TIndexDescriptor::kDiskSize;
}

}  // namespace

void TIndexDescriptor::Encode(uint8_t* out) const {
  std::memset(out, 0, kDiskSize);
  PutShortString(out + kIndexName, IndexName, 30);
  PutU16(out + kKeyLength, KeyLength);
  out[kDescending] = Descending ? 1 : 0;
  out[kCaseInsensitive] = CaseInsensitive ? 1 : 0;
  out[kUnique] = Unique ? 1 : 0;
  out[kCompression] = Compression;
  out[kFieldCount] = FieldCount;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    out[kFieldDescending + i] = FieldDescending[static_cast<size_t>(i)];
    PutU16(out + kFieldNumbers + 2 * i, FieldNumbers[static_cast<size_t>(i)]);
  }
  PutU32(out + kRootPage, RootPage);
  PutU32(out + kFreePage, FreePage);
}

TIndexDescriptor TIndexDescriptor::Decode(const uint8_t* in) {
  TIndexDescriptor desc;
  desc.IndexName = GetShortString(in + kIndexName, 30);
  desc.KeyLength = GetU16(in + kKeyLength);
  desc.Descending = in[kDescending] != 0;
  desc.CaseInsensitive = in[kCaseInsensitive] != 0;
  desc.Unique = in[kUnique] != 0;
  desc.Compression = in[kCompression];
  desc.FieldCount = in[kFieldCount];
  for (int i = 0; i < kMaxKeyFields; ++i) {
    desc.FieldDescending[static_cast<size_t>(i)] = in[kFieldDescending + i];
    desc.FieldNumbers[static_cast<size_t>(i)] = GetU16(in + kFieldNumbers + 2 * i);
  }
  desc.RootPage = GetU32(in + kRootPage);
  desc.FreePage = GetU32(in + kFreePage);
  return desc;
}

void TIndexHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kDiskSize);
  PutI32(out + kChangeCount, ChangeCount);
  out[kVersion] = Version;
  PutU32(out + kEndOfFile, EndOfFile);
  out[kSecondaryCount] = SecondaryCount;
  for (int i = 0; i < kDescriptorCount; ++i) {
    Descriptors[static_cast<size_t>(i)].Encode(out + DescriptorOffset(i));
  }
  PutI32(out + kRecordCount, RecordCount);
  out[kNoPrimaryIndex] = NoPrimaryIndex ? 1 : 0;
  out[kHeaderModified] = HeaderModified ? 1 : 0;
}

TIndexHeader TIndexHeader::Decode(const uint8_t* in) {
  TIndexHeader header;
  header.ChangeCount = GetI32(in + kChangeCount);
  header.Version = in[kVersion];
  header.EndOfFile = GetU32(in + kEndOfFile);
  header.SecondaryCount = in[kSecondaryCount];
  for (int i = 0; i < kDescriptorCount; ++i) {
    header.Descriptors[static_cast<size_t>(i)] = TIndexDescriptor::Decode(in + DescriptorOffset(i));
  }
  header.RecordCount = GetI32(in + kRecordCount);
  header.NoPrimaryIndex = in[kNoPrimaryIndex] != 0;
  header.HeaderModified = false;
  return header;
}

}  // namespace tarnel
