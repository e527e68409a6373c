// The built tarnel program, run by the tests as a user runs it: arguments, standard input, and
// what it writes to standard output and standard error with its exit status. A program can also
// be started in the background, to be waited for or killed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnel::test {

struct TToolResult {
  int ExitCode = -1;  // 128 + signal when killed
  std::string Out;
  std::string Err;
};

// Runs tarnel to its end.
TToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input = std::string());

// A tarnel started in the background with its output thrown away.
class TToolProcess {
 public:
  explicit TToolProcess(const std::vector<std::string>& arguments);
  ~TToolProcess();
  TToolProcess(const TToolProcess&) = delete;
  TToolProcess& operator=(const TToolProcess&) = delete;

  pid_t Pid() const { return FPid; }
  void Kill();
  // The exit status (128 + signal when killed).
  int Wait();

 private:
  pid_t FPid = -1;
  bool FWaited = false;
  int FStatus = -1;
};

}  // namespace tarnel::test
