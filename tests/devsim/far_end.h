// The programmer's side of the line in these tests: plain reads and writes on the slave.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/frame.h"

namespace orvix::devsim {

using Bytes = std::vector<uint8_t>;

inline Bytes Frame(uint8_t device, uint8_t command, uint16_t address, Bytes data = {}) {
  return EncodePacket(MakePacket(device, command, address, std::move(data)));
}

inline Bytes Ping(uint8_t device) {
  return Frame(device, cmdPing, 0, {0x00});
}
inline Bytes Answer(uint8_t device, uint8_t command, uint16_t address = 0) {
  return Frame(device, command, address);
}
inline Bytes Block(uint8_t device, uint16_t address, const Bytes& image) {
  Bytes data(128, 0xFF);
  for (size_t i = 0; i < 128 && address + i < image.size(); ++i) data[i] = image[address + i];
  return Frame(device, cmdWriteBlock, address, data);
}
inline Bytes Checksum(uint8_t device, uint16_t sum) {
  return Frame(device, cmdChecksum, 0, {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)});
}
inline uint16_t Sum(const Bytes& image) {
  uint16_t sum = 0;
  for (uint8_t b : image) sum = static_cast<uint16_t>(sum + b);
  return sum;
}

class FarEnd {
 public:
  explicit FarEnd(const std::string& path)
      : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~FarEnd() {
    if (fd_ >= 0) close(fd_);
  }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  bool Open() const { return fd_ >= 0; }

  bool Send(const Bytes& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads until `count` bytes came, the line closed or the time ran out; returns what came.
  Bytes Read(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd pfd{fd_, POLLIN, 0};
      if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t chunk[512];
      const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, count - got.size()));
      if (n <= 0) {
        hung_up = true;
        break;
      }
      ++reads;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  int reads = 0;
  bool hung_up = false;

 private:
  int fd_;
};

}  // namespace orvix::devsim
