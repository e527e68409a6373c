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

// A tarnel started in the background with its output thrown away. With `killAtWrite` above 0
// it runs traced and is killed (SIGKILL) as it enters its killAtWrite-th write to a file, so
// that a kill lands inside a run of writes; Wait() drives it to that point.
class TToolProcess {
 public:
  explicit TToolProcess(const std::vector<std::string>& arguments, int killAtWrite = 0);
  ~TToolProcess();
  TToolProcess(const TToolProcess&) = delete;
  TToolProcess& operator=(const TToolProcess&) = delete;

  pid_t Pid() const { return FPid; }
  void Kill();
  // The exit status (128 + signal when killed).
  int Wait();

 private:
  int TraceToKill();

  pid_t FPid = -1;
  int FKillAtWrite = 0;
  bool FWaited = false;
  int FStatus = -1;
};

}  // namespace tarnel::test
