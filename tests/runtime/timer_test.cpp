#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "runtime/handover.h"
#include "runtime/plain_loop.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Timer, FiresOnTheMainThreadAndStopsItself) {
  TPlainMessageLoop loop;
  TTimer timer;
  timer.SetInterval(20);
  int fired = 0;
  bool on_main = false;
  timer.OnTimer = [&] {
    timer.SetEnabled(false);
    on_main = IsMainThread();
    ++fired;
  };
  timer.SetEnabled(true);
  EXPECT_TRUE(loop.RunUntil([&] { return fired > 0; }, 5s));
  loop.RunUntil([] { return false; }, 60ms);
  EXPECT_EQ(fired, 1);
  EXPECT_TRUE(on_main);
  EXPECT_FALSE(timer.Enabled());
}

TEST(Timer, EnablingARunningTimerDoesNotRestartIt) {
  TPlainMessageLoop loop;
  TTimer timer;
  timer.SetInterval(150);
  Clock::time_point fired_at;
  timer.OnTimer = [&] {
    timer.SetEnabled(false);
    fired_at = Clock::now();
  };
  const auto start = Clock::now();
  timer.SetEnabled(true);
  loop.RunUntil([] { return false; }, 100ms);
  timer.SetEnabled(true);  // already running: the count goes on from the first start
  EXPECT_TRUE(loop.RunUntil([&] { return fired_at != Clock::time_point{}; }, 5s));
  // A restart would put the expiry at 250 ms or later.
  EXPECT_LT(fired_at - start, 240ms);
}

TEST(Timer, StoppedAndRestartedCountsFromTheRestart) {
  TPlainMessageLoop loop;
  TTimer timer;
  timer.SetInterval(100);
  Clock::time_point fired_at;
  timer.OnTimer = [&] {
    timer.SetEnabled(false);
    fired_at = Clock::now();
  };
  timer.SetEnabled(true);
  loop.RunUntil([] { return false; }, 60ms);
  timer.SetEnabled(false);
  const auto restart = Clock::now();
  timer.SetEnabled(true);
  EXPECT_TRUE(loop.RunUntil([&] { return fired_at != Clock::time_point{}; }, 5s));
  EXPECT_GE(fired_at - restart, 100ms);
}

TEST(Loop, ExceptionsFromTimersAndPostedCallsGoToTheHandlerAndTheLoopGoesOn) {
  TPlainMessageLoop loop;
  std::vector<std::string> seen;
  SetExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      seen.push_back(x.what());
    }
  });
  TTimer timer;
  timer.SetInterval(1);
  timer.OnTimer = [&] {
    timer.SetEnabled(false);
    throw std::runtime_error("timer");
  };
  timer.SetEnabled(true);
  loop.Post([] { throw std::runtime_error("posted"); });
  bool later = false;
  loop.Post([&] { later = true; });
  EXPECT_TRUE(loop.RunUntil([&] { return seen.size() == 2 && later; }, 5s));
  SetExceptionHandler(nullptr);
}

TEST(Loop, NestedRunEndsAtQuitAndPostFromAnotherThreadWakesIt) {
  TPlainMessageLoop loop;
  int order = 0;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    loop.Post([&] {
      order = 1;
      loop.Post([&] {
        order = 2;
        loop.Quit();
      });
      loop.Run();  // a modal loop inside a handler
      order = 3;
      loop.Quit();
    });
  });
  loop.Run();
  poster.join();
  EXPECT_EQ(order, 3);
}

}  // namespace
}  // namespace orvix
