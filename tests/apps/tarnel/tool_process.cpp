#include "tool_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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

TToolProcess::TToolProcess(const std::vector<std::string>& arguments) {
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
    ::execv(argv[0], argv.data());
    ::_exit(127);
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
  if (!FWaited) {
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FStatus = StatusOf(status);
    FWaited = true;
  }
  return FStatus;
}

}  // namespace tarnel::test
