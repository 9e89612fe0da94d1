#include "runtime/plain_loop.h"

#include <algorithm>

#include "runtime/handover.h"

namespace orvix {

struct TPlainMessageLoop::TimerEntry {
  std::function<void()> on_fire;
  bool running = false;
  std::chrono::milliseconds interval{0};
  Clock::time_point due;
};

class TPlainMessageLoop::PlainTimer final : public TLoopTimer {
 public:
  PlainTimer(TPlainMessageLoop& loop, std::function<void()> on_fire) : loop_(loop) {
    entry_.on_fire = std::move(on_fire);
    loop_.timers_.push_back(&entry_);
  }
  ~PlainTimer() override { loop_.timers_.remove(&entry_); }
  void Start(int interval_ms) override {
    entry_.running = true;
    entry_.interval = std::chrono::milliseconds(std::max(interval_ms, 0));
    entry_.due = Clock::now() + entry_.interval;
  }
  void Stop() override { entry_.running = false; }

 private:
  TPlainMessageLoop& loop_;
  TimerEntry entry_;
};

TPlainMessageLoop::TPlainMessageLoop() {
  SetMainThread();
  SetHandOverWakeHook([this] { Wake(); });
  InstallLoop(this);
}

TPlainMessageLoop::~TPlainMessageLoop() {
  SetHandOverWakeHook(nullptr);
  InstallLoop(nullptr);
}

void TPlainMessageLoop::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  cv_.notify_one();
}

void TPlainMessageLoop::Post(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(call));
    woken_ = true;
  }
  cv_.notify_one();
}

std::unique_ptr<TLoopTimer> TPlainMessageLoop::CreateTimer(std::function<void()> on_fire) {
  return std::make_unique<PlainTimer>(*this, std::move(on_fire));
}

TPlainMessageLoop::Clock::time_point TPlainMessageLoop::RunOnce() {
  std::deque<std::function<void()>> posted;
  {
    // Cleared before the work is taken, so a wake-up that comes while it runs is not lost.
    std::lock_guard lock(mutex_);
    posted.swap(posted_);
    woken_ = false;
  }
  RunPendingHandOvers();
  for (auto& call : posted) RunGuarded(call);

  // A handler may start, stop or destroy any timer, so collect the due ones first and look each
  // one up again before firing it.
  auto now = Clock::now();
  std::vector<TimerEntry*> due;
  for (auto* t : timers_)
    if (t->running && t->due <= now) due.push_back(t);
  for (auto* t : due) {
    if (std::find(timers_.begin(), timers_.end(), t) == timers_.end() || !t->running ||
        t->due > now)
      continue;
    t->due = now + t->interval;
    RunGuarded(t->on_fire);
  }

  auto next = Clock::time_point::max();
  for (auto* t : timers_)
    if (t->running) next = std::min(next, t->due);
  return next;
}

void TPlainMessageLoop::WaitForWork(Clock::time_point until) {
  std::unique_lock lock(mutex_);
  if (until == Clock::time_point::max())
    cv_.wait(lock, [&] { return woken_; });
  else
    cv_.wait_until(lock, until, [&] { return woken_; });
}

void TPlainMessageLoop::ProcessMessages() {
  RunOnce();
}

void TPlainMessageLoop::Run() {
  int depth = ++run_depth_;
  while (quit_depth_ != depth) WaitForWork(RunOnce());
  quit_depth_ = -1;
  --run_depth_;
}

void TPlainMessageLoop::Quit() {
  quit_depth_ = run_depth_;
  Wake();
}

bool TPlainMessageLoop::RunUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds limit) {
  auto end = Clock::now() + limit;
  for (;;) {
    auto next = RunOnce();
    if (done()) return true;
    auto now = Clock::now();
    if (now >= end) return false;
    WaitForWork(std::min(next, end));
  }
}

}  // namespace orvix
