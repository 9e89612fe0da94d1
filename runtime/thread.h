// The runtime's thread class: a body on a thread of its own, a stop request, and a wait that
// keeps the main thread's hand-overs running.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvix {

class TThread {
 public:
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Asks the body to stop and waits for it. A derived class whose body uses its own members
  // must call Terminate() first in its own destructor: those members die before this runs.
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
  TThread() = default;
  // Starts the body. A derived class calls it as the last step of its constructor, so the body
  // never runs on a half-built object.
  void Start();
  virtual void Execute() = 0;
  // Sleeps in the body; a stop request cuts the sleep short.
  void SleepFor(std::chrono::milliseconds duration);

 private:
  void Main();

  std::thread thread_;
  std::atomic<bool> stop_requested_{false};
  std::atomic<bool> finished_{false};
  std::mutex sleep_mutex_;
  std::condition_variable sleep_cv_;
};

}  // namespace orvix
