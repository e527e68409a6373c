#include "engine/blob/blob_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/base/errors.h"

namespace tarnel {

int32_t TBlobBuffer::Read(int32_t offset, int32_t count, void* destination) const {
  if (offset >= Size()) return 0;
  int32_t copied = std::min(count, Size() - offset);
  if (copied > 0) std::memcpy(destination, Data.data() + offset, static_cast<size_t>(copied));
  return copied;
}

void TBlobBuffer::Write(int32_t offset, int32_t count, const void* source) {
  int32_t end = offset + count;
  if (end > Size()) {
    Resize(end);
    Modified = true;
  }
  if (count > 0) {
    std::memcpy(Data.data() + offset, source, static_cast<size_t>(count));
    Modified = true;
  }
}

void TBlobBuffer::Truncate(int32_t newSize) {
  if (newSize == Size()) return;
  Resize(newSize);
  Modified = true;
}

void TBlobBuffer::Append(const uint8_t* bytes, int32_t count) {
  try {
    Data.insert(Data.end(), bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    RaiseEngineError(kErrOutOfMemory);
  }
}

void TBlobBuffer::Resize(int32_t newSize) {
  try {
    Data.resize(static_cast<size_t>(newSize));
  } catch (const std::bad_alloc&) {
    RaiseEngineError(kErrOutOfMemory);
  }
}

}  // namespace tarnel
