// The system clock as the engine uses it: a millisecond tick counter, waits, thread identity.
#pragma once

#include <cstdint>

namespace tarnel::os {

// Milliseconds since an arbitrary fixed point (the system's start); wraps like a 32-bit counter.
uint32_t TickCount();
// Gives up the processor for at least `milliseconds`.
void Sleep(uint32_t milliseconds);
// The identifier of the calling thread (positive).
int64_t CurrentThreadId();

}  // namespace tarnel::os
