// The runtime's thread class: a body on a thread of its own, a stop request, and a wait that
// keeps the main thread's hand-overs running.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace orvix {

template <class T>
class TStarted;

// A thread object exists only as a TStarted<T> (made by StartThread): its constructor needs a
// key that nothing else can make. TStarted starts the body once the whole object is built, and
// stops the body and waits for it before any part of the derived class is destroyed, so no
// body ever runs on a half-built or half-destroyed object.
class TThread {
 public:
  class TBuildKey {
    TBuildKey() = default;
    template <class T>
    friend class TStarted;
  };

  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  virtual ~TThread();

  void RequestStop();
  bool StopRequested() const { return stop_requested_.load(); }
  bool Finished() const { return finished_.load(); }

  // Blocks until the body has returned. On the main thread it keeps running queued hand-overs,
  // so a body blocked in RunOnMainThread can finish.
  void WaitFor();
  // The same, but gives up at the deadline; returns whether the body has returned.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline);
  // RequestStop, then WaitFor.
  void Terminate();

 protected:
  explicit TThread(TBuildKey /*key*/) {}
  virtual void Execute() = 0;
  // Called by RequestStop: wakes a body that waits on something other than SleepFor.
  virtual void WakeBody() {}
  // Sleeps in the body; a stop request cuts the sleep short.
  void SleepFor(std::chrono::milliseconds duration);

 private:
  template <class T>
  friend class TStarted;
  void Start();
  void Main();

  std::thread thread_;
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> finished_{false};
  std::mutex sleep_mutex_;
  std::condition_variable sleep_cv_;
};

template <class T>
class TStarted final : public T {
 public:
  template <class... Args>
  explicit TStarted(Args&&... args) : T(TThread::TBuildKey{}, std::forward<Args>(args)...) {
    this->Start();
  }
  ~TStarted() override { this->Terminate(); }
};

// Builds a T, then starts its body.
template <class T, class... Args>
std::unique_ptr<T> StartThread(Args&&... args) {
  return std::make_unique<TStarted<T>>(std::forward<Args>(args)...);
}

}  // namespace orvix
