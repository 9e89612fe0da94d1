#include "bench/bench_support.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace orvix::bench {

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/orvix-bench-" + std::to_string(::getpid()) +
         "-" + name;
}

}  // namespace

ImageFile::ImageFile(const std::string& name, size_t size, unsigned seed)
    : path_(TempPath(name)), bytes_(size) {
  std::mt19937 random(seed);
  for (auto& b : bytes_) b = static_cast<uint8_t>(random());
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(size));
  if (!out) Fail("cannot write the image " + path_);
}

ImageFile::~ImageFile() {
  ::unlink(path_.c_str());
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void Result(const std::string& key, double value, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  Result(key, text);
}

void Result(const std::string& key, const std::string& value) {
  std::printf("RESULT %s %s\n", key.c_str(), value.c_str());
  std::fflush(stdout);
}

void ReadCommandLine(CLI::App& line, int argc, char** argv) {
  try {
    line.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(line.help().c_str(), stdout);
    std::exit(0);
  } catch (const CLI::ParseError& e) {
    Fail(std::string(e.what()) + "\n" + line.help());
  }
}

void Fail(const std::string& text) {
  std::fprintf(stderr, "bench: %s\n", text.c_str());
  std::exit(1);
}

}  // namespace orvix::bench
