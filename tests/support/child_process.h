// Another program for multi-user tests: a forked child that opens its own files, with two pipes
// to step it and the parent in turn.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace tarnel::test {

class TChildProcess {
 public:
  // Starts `body` in a child; its return value becomes the child's exit status.
  explicit TChildProcess(const std::function<int(TChildProcess&)>& body) {
    if (::pipe(FToChild) != 0 || ::pipe(FToParent) != 0) throw std::runtime_error("pipe failed");
    FPid = ::fork();
    if (FPid < 0) throw std::runtime_error("fork failed");
    if (FPid == 0) {
      FInChild = true;
      ::_exit(body(*this));
    }
  }
  ~TChildProcess() {
    if (!FInChild && FPid > 0 && !FWaited) Wait();
  }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // The other side continues; each side signals and waits in turn.
  void Signal(char value = 1) {
    int fd = FInChild ? FToParent[1] : FToChild[1];
    if (::write(fd, &value, 1) != 1) throw std::runtime_error("signal failed");
  }
  char Await() {
    int fd = FInChild ? FToChild[0] : FToParent[0];
    char value = 0;
    if (::read(fd, &value, 1) != 1) return -1;
    return value;
  }
  // The child's exit status (255 when it did not exit normally).
  int Wait() {
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FWaited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
  }

 private:
  int FToChild[2] = {-1, -1};
  int FToParent[2] = {-1, -1};
  pid_t FPid = -1;
  bool FInChild = false;
  bool FWaited = false;
};

}  // namespace tarnel::test
