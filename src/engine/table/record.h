// TRecord: one record buffer of a table's record cache. The image is the record as stored (the
// 9-byte record header: Deleted, RecordLink, RecordId; then a null byte and the value bytes per
// stored field) followed by the computed area, which is never written.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnel {

class TDataFile;

constexpr int kRecordHeaderSize = 9;
constexpr int kRecordDeleted = 0;
constexpr int kRecordLink = 1;
constexpr int kRecordId = 5;

class TRecord {
 public:
  static constexpr uint16_t kMaxPins = 64;

  explicit TRecord(TDataFile& owner);

  // Zeroes the image; with `freshIdentifier` the record takes the table's next identifier.
  void Clear(bool freshIdentifier);
  // Takes the stored bytes (unscrambling the copy for a protected table).
  void LoadFrom(const uint8_t* bytes);
  // Gives the stored bytes (scrambled for a protected table).
  void SaveTo(uint8_t* bytes);
  void Pin();
  void Unpin() {
    if (PinCount > 0) --PinCount;
  }
  void SetRecordNo(int32_t recordNo);
  void SetDeleted(bool deleted);
  void SetLink(uint32_t link);
  void SetRecordId(int32_t recordId);
  // The next free slot of a deleted record, 0 for an active one.
  uint32_t GetLink() const;
  // Takes the field and computed areas of another image (not its record header).
  void CopyData(const uint8_t* image);

  bool Deleted() const { return Buffer[kRecordDeleted] != 0; }
  int32_t RecordId() const;
  uint8_t* Image() { return Buffer.data(); }
  const uint8_t* Image() const { return Buffer.data(); }

  TDataFile& Owner;
  bool Modified = false;
  uint16_t PinCount = 0;
  bool Evaluated = false;
  int32_t RecordNo = 0;
  std::vector<uint8_t> Buffer;
  bool ListedAsPinned = false;  // in the cache's list of buffers pinned since its last UnpinAll

  // Links of the cache's most-recently-used list.
  TRecord* Newer = nullptr;
  TRecord* Older = nullptr;
};

}  // namespace tarnel
