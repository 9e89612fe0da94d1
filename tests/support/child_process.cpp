#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace orvix::testing {

std::string BuiltProgram(const std::string& relative) {
  return std::string(ORVIX_BUILD_DIR) + "/" + relative;
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::vector<std::string> env) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  started_ = std::chrono::steady_clock::now();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait(std::chrono::milliseconds(0));
}

void ChildProcess::Signal(int sig) { ::kill(pid_, sig); }

void ChildProcess::Drain(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (::poll(fds, 2, timeout_ms) <= 0) return;
  char buf[4096];
  if (fds[0].revents) {
    ssize_t n = ::read(out_fd_, buf, sizeof buf);
    if (n > 0) out_.append(buf, n);
  }
  if (fds[1].revents) {
    ssize_t n = ::read(err_fd_, buf, sizeof buf);
    if (n > 0) err_.append(buf, n);
  }
}

bool ChildProcess::WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (err_.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Drain(50);
  }
  return true;
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds limit) {
  ProcessResult r;
  auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  bool killed = false;
  for (;;) {
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      killed = true;
      break;
    }
    Drain(20);
  }
  // What the child wrote just before it ended.
  for (int i = 0; i < 100; ++i) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (::poll(fds, 2, 0) <= 0) break;
    char buf[4096];
    bool any = false;
    if (fds[0].revents & POLLIN) {
      ssize_t n = ::read(out_fd_, buf, sizeof buf);
      if (n > 0) out_.append(buf, n), any = true;
    }
    if (fds[1].revents & POLLIN) {
      ssize_t n = ::read(err_fd_, buf, sizeof buf);
      if (n > 0) err_.append(buf, n), any = true;
    }
    if (!any) break;
  }
  ::close(out_fd_);
  ::close(err_fd_);
  waited_ = true;
  r.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  if (!killed && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.out = out_;
  r.err = err_;
  return r;
}

}  // namespace orvix::testing
