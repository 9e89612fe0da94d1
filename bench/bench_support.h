// What the benchmarks share: running a program of the build as a child and taking its figures,
// reading a process's counters from /proc, images to program, and the one-line results that
// scripts/bench.sh gathers into its table.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace orvix::bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);

// A program of the build, by its path from the build folder (given by CMake).
std::string BuiltProgram(const std::string& relative);

struct ChildFigures {
  int exit_code = -1;  // -1: ended by a signal
  double wall_s = 0;   // from fork to the end, as a user would time it
  double cpu_s = 0;    // user + system, all its threads
  long max_rss_kib = 0;
  std::string err;  // what it wrote to stderr
};

// One child process; its stdout goes to /dev/null, or to a pipe for ReadLine, and its stderr to
// a file read back at the end.
class Child {
 public:
  // env entries "NAME=VALUE" are added to this process's environment for the child only.
  explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                 bool read_stdout = false);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return pid_; }
  Clock::time_point Started() const { return started_; }
  // The next line of its stdout, without the line end; empty at its end.
  std::string ReadLine();
  void Signal(int signal);
  ChildFigures Wait();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string err_file_;
  Clock::time_point started_;
  bool waited_ = false;
};

// Runs the program to its end.
ChildFigures RunChild(const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {});

// From /proc: "self" or a pid.
double CpuSecondsOf(const std::string& pid);  // on a CPU so far, all its live threads
int OpenDescriptorsOf(const std::string& pid);
int ThreadsOf(const std::string& pid);
long ResidentKibOf(const std::string& pid);

// A file of `size` pseudo-random bytes under the system's temporary folder; removed with the
// object.
class ImageFile {
 public:
  ImageFile(const std::string& name, size_t size, unsigned seed = 1);
  ~ImageFile();
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;
  const std::string& Path() const { return path_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::string path_;
  std::vector<uint8_t> bytes_;
};

double Median(std::vector<double> values);

// "RESULT key value" lines are what scripts/bench.sh reads; the rest of the output is for people.
void Result(const std::string& key, double value, const char* format = "%.4f");
void Result(const std::string& key, const std::string& value);

// Stops the benchmark with a message on stderr.
[[noreturn]] void Fail(const std::string& text);

}  // namespace orvix::bench
