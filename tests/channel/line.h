// What the channel and discovery tests share: frames as the device sends them, and the main
// thread's loop driven for a while or up to a moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <vector>

#include "link/frame.h"
#include "runtime/plain_loop.h"

namespace orvix::test {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes Frame(uint8_t device, uint8_t command, uint16_t address, Bytes data = {}) {
  return EncodePacket(MakePacket(device, command, address, std::move(data)));
}

// Entries of a folder such as /proc/self/task (threads) or /proc/self/fd (descriptors).
inline int CountEntries(const char* folder) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The main thread's loop with the waits these tests need. Limits only guard against hangs.
class MainLoop {
 public:
  // Tests done() at least every 10 ms: what other threads change does not wake the loop.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto end = Clock::now() + limit;
    while (!loop_.RunUntil(done, 10ms)) {
      if (Clock::now() >= end) return false;
    }
    return true;
  }
  void Idle(std::chrono::milliseconds time) {
    loop_.RunUntil([] { return false; }, time);
  }
  void IdleUntil(Clock::time_point moment) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - Clock::now());
    if (left.count() > 0) Idle(left);
  }

 private:
  TPlainMessageLoop loop_;
};

}  // namespace orvix::test
