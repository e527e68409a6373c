#include "engine/table/data_header.h"

#include <cstring>

#include "engine/base/byte_order.h"

namespace tarnel {

namespace {

constexpr size_t kChangeCount = 0;
constexpr size_t kBlobBlockSize = 4;
constexpr size_t kVersion = 8;
constexpr size_t kFreeListHead = 9;
constexpr size_t kNextRecordNo = 13;
constexpr size_t kLastAutoInc = 17;
constexpr size_t kRecordSize = 21;
constexpr size_t kFieldCount = 23;
constexpr size_t kBlobFieldCount = 25;
constexpr size_t kLastUpdated = 27;
constexpr size_t kDescription = 35;
constexpr size_t kEncrypted = 86;
constexpr size_t kPassword = 87;
constexpr size_t kLanguageId = 103;
constexpr size_t kSortId = 105;
constexpr size_t kUserMajorVersion = 107;
constexpr size_t kUserMinorVersion = 109;
constexpr size_t kComputedSize = 111;
constexpr size_t kHeaderModified = 113;
constexpr size_t kReserved = 114;
static_assert(kReserved + 13 == TDataHeader::kDiskSize);

}  // namespace

void TDataHeader::Encode(uint8_t* out) const {
  std::memset(out, 0, kDiskSize);
  PutI32(out + kChangeCount, ChangeCount);
  PutU32(out + kBlobBlockSize, BlobBlockSize);
  out[kVersion] = Version;
  PutU32(out + kFreeListHead, FreeListHead);
  PutI32(out + kNextRecordNo, NextRecordNo);
  PutI32(out + kLastAutoInc, LastAutoInc);
  PutU16(out + kRecordSize, RecordSize);
  PutU16(out + kFieldCount, FieldCount);
  PutU16(out + kBlobFieldCount, BlobFieldCount);
  PutF64(out + kLastUpdated, LastUpdated);
  PutShortString(out + kDescription, Description, kMaxDescriptionLength);
  out[kEncrypted] = Encrypted ? 1 : 0;
  PutShortString(out + kPassword, Password, kMaxPasswordLength);
  PutU16(out + kLanguageId, LanguageId);
  PutU16(out + kSortId, SortId);
  PutU16(out + kUserMajorVersion, UserMajorVersion);
  PutU16(out + kUserMinorVersion, UserMinorVersion);
  PutU16(out + kComputedSize, ComputedSize);
  out[kHeaderModified] = HeaderModified ? 1 : 0;
  std::memcpy(out + kReserved, Reserved.data(), Reserved.size());
}

TDataHeader TDataHeader::Decode(const uint8_t* in) {
  TDataHeader header;
  header.ChangeCount = GetI32(in + kChangeCount);
  header.BlobBlockSize = GetU32(in + kBlobBlockSize);
  header.Version = in[kVersion];
  header.FreeListHead = GetU32(in + kFreeListHead);
  header.NextRecordNo = GetI32(in + kNextRecordNo);
  header.LastAutoInc = GetI32(in + kLastAutoInc);
  header.RecordSize = GetU16(in + kRecordSize);
  header.FieldCount = GetU16(in + kFieldCount);
  header.BlobFieldCount = GetU16(in + kBlobFieldCount);
  header.LastUpdated = GetF64(in + kLastUpdated);
  header.Description = GetShortString(in + kDescription, kMaxDescriptionLength);
  header.Encrypted = in[kEncrypted] != 0;
  header.Password = GetShortString(in + kPassword, kMaxPasswordLength);
  header.LanguageId = GetU16(in + kLanguageId);
  header.SortId = GetU16(in + kSortId);
  header.UserMajorVersion = GetU16(in + kUserMajorVersion);
  header.UserMinorVersion = GetU16(in + kUserMinorVersion);
  header.ComputedSize = GetU16(in + kComputedSize);
  header.HeaderModified = false;  // readers ignore the stored flag
  std::memcpy(header.Reserved.data(), in + kReserved, header.Reserved.size());
  return header;
}

}  // namespace tarnel
