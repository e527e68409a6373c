#include "memory_probe.h"

#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace tarnel::bench {

namespace {

// A "Name:   1234 kB" line of /proc/self/status, in kilobytes; 0 when absent.
int64_t StatusKb(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, name.size() + 1, name + ":") == 0) return std::stoll(line.substr(name.size() + 1));
  }
  return 0;
}

}  // namespace

void TMemoryProbe::Start() {
  malloc_trim(0);
  // Writing 5 resets the peak resident size to the current one.
  std::ofstream("/proc/self/clear_refs") << "5";
  FStartKb = StatusKb("VmRSS");
}

int64_t TMemoryProbe::PeakGrowthKb() const { return std::max<int64_t>(0, StatusKb("VmHWM") - FStartKb); }

}  // namespace tarnel::bench
