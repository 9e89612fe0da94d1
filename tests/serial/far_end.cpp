#include "tests/serial/far_end.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace orvix::test {

FarEnd::FarEnd() {
  char name[128] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slave_path_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

FarEnd::~FarEnd() {
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

void FarEnd::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      if (poll(&p, 1, 5000) <= 0) throw std::runtime_error("far end cannot write");
    } else if (n < 0 && errno != EINTR) {
      throw std::runtime_error("far end write failed");
    }
  }
}

void FarEnd::Write(const std::string& text) {
  Write(std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> FarEnd::Read(size_t count, std::chrono::milliseconds limit) {
  std::vector<uint8_t> out;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t chunk[4096];
    const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - out.size()));
    if (n > 0) out.insert(out.end(), chunk, chunk + n);
  }
  return out;
}

termios FarEnd::Settings() const {
  termios t{};
  tcgetattr(master_, &t);
  return t;
}

uint32_t FarEnd::BitRate() const {
  return KernelOutputRate(master_);
}

void FarEnd::Hangup() {
  close(slave_);
  slave_ = -1;
  close(master_);
  master_ = -1;
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

std::chrono::microseconds ProcessCpuTime() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto us = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return us(u.ru_utime) + us(u.ru_stime);
}

}  // namespace orvix::test
