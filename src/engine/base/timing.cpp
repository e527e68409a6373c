#include "engine/base/timing.h"

#include <sched.h>

#include "platform/os/clock.h"

namespace tarnel {

void Delay(uint32_t milliseconds) {
  uint32_t start = os::TickCount();
  // The processor is offered to others between looks at the clock, so that the program holding
  // the lock is not starved on a busy machine.
  while (os::TickCount() - start <= milliseconds) ::sched_yield();
}

}  // namespace tarnel
