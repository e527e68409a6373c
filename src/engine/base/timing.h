// Waiting between lock attempts.
#pragma once

#include <cstdint>

namespace tarnel {

// Busy-waits on the tick counter until more than `milliseconds` have passed. Every lock retry
// of the engine waits with it.
void Delay(uint32_t milliseconds);

}  // namespace tarnel
