#include "platform/os/clock.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace tarnel::os {

uint32_t TickCount() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000u +
                          static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

void Sleep(uint32_t milliseconds) {
  struct timespec wait;
  wait.tv_sec = milliseconds / 1000;
  wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&wait, &wait) != 0) {
  }
}

int64_t CurrentThreadId() { return static_cast<int64_t>(::syscall(SYS_gettid)); }

}  // namespace tarnel::os
