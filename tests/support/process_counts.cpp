#include "tests/support/process_counts.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvix::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int CountEntries(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return -1;
  int count = 0;
  while (const dirent* e = ::readdir(d))
    if (e->d_name[0] != '.') ++count;
  ::closedir(d);
  return count;
}

}  // namespace

int OpenDescriptorsOf(const std::string& pid) {
  return CountEntries("/proc/" + pid + "/fd");
}

int ThreadsOf(const std::string& pid) {
  return CountEntries("/proc/" + pid + "/task");
}

long ResidentKibOf(const std::string& pid) {
  std::istringstream status(ReadFile("/proc/" + pid + "/status"));
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

double CpuSecondsOf(const std::string& pid) {
  // Each thread's schedstat holds its time on a CPU in nanoseconds, where stat only counts clock
  // ticks; the sum covers the threads alive now.
  const std::string tasks = "/proc/" + pid + "/task";
  if (DIR* d = ::opendir(tasks.c_str())) {
    unsigned long long ns = 0;
    bool any = false;
    while (const dirent* e = ::readdir(d)) {
      if (e->d_name[0] == '.') continue;
      std::istringstream in(ReadFile(tasks + "/" + e->d_name + "/schedstat"));
      unsigned long long on_cpu = 0;
      if (in >> on_cpu) {
        ns += on_cpu;
        any = true;
      }
    }
    ::closedir(d);
    if (any) return static_cast<double>(ns) / 1e9;
  }
  // Fields 14 and 15 of stat, after the command name in parentheses, which may hold blanks.
  const std::string stat = ReadFile("/proc/" + pid + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::chrono::microseconds ProcessCpuTime() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto us = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return us(u.ru_utime) + us(u.ru_stime);
}

}  // namespace orvix::testing
