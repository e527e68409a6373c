#include "tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace tarnel::test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return argv;
}

// Whether a traced program stopped at a system call that writes to a file.
bool IsFileWrite(pid_t pid) {
#if defined(__x86_64__)
  user_regs_struct registers{};
  ::ptrace(PTRACE_GETREGS, pid, nullptr, &registers);
  long call = static_cast<long>(registers.orig_rax);
  return call == SYS_write || call == SYS_pwrite64 || call == SYS_writev || call == SYS_pwritev;
#else
  (void)pid;
  return false;
#endif
}

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

TToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input) {
  // A program that ends before it read all its input must not end the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> all{TARNEL_BINARY};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Argv(all);
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  // Input, output and errors are served together, so that no pipe fills while another waits.
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  TToolResult result;
  size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  bool outOpen = true;
  bool errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    ::poll(fds, inFd >= 0 ? 3 : 2, -1);
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      bool& open = i == 0 ? outOpen : errOpen;
      if (!open || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        open = false;
      } else {
        (i == 0 ? result.Out : result.Err).append(buffer, static_cast<size_t>(got));
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      ssize_t put = ::write(inFd, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<size_t>(put);
      if (put < 0 || written == input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.ExitCode = StatusOf(status);
  return result;
}

TToolProcess::TToolProcess(const std::vector<std::string>& arguments, int killAtWrite) : FKillAtWrite(killAtWrite) {
  std::vector<std::string> all{TARNEL_BINARY};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = Argv(all);
  FPid = ::fork();
  if (FPid < 0) throw std::runtime_error("fork failed");
  if (FPid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (killAtWrite > 0) {
      // The leak check at the end of a sanitized program traces the program itself, which a
      // traced program cannot.
      ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
      ::raise(SIGSTOP);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
}

int TToolProcess::TraceToKill() {
  int status = 0;
  ::waitpid(FPid, &status, 0);  // stopped before the program starts
  ::ptrace(PTRACE_SETOPTIONS, FPid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  int writes = 0;
  bool entering = true;  // system-call stops alternate between entry and exit
  long signal = 0;
  for (;;) {
    ::ptrace(PTRACE_SYSCALL, FPid, nullptr, reinterpret_cast<void*>(signal));
    signal = 0;
    if (::waitpid(FPid, &status, 0) < 0 || WIFEXITED(status) || WIFSIGNALED(status)) return StatusOf(status);
    if (!WIFSTOPPED(status)) continue;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      // A signal for the program is handed on; the trap after exec is the tracer's own.
      if (WSTOPSIG(status) != SIGTRAP) signal = WSTOPSIG(status);
      continue;
    }
    if (entering && IsFileWrite(FPid) && ++writes == FKillAtWrite) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, &status, 0);
      return StatusOf(status);
    }
    entering = !entering;
  }
}

TToolProcess::~TToolProcess() {
  if (FPid > 0 && !FWaited) {
    Kill();
    Wait();
  }
}

void TToolProcess::Kill() {
  if (FPid > 0 && !FWaited) ::kill(FPid, SIGKILL);
}

int TToolProcess::Wait() {
  if (!FWaited && FKillAtWrite > 0) {
    FStatus = TraceToKill();
    FWaited = true;
  }
  if (!FWaited) {
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FStatus = StatusOf(status);
    FWaited = true;
  }
  return FStatus;
}

}  // namespace tarnel::test
