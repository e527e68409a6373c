// TBlobBuffer: one open BLOB of a table, held whole in memory from OpenBlob to CloseBlob. Owned by
// the table's TBlobFile; its contents reach the file only when the table saves the record's
// BLOBs, so a record that is cancelled leaves its stored BLOBs as they were.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnel {

struct TBlobBuffer {
  // What the record's BLOB field holds while the BLOB is open: a negative number, so that it is
  // never taken for a stored block reference. No two open BLOBs of a file share one.
  int32_t Handle = 0;
  bool Modified = false;  // the contents differ from the stored chain
  int32_t RecordNumber = 0;
  uint16_t FieldNumber = 0;
  int32_t FirstBlock = 0;     // the stored chain; 0 = none
  std::vector<uint8_t> Data;  // the contents; their length is the BLOB's size

  int32_t Size() const { return static_cast<int32_t>(Data.size()); }
  // Copies what lies inside the contents of [offset, offset + count) and answers its length.
  // REQUIRES: offset >= 0, count >= 0.
  int32_t Read(int32_t offset, int32_t count, void* destination) const;
  // Grows the contents to offset + count when they are shorter (zero-filled) and copies the
  // bytes at offset. REQUIRES: offset >= 0, count >= 0, offset + count within 32 bits.
  void Write(int32_t offset, int32_t count, const void* source);
  // Cuts or zero-fills the contents to `newSize` (>= 0).
  void Truncate(int32_t newSize);
  // Resizes the contents; memory exhaustion is engine error 11016.
  void Resize(int32_t newSize);
  // Appends `count` bytes (>= 0); memory exhaustion is engine error 11016.
  void Append(const uint8_t* bytes, int32_t count);
};

}  // namespace tarnel
