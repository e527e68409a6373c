#include "engine/base/engine_memory.h"

#include "engine/base/errors.h"
#include "platform/os/memory.h"

namespace tarnel {

void* EngineAlloc(long size) {
  if (size <= 0) return nullptr;
  void* block = os::AllocateZeroed(static_cast<size_t>(size));
  if (block == nullptr) RaiseEngineError(kErrOutOfMemory);
  return block;
}

void* EngineRealloc(void* block, long size) {
  if (size <= 0) {
    EngineFree(block);
    return nullptr;
  }
  void* resized = os::ReallocateZeroed(block, static_cast<size_t>(size));
  if (resized == nullptr) RaiseEngineError(kErrOutOfMemory);
  return resized;
}

void EngineFree(void*& block) {
  if (block == nullptr) return;
  os::Release(block);
  block = nullptr;
}

}  // namespace tarnel
