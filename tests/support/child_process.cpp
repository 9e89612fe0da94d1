#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace orvix::testing {

std::string BuiltProgram(const std::string& relative) {
  return std::string(ORVIX_BUILD_DIR) + "/" + relative;
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::vector<std::string> env) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  if (::pipe2(err, O_CLOEXEC) != 0) {
    const int error = errno;
    ::close(out[0]);
    ::close(out[1]);
    throw std::runtime_error("pipe: " + std::string(strerror(error)));
  }
  started_ = std::chrono::steady_clock::now();
  pid_ = ::fork();
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ::dup2(null, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (auto& e : env) ::putenv(e.data());
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
    ::_exit(127);
  }
  const int fork_error = errno;
  ::close(out[1]);
  ::close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
  if (pid_ < 0) {
    ::close(out_fd_);
    ::close(err_fd_);
    throw std::runtime_error("fork: " + std::string(strerror(fork_error)));
  }
  for (int fd : {out_fd_, err_fd_}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (!waited_) Wait(std::chrono::milliseconds(0));
}

void ChildProcess::Signal(int sig) {
  ::kill(pid_, sig);
}

void ChildProcess::Drain(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (out_fd_ < 0 && err_fd_ < 0) {
    if (timeout_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
    return;
  }
  if (::poll(fds, 2, timeout_ms) <= 0) return;
  struct Stream {
    int& fd;
    std::string& text;
  } streams[2] = {{out_fd_, out_}, {err_fd_, err_}};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    char buf[4096];
    const ssize_t n = ::read(streams[i].fd, buf, sizeof buf);
    if (n > 0) {
      streams[i].text.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      ::close(streams[i].fd);  // its end: poll ignores a negative descriptor from now on
      streams[i].fd = -1;
    }
  }
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  size_t newline;
  while ((newline = out_.find('\n', lines_taken_)) == std::string::npos) {
    if (out_fd_ < 0 || std::chrono::steady_clock::now() >= end) return {};
    Drain(20);
  }
  std::string line = out_.substr(lines_taken_, newline - lines_taken_);
  lines_taken_ = newline + 1;
  return line;
}

bool ChildProcess::WaitForStderr(const std::string& text, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (err_.find(text) == std::string::npos) {
    if (err_fd_ < 0 || std::chrono::steady_clock::now() >= end) return false;
    Drain(50);
  }
  return true;
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds limit) {
  ProcessResult r;
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  rusage usage{};
  bool killed = false;
  // The child's output ends when it does, so the pipes report its end at once and the time
  // taken is exact; a 1 ms nap covers only the moment between the pipes closing and the exit.
  for (;;) {
    if (::wait4(pid_, &status, WNOHANG, &usage) == pid_) break;
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
      }
      killed = true;
      break;
    }
    Drain(out_fd_ < 0 && err_fd_ < 0 ? 1 : 20);
  }
  r.elapsed = std::chrono::steady_clock::now() - started_;
  // What the child wrote just before it ended.
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    const std::string::size_type before = out_.size() + err_.size();
    Drain(0);
    if (out_.size() + err_.size() == before) break;
  }
  for (int* fd : {&out_fd_, &err_fd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  waited_ = true;
  if (!killed && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  r.max_rss_kib = usage.ru_maxrss;
  r.out = out_;
  r.err = err_;
  return r;
}

ProcessResult RunProcess(std::vector<std::string> argv, std::vector<std::string> env,
                         std::chrono::milliseconds limit) {
  ChildProcess child(std::move(argv), std::move(env));
  return child.Wait(limit);
}

}  // namespace orvix::testing
