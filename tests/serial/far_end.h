// The test's side of a pseudo-terminal: the port opens the slave, the test plays the device on
// the master.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "channel/com_ping.h"
#include "serial/serial_port.h"

namespace orvix::test {

class FarEnd {
 public:
  FarEnd();
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  void Write(const std::vector<uint8_t>& bytes);
  void Write(const std::string& text);
  // Reads until count bytes came or the time passes.
  std::vector<uint8_t> Read(size_t count,
                            std::chrono::milliseconds limit = std::chrono::seconds(5));
  // What the slave side is set to, as the master sees it.
  termios Settings() const;
  // The output bit rate, also for rates set through BOTHER.
  uint32_t BitRate() const;
  // The device goes away: the master closes.
  void Hangup();

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the pair lives across the port's closes
  std::string slave_path_;
};

// The bit rate of a tty through termios2 (the kernel header clashes with <termios.h>).
uint32_t KernelOutputRate(int fd);

// Sets (or, with nullopt, removes) an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// CPU time this process used, user and system.
std::chrono::microseconds ProcessCpuTime();

}  // namespace orvix::test
