// What the channel and discovery tests share: the main thread's loop driven for a while or up to
// a moment.
#pragma once

#include <chrono>
#include <functional>

#include "runtime/plain_loop.h"
#include "tests/support/frames.h"

namespace orvix::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

}  // namespace orvix::testing
