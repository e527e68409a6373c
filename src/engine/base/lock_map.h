// The byte-range lock map shared by the data, index and BLOB files of a table. Every lock lies
// in the top of the 31-bit offset space, far beyond any data, so locks never block reading or
// writing real bytes. A writer's region covers every reader's slot.
#pragma once

#include <cstdint>

namespace tarnel {

// .DAT: the header semaphore that serialises the writers of a table.
constexpr int64_t kHeaderSemaphoreOffset = 0x7FFFFFFF;
constexpr int64_t kHeaderSemaphoreLength = 1;

// .DAT: the lock byte of record n (n from 1).
constexpr int64_t RecordLockOffset(int32_t recordNo) { return int64_t{0x7FFFFFFE} - recordNo; }
constexpr int64_t kRecordLockLength = 1;

// .DAT: the table lock covers the record-lock bytes of records 1 to 100000001.
constexpr int64_t kTableLockOffset = 2047483645;
constexpr int64_t kTableLockLength = 100000001;

// .IDX and .BLB: the write region and the reader slots inside it.
constexpr int64_t kWriteRegionOffset = 0x7FFF0000;
constexpr int64_t kWriteRegionLength = 65535;
constexpr int32_t kReadSlotCount = 65535;  // slots are drawn from 0 to 65534, 0 counting as 1
constexpr int64_t ReadSlotOffset(int32_t slot) { return int64_t{0x7FFFFFFF} - slot; }
constexpr int64_t kReadSlotLength = 1;

// Semaphore, write region and read slots: attempts, and the wait between them in milliseconds.
constexpr int kRegionLockAttempts = 8193;
constexpr uint32_t kRegionLockWait = 3;

// Record and table locks: further attempts and the wait between them, unless a table says else.
constexpr int kDefaultLockRetryCount = 15;
constexpr uint32_t kDefaultLockWaitTime = 100;

static_assert(RecordLockOffset(100000001) == kTableLockOffset);
static_assert(kTableLockOffset + kTableLockLength == RecordLockOffset(1) + 1);
static_assert(ReadSlotOffset(kReadSlotCount - 1) == kWriteRegionOffset + 1);
static_assert(kWriteRegionOffset + kWriteRegionLength - 1 == ReadSlotOffset(1));

}  // namespace tarnel
