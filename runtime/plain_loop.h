// The message loop without a window system: a queue, a timer list and a condition variable.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>

#include "runtime/message_loop.h"

namespace orvix {

class TPlainMessageLoop final : public TMessageLoop {
 public:
  // Makes the calling thread the main thread and installs this loop as the current one.
  TPlainMessageLoop();
  ~TPlainMessageLoop() override;

  void Post(std::function<void()> call) override;
  void ProcessMessages() override;
  void Run() override;
  void Quit() override;
  std::unique_ptr<TLoopTimer> CreateTimer(std::function<void()> on_fire) override;

  // Runs the loop until done() holds or the time passes; for tests and the command line.
  // Returns done()'s last value.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::hours(24 * 365));

 private:
  using Clock = std::chrono::steady_clock;
  struct TimerEntry;
  class PlainTimer;

  void Wake();
  // One pass: hand-overs, posted calls, due timers. Returns the time of the next timer.
  Clock::time_point RunOnce();
  void WaitForWork(Clock::time_point until);

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> posted_;
  bool woken_ = false;
  std::list<TimerEntry*> timers_;  // main thread only
  int run_depth_ = 0;
  int quit_depth_ = -1;
};

}  // namespace orvix
