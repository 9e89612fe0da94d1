// The far end of a line in a test, on a pseudo-terminal: either the device's side of a new pair,
// whose other side the port under test opens by SlavePath(), or the programmer's side of a
// terminal that the device simulator serves.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "channel/com_ping.h"  // ConfigureForDiscovery, for the tests that open a port on it
#include "serial/serial_port.h"

namespace orvix::testing {

class FarEnd {
 public:
  // A new pseudo-terminal pair; the test plays the device on its master.
  FarEnd();
  // The terminal at `path`, opened as the programmer opens it; Open() tells whether that worked.
  explicit FarEnd(const std::string& path);
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  bool Open() const { return fd_ >= 0; }
  // The path the port under test opens (a new pair only).
  const std::string& SlavePath() const { return slave_path_; }

  // Writes all of it, waiting while the line is full; throws when the line fails.
  void Write(const std::vector<uint8_t>& bytes);
  void Write(const std::string& text);
  // The same, telling a failure by its result.
  bool Send(const std::vector<uint8_t>& bytes);
  // What has come and not been read yet, without waiting for more.
  std::vector<uint8_t> TakeWaiting();
  // Reads until `count` bytes came, the limit passed or the line hung up; returns what came.
  std::vector<uint8_t> Read(size_t count,
                            std::chrono::milliseconds limit = std::chrono::seconds(5));
  // What the terminal is set to, as this side sees it.
  termios Settings() const;
  // The output bit rate, also for rates set through BOTHER.
  uint32_t BitRate() const;
  // The device goes away: both sides close.
  void Hangup();

  int reads = 0;         // reads that brought bytes
  bool hung_up = false;  // a read found the line closed

 private:
  int fd_ = -1;
  int slave_ = -1;  // a new pair's slave, kept open so the pair lives across the port's closes
  std::string slave_path_;
};

// The bit rate of a tty through termios2 (the kernel header clashes with <termios.h>).
uint32_t KernelOutputRate(int fd);

}  // namespace orvix::testing
