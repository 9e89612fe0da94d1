#include "runtime/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "runtime/plain_loop.h"
#include "runtime/thread.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;

// A thread whose body is a lambda.
class LambdaBody : public TThread {
 public:
  LambdaBody(TBuildKey key, std::function<void(TThread&)> body)
      : TThread(key), body_(std::move(body)) {}

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TThread&)> body_;
};
using LambdaThread = TStarted<LambdaBody>;

TEST(HandOver, RunsOnTheMainThreadAndReturns) {
  TPlainMessageLoop loop;
  const auto main_id = std::this_thread::get_id();
  std::atomic<bool> ran_on_main{false}, returned{false};
  LambdaThread t([&](TThread&) {
    RunOnMainThread([&] { ran_on_main = std::this_thread::get_id() == main_id; });
    loop.Post([&] { returned = true; });  // wakes the loop too
  });
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }, 5s));
  EXPECT_TRUE(ran_on_main);
}

TEST(HandOver, OnTheMainThreadRunsAtOnce) {
  TPlainMessageLoop loop;
  bool ran = false;
  RunOnMainThread([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(HandOver, ExceptionCrossesBackToTheCallingThread) {
  TPlainMessageLoop loop;
  std::atomic<bool> caught{false}, done{false};
  std::string message;
  LambdaThread t([&](TThread&) {
    try {
      RunOnMainThread([] { throw std::runtime_error("from main"); });
    } catch (const std::runtime_error& e) {
      message = e.what();
      caught = true;
    }
    loop.Post([&] { done = true; });
  });
  EXPECT_TRUE(loop.RunUntil([&] { return done.load(); }, 5s));
  EXPECT_TRUE(caught);
  EXPECT_EQ(message, "from main");
}

TEST(HandOver, MainThreadWaitRunsTheHandOverOfTheThreadItWaitsFor) {
  TPlainMessageLoop loop;
  std::atomic<bool> entered{false};
  bool handed_over = false;
  LambdaThread t([&](TThread&) {
    entered = true;
    RunOnMainThread([&] { handed_over = true; });
  });
  while (!entered) std::this_thread::sleep_for(1ms);
  // Without the loop running, only WaitFor can run the hand-over the body is blocked in.
  t.WaitFor();
  EXPECT_TRUE(handed_over);
  EXPECT_TRUE(t.Finished());
}

TEST(HandOver, ManyThreadsHandingOverAtOnceAllComplete) {
  TPlainMessageLoop loop;
  constexpr int kThreads = 16, kCalls = 200;
  int counter = 0;  // main thread only: no lock needed if the hand-over holds
  std::atomic<int> finished{0};
  std::vector<std::unique_ptr<LambdaThread>> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.push_back(std::make_unique<LambdaThread>([&](TThread&) {
      for (int c = 0; c < kCalls; ++c) RunOnMainThread([&] { ++counter; });
      loop.Post([&] { ++finished; });
    }));
  EXPECT_TRUE(loop.RunUntil([&] { return finished.load() == kThreads; }, 30s));
  threads.clear();
  EXPECT_EQ(counter, kThreads * kCalls);
}

TEST(Thread, BodyStartsOnlyAfterTheConstructorAndStopsOnRequest) {
  TPlainMessageLoop loop;
  std::atomic<int> loops{0};
  auto t = std::make_unique<LambdaThread>([&](TThread& self) {
    while (!self.StopRequested()) {
      ++loops;
      std::this_thread::sleep_for(1ms);
    }
  });
  while (loops == 0) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(t->Finished());
  t->RequestStop();
  t->WaitFor();
  EXPECT_TRUE(t->Finished());
  t.reset();  // a second wait in the destructor is harmless
}

TEST(Thread, DestructionRequestsStopAndWaits) {
  TPlainMessageLoop loop;
  std::atomic<bool> ended{false};
  {
    LambdaThread t([&](TThread& self) {
      while (!self.StopRequested()) std::this_thread::sleep_for(1ms);
      RunOnMainThread([] {});  // must not deadlock inside the destructor's wait
      ended = true;
    });
  }
  EXPECT_TRUE(ended);
}

TEST(Thread, ATimedWaitGivesUpAtItsDeadlineAndRunsHandOversMeanwhile) {
  TPlainMessageLoop loop;
  std::atomic<bool> release{false}, handed_over{false};
  LambdaThread t([&](TThread&) {
    while (!release) std::this_thread::sleep_for(1ms);
    RunOnMainThread([&] { handed_over = true; });  // ends only if the waiting main thread runs it
  });
  EXPECT_FALSE(t.WaitUntil(std::chrono::steady_clock::now() + 20ms));
  EXPECT_FALSE(t.Finished());
  release = true;
  EXPECT_TRUE(t.WaitUntil(std::chrono::steady_clock::now() + 10s));
  EXPECT_TRUE(handed_over);
}

TEST(Thread, AnExceptionEscapingTheBodyEndsOnlyThatThread) {
  TPlainMessageLoop loop;
  LambdaThread t([](TThread&) { throw std::runtime_error("body"); });
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

}  // namespace
}  // namespace orvix

namespace orvix {
namespace {

class Sleeper : public TThread {
 public:
  explicit Sleeper(TBuildKey key) : TThread(key) {}

 protected:
  void Execute() override { SleepFor(std::chrono::hours(1)); }
};

TEST(Thread, StopRequestCutsASleepShort) {
  TPlainMessageLoop loop;
  TStarted<Sleeper> t;
  t.RequestStop();
  t.WaitFor();  // would take an hour if the sleep ignored the request
  EXPECT_TRUE(t.Finished());
}

// A body that uses a member of its own class, and the member records whether the body was still
// running when it was destroyed: with the stop left to each derived class's destructor, one that
// forgot it would let the body run on into a freed member.
class UsesItsMember : public TThread {
 public:
  struct Member {
    std::atomic<bool> in_use{false};
    std::atomic<bool>* in_use_when_destroyed;
    ~Member() { *in_use_when_destroyed = in_use.load(); }
  };
  UsesItsMember(TBuildKey key, std::atomic<bool>& in_use_when_destroyed, std::atomic<bool>& started)
      : TThread(key), member_{false, &in_use_when_destroyed}, started_(started) {}

 protected:
  void Execute() override {
    member_.in_use = true;
    started_ = true;
    SleepFor(std::chrono::hours(1));
    member_.in_use = false;
  }

 private:
  Member member_;
  std::atomic<bool>& started_;
};

static_assert(!std::is_default_constructible_v<TThread::TBuildKey>,
              "only TStarted may build a thread object");

TEST(Thread, TheBodyHasEndedBeforeAnyMemberOfItsClassGoes) {
  TPlainMessageLoop loop;
  std::atomic<bool> in_use_when_destroyed{true}, started{false};
  std::unique_ptr<UsesItsMember> t = StartThread<UsesItsMember>(in_use_when_destroyed, started);
  while (!started) std::this_thread::sleep_for(1ms);
  t.reset();  // no stop asked for: the destruction alone must stop the body first
  EXPECT_FALSE(in_use_when_destroyed);
}

}  // namespace
}  // namespace orvix
