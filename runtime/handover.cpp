#include "runtime/handover.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace orvix {
namespace {

struct PendingCall {
  const std::function<void()>* call;
  std::exception_ptr error;
  bool done = false;
};

struct HandOverState {
  std::mutex mutex;
  std::condition_variable done_cv;    // callers wait here for their call to have run
  std::condition_variable signal_cv;  // the main thread waits here in WaitFor
  std::deque<PendingCall*> queue;
  std::function<void()> wake_hook;
  uint64_t signal_count = 0;
  std::thread::id main_thread;
};

HandOverState& State() {
  static HandOverState state;
  return state;
}

}  // namespace

void SetMainThread() {
  std::lock_guard lock(State().mutex);
  State().main_thread = std::this_thread::get_id();
}

bool IsMainThread() {
  std::lock_guard lock(State().mutex);
  return State().main_thread == std::this_thread::get_id();
}

void SetHandOverWakeHook(std::function<void()> hook) {
  std::lock_guard lock(State().mutex);
  State().wake_hook = std::move(hook);
}

void RunOnMainThread(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  auto& s = State();
  PendingCall pending{&call, nullptr, false};
  std::function<void()> wake;
  {
    std::lock_guard lock(s.mutex);
    s.queue.push_back(&pending);
    ++s.signal_count;
    wake = s.wake_hook;
  }
  s.signal_cv.notify_all();
  if (wake) wake();
  std::unique_lock lock(s.mutex);
  s.done_cv.wait(lock, [&] { return pending.done; });
  if (pending.error) std::rethrow_exception(pending.error);
}

bool RunPendingHandOvers() {
  auto& s = State();
  bool ran = false;
  for (;;) {
    PendingCall* pending;
    {
      std::lock_guard lock(s.mutex);
      if (s.queue.empty()) break;
      pending = s.queue.front();
      s.queue.pop_front();
    }
    ran = true;
    std::exception_ptr error;
    try {
      (*pending->call)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(s.mutex);
      // Moved, not copied: the waiting thread alone releases the exception.
      pending->error = std::move(error);
      pending->done = true;
    }
    s.done_cv.notify_all();
  }
  return ran;
}

uint64_t MainThreadSignalCount() {
  std::lock_guard lock(State().mutex);
  return State().signal_count;
}

void SignalMainThread() {
  {
    std::lock_guard lock(State().mutex);
    ++State().signal_count;
  }
  State().signal_cv.notify_all();
}

void WaitMainThreadSignal(uint64_t seen, int timeout_ms) {
  auto& s = State();
  std::unique_lock lock(s.mutex);
  auto changed = [&] { return s.signal_count != seen; };
  if (timeout_ms < 0)
    s.signal_cv.wait(lock, changed);
  else
    s.signal_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), changed);
}

}  // namespace orvix
