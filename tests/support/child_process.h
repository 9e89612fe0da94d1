// Runs a program of the build as a child process, for the tests that see it as a user would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvix::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when it had to be killed
  int signal = 0;
  std::string out;
  std::string err;
  std::chrono::milliseconds elapsed{0};
};

class ChildProcess {
 public:
  // env entries "NAME=VALUE" are added to (or replace those of) this process's environment.
  ChildProcess(std::vector<std::string> argv, std::vector<std::string> env = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int sig);
  // Waits for the end, killing the child when the limit passes; collects its output.
  ProcessResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));
  // Reads stderr until `text` has appeared or the limit passes; what was read is kept for Wait.
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit);

 private:
  void Drain(int timeout_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_, err_;
  std::chrono::steady_clock::time_point started_;
  bool waited_ = false;
};

// A program built next to the tests: its path from the build folder, given by CMake.
std::string BuiltProgram(const std::string& relative);

}  // namespace orvix::testing
