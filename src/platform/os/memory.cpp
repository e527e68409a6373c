#include "platform/os/memory.h"

#include <cstdlib>
#include <cstring>

namespace tarnel::os {

namespace {

// Every block is preceded by its size, padded to keep the block maximally aligned.
constexpr size_t kHeader = alignof(std::max_align_t);

size_t* HeaderOf(const void* block) {
  return reinterpret_cast<size_t*>(static_cast<char*>(const_cast<void*>(block)) - kHeader);
}

}  // namespace

void* AllocateZeroed(size_t size) {
  if (size > static_cast<size_t>(-1) - kHeader) return nullptr;
  void* raw = std::calloc(1, kHeader + size);
  if (raw == nullptr) return nullptr;
  *static_cast<size_t*>(raw) = size;
  return static_cast<char*>(raw) + kHeader;
}

void* ReallocateZeroed(void* block, size_t size) {
  if (block == nullptr) return AllocateZeroed(size);
  if (size > static_cast<size_t>(-1) - kHeader) return nullptr;
  size_t oldSize = *HeaderOf(block);
  void* raw = std::realloc(HeaderOf(block), kHeader + size);
  if (raw == nullptr) return nullptr;
  *static_cast<size_t*>(raw) = size;
  char* data = static_cast<char*>(raw) + kHeader;
  if (size > oldSize) std::memset(data + oldSize, 0, size - oldSize);
  return data;
}

void Release(void* block) {
  if (block != nullptr) std::free(HeaderOf(block));
}

size_t BlockSize(const void* block) { return block == nullptr ? 0 : *HeaderOf(block); }

}  // namespace tarnel::os
