// Progress of a long operation on a terminal: a line on standard error that is rewritten a few
// times a second and removed at the end. Nothing is shown when standard error is not a terminal
// or the work is small.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tarnel::cli {

class TProgress {
 public:
  // `total` is the amount of work (bytes of input), 0 when unknown.
  TProgress(const std::string& what, int64_t total);
  ~TProgress();
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  void Update(int64_t done, int64_t rows);
  // Removes the line.
  void Finish();

 private:
  std::string FWhat;
  int64_t FTotal;
  bool FShown;
  bool FVisible = false;
  std::chrono::steady_clock::time_point FLast;
};

}  // namespace tarnel::cli
