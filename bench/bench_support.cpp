#include "bench/bench_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace orvix::bench {

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::string BuiltProgram(const std::string& relative) {
  return std::string(ORVIX_BUILD_DIR) + "/" + relative;
}

namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/orvix-bench-" + std::to_string(::getpid()) +
         "-" + name;
}

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

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             bool read_stdout) {
  static int serial = 0;
  err_file_ = TempPath("stderr-" + std::to_string(++serial));
  int out[2] = {-1, -1};
  if (read_stdout && ::pipe2(out, O_CLOEXEC) != 0)
    Fail(std::string("pipe: ") + std::strerror(errno));
  started_ = Clock::now();
  pid_ = ::fork();
  if (pid_ < 0) Fail(std::string("fork: ") + std::strerror(errno));
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    const int err = ::open(err_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(null, STDIN_FILENO);
    ::dup2(read_stdout ? out[1] : null, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
    ::_exit(127);
  }
  if (read_stdout) {
    ::close(out[1]);
    out_fd_ = out[0];
  }
}

Child::~Child() {
  if (!waited_) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
  if (out_fd_ >= 0) ::close(out_fd_);
}

std::string Child::ReadLine() {
  std::string line;
  char c;
  while (out_fd_ >= 0 && ::read(out_fd_, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

void Child::Signal(int signal) {
  ::kill(pid_, signal);
}

ChildFigures Child::Wait() {
  ChildFigures f;
  int status = 0;
  rusage usage{};
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  f.wall_s = Seconds(Clock::now() - started_);
  waited_ = true;
  f.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  f.cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  f.max_rss_kib = usage.ru_maxrss;
  f.err = ReadFile(err_file_);
  ::unlink(err_file_.c_str());
  return f;
}

ChildFigures RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  Child child(argv, env);
  return child.Wait();
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

void Fail(const std::string& text) {
  std::fprintf(stderr, "bench: %s\n", text.c_str());
  std::exit(1);
}

}  // namespace orvix::bench
