// The memory a workload takes: the process's peak resident size during the workload above its
// resident size at the start. Freed heap is handed back to the system first, so that what a
// workload allocates shows in the peak even when an earlier one had used that memory.
#pragma once

#include <cstdint>

namespace tarnel::bench {

class TMemoryProbe {
 public:
  // Starts a measurement: returns free heap, resets the peak and notes the resident size.
  void Start();
  // Kilobytes of the peak above the start.
  int64_t PeakGrowthKb() const;

 private:
  int64_t FStartKb = 0;
};

}  // namespace tarnel::bench
