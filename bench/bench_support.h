// What the benchmarks share besides the tests' support library: images to program, and the
// one-line results that scripts/bench.sh gathers into its table.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/process_counts.h"

namespace CLI {
class App;
}

namespace orvix::bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);

// Child processes and process counts come from the tests' support library.
using testing::BuiltProgram;
using testing::ChildProcess;
using testing::CpuSecondsOf;
using testing::OpenDescriptorsOf;
using testing::ProcessResult;
using testing::ResidentKibOf;
using testing::RunProcess;
using testing::ThreadsOf;

// A benchmark's child runs as long as it takes.
constexpr std::chrono::milliseconds kNoLimit = std::chrono::hours(24);

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

// Reads the command line into the options `line` defines: --help prints them and ends the
// program, a mistake ends it through Fail, naming the mistake and the usage.
void ReadCommandLine(CLI::App& line, int argc, char** argv);

// Stops the benchmark with a message on stderr.
[[noreturn]] void Fail(const std::string& text);

}  // namespace orvix::bench
