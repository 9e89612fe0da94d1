// Running the plain loop until something other threads change comes true.
#pragma once

#include <chrono>
#include <functional>

#include "runtime/plain_loop.h"

namespace orvix::testing {

// Tests done() at least every 10 ms: what other threads change does not wake the loop. Returns
// whether it came true within the limit.
inline bool RunLoopUntil(TPlainMessageLoop& loop, const std::function<bool()>& done,
                         std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!loop.RunUntil(done, std::chrono::milliseconds(10)))
    if (std::chrono::steady_clock::now() >= end) return false;
  return true;
}

}  // namespace orvix::testing
