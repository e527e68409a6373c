#include "engine/table/record.h"

#include <algorithm>
#include <cstring>

#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/scramble.h"
#include "engine/table/data_file.h"

namespace tarnel {

TRecord::TRecord(TDataFile& owner) : Owner(owner), Buffer(static_cast<size_t>(owner.RecordBufferSize()), 0) {}

void TRecord::Clear(bool freshIdentifier) {
  std::fill(Buffer.begin(), Buffer.end(), 0);
  if (freshIdentifier) PutI32(Buffer.data() + kRecordId, Owner.NextRecordId());
  PutU32(Buffer.data() + kRecordLink, static_cast<uint32_t>(RecordNo));
  Modified = false;
  Evaluated = false;
}

void TRecord::LoadFrom(const uint8_t* bytes) {
  size_t size = Owner.RecordSize();
  std::memcpy(Buffer.data(), bytes, size);
  if (Owner.Scrambled()) ScrambleBlock(Buffer.data(), size, kBlockKey1, kBlockKey2);
  if (!Deleted()) PutU32(Buffer.data() + kRecordLink, static_cast<uint32_t>(RecordNo));
  Modified = false;
  Evaluated = false;
}

void TRecord::SaveTo(uint8_t* bytes) {
  size_t size = Owner.RecordSize();
  std::memcpy(bytes, Buffer.data(), size);
  if (Owner.Scrambled()) ScrambleBlock(bytes, size, kBlockKey1, kBlockKey2);
  Modified = false;
}

void TRecord::Pin() {
  if (PinCount >= kMaxPins) RaiseEngineError(kErrRecordBuffersCorrupt, Owner.FileName());
  if (PinCount++ == 0) Owner.NoteRecordPinned(this);
}

void TRecord::SetRecordNo(int32_t recordNo) {
  if (recordNo == RecordNo) return;
  RecordNo = recordNo;
  if (!Deleted()) PutU32(Buffer.data() + kRecordLink, static_cast<uint32_t>(recordNo));
}

void TRecord::SetDeleted(bool deleted) {
  Buffer[kRecordDeleted] = deleted ? 1 : 0;
  Modified = true;
}

void TRecord::SetLink(uint32_t link) {
  PutU32(Buffer.data() + kRecordLink, link);
  Modified = true;
}

void TRecord::SetRecordId(int32_t recordId) {
  PutI32(Buffer.data() + kRecordId, recordId);
  Modified = true;
}

uint32_t TRecord::GetLink() const { return Deleted() ? GetU32(Buffer.data() + kRecordLink) : 0; }

int32_t TRecord::RecordId() const { return GetI32(Buffer.data() + kRecordId); }

void TRecord::CopyData(const uint8_t* image) {
  std::memcpy(Buffer.data() + kRecordHeaderSize, image + kRecordHeaderSize, Buffer.size() - kRecordHeaderSize);
  Modified = true;
  Evaluated = false;
}

}  // namespace tarnel
