#include "runtime/thread.h"

#include <algorithm>
#include <cstdint>

#include "runtime/handover.h"

namespace orvix {

// TStarted has stopped and joined the body by now; this only covers a thread that never started.
TThread::~TThread() {
  Terminate();
}

void TThread::Start() { thread_ = std::thread([this] { Main(); }); }

void TThread::Main() {
  try {
    Execute();
  } catch (...) {
    // A body owns its errors; one that escapes ends the thread and nothing more.
  }
  finished_.store(true);
  SignalMainThread();
}

void TThread::RequestStop() {
  {
    std::lock_guard lock(sleep_mutex_);
    stop_requested_.store(true);
  }
  sleep_cv_.notify_all();
  WakeBody();
}

void TThread::SleepFor(std::chrono::milliseconds duration) {
  std::unique_lock lock(sleep_mutex_);
  sleep_cv_.wait_for(lock, duration, [this] { return stop_requested_.load(); });
}

void TThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) return;
  if (IsMainThread()) {
    for (;;) {
      uint64_t seen = MainThreadSignalCount();
      RunPendingHandOvers();
      if (finished_.load()) break;
      WaitMainThreadSignal(seen, -1);
    }
  }
  thread_.join();
}

bool TThread::WaitUntil(std::chrono::steady_clock::time_point deadline) {
  const bool main = IsMainThread();
  for (;;) {
    const uint64_t seen = MainThreadSignalCount();
    if (main) RunPendingHandOvers();
    if (finished_.load()) return true;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    WaitMainThreadSignal(seen, static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX)));
  }
}

void TThread::Terminate() {
  RequestStop();
  WaitFor();
}

}  // namespace orvix
