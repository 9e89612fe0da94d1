#include "tests/support/far_end.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace orvix::testing {

FarEnd::FarEnd() {
  char name[128] = {};
  if (openpty(&fd_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slave_path_ = name;
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  // Programs the test starts must not inherit the pair: a run with few descriptors to spare
  // would count them as its own.
  for (int fd : {fd_, slave_}) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

FarEnd::FarEnd(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}

FarEnd::~FarEnd() {
  if (fd_ >= 0) close(fd_);
  if (slave_ >= 0) close(slave_);
}

void FarEnd::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 5000) <= 0) throw std::runtime_error("far end cannot write");
    } else if (n < 0 && errno != EINTR) {
      throw std::runtime_error("far end write failed");
    }
  }
}

void FarEnd::Write(const std::string& text) {
  Write(std::vector<uint8_t>(text.begin(), text.end()));
}

bool FarEnd::Send(const std::vector<uint8_t>& bytes) {
  try {
    Write(bytes);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::vector<uint8_t> FarEnd::TakeWaiting() {
  std::vector<uint8_t> got;
  uint8_t chunk[4096];
  for (ssize_t n; (n = ::read(fd_, chunk, sizeof chunk)) > 0;) got.insert(got.end(), chunk, chunk + n);
  return got;
}

std::vector<uint8_t> FarEnd::Read(size_t count, std::chrono::milliseconds limit) {
  std::vector<uint8_t> got;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (got.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    uint8_t chunk[4096];
    const ssize_t n = ::read(fd_, chunk, std::min(sizeof chunk, count - got.size()));
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      hung_up = true;
      break;
    }
    ++reads;
    got.insert(got.end(), chunk, chunk + n);
  }
  return got;
}

termios FarEnd::Settings() const {
  termios t{};
  tcgetattr(fd_, &t);
  return t;
}

uint32_t FarEnd::BitRate() const {
  return KernelOutputRate(fd_);
}

void FarEnd::Hangup() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace orvix::testing
