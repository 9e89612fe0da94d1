// A program run as a child process, as a user runs it: for the tests that see a program from
// outside, the soak and the benchmarks.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orvix::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when it did not exit by itself (a signal, or killed at the limit)
  int signal = 0;
  std::string out;  // all it wrote to stdout, lines taken by ReadLine included
  std::string err;
  std::chrono::steady_clock::duration elapsed{};  // from the start to the end
  double cpu_seconds = 0;                         // user and system, all its threads
  long max_rss_kib = 0;
};

class ChildProcess {
 public:
  // env entries "NAME=VALUE" are added to (or replace those of) this process's environment, for
  // the child only. Its stdin is /dev/null; it runs in a process group of its own.
  explicit ChildProcess(std::vector<std::string> argv, std::vector<std::string> env = {});
  // A child not waited for is killed.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  std::chrono::steady_clock::time_point Started() const { return started_; }
  void Signal(int sig);
  // The next line of its stdout, without the line end; empty at its end or when the limit passes.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(60));
  // Reads stderr until `text` has appeared or the limit passes; what was read is kept for Wait.
  bool WaitForStderr(const std::string& text, std::chrono::milliseconds limit);
  // Waits for the end, killing the child when the limit passes; collects its output.
  ProcessResult Wait(std::chrono::milliseconds limit = std::chrono::seconds(60));

 private:
  // Reads what has arrived on stdout and stderr, waiting up to timeout_ms for something.
  void Drain(int timeout_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_, err_;
  size_t lines_taken_ = 0;  // how much of out_ ReadLine has handed out
  std::chrono::steady_clock::time_point started_;
  bool waited_ = false;
};

// Runs the program to its end.
ProcessResult RunProcess(std::vector<std::string> argv, std::vector<std::string> env = {},
                         std::chrono::milliseconds limit = std::chrono::seconds(60));

// A program of the build, by its path from the build folder.
std::string BuiltProgram(const std::string& relative);

}  // namespace orvix::testing
