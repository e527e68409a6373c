// Zero-filled memory blocks that remember their size, so that a resize can zero its growth.
#pragma once

#include <cstddef>

namespace tarnel::os {

// A zero-filled block of `size` bytes, or nullptr when the memory is not available.
void* AllocateZeroed(size_t size);
// Resizes a block from AllocateZeroed (nullptr allocates); new bytes are zero. Answers nullptr
// and leaves the block untouched when the memory is not available.
void* ReallocateZeroed(void* block, size_t size);
void Release(void* block);
size_t BlockSize(const void* block);

}  // namespace tarnel::os
