// Zero-filled memory for engine objects and for the data-access layer's record buffers.
// Exhaustion is engine error 11016.
#pragma once

namespace tarnel {

// A zero-filled block; nullptr for a size of 0 or less.
void* EngineAlloc(long size);
// Resizes a block, zero-filling the growth; a size of 0 or less frees it and answers nullptr.
void* EngineRealloc(void* block, long size);
// Frees the block if there is one and sets the reference to nullptr.
void EngineFree(void*& block);

}  // namespace tarnel
