// The main thread's message loop, behind one interface with two bindings: a plain one (the
// command line and the core tests) and a Qt one (the window program).
#pragma once

#include <exception>
#include <functional>
#include <memory>

namespace orvix {

// A timer as the binding keeps it; TTimer is the class the rest of the program uses.
class TLoopTimer {
 public:
  virtual ~TLoopTimer() = default;
  virtual void Start(int interval_ms) = 0;  // (re)starts the count from now
  virtual void Stop() = 0;
};

class TMessageLoop {
 public:
  virtual ~TMessageLoop() = default;

  // Any thread: queue a call for the main thread and wake it.
  virtual void Post(std::function<void()> call) = 0;
  // Main thread: run what is pending now (hand-overs, posted calls, due timers), without waiting.
  virtual void ProcessMessages() = 0;
  // Main thread: run until Quit(); calls nest, Quit() ends the innermost.
  virtual void Run() = 0;
  virtual void Quit() = 0;
  // A timer whose expiry runs on_fire on the main thread, every interval until stopped.
  virtual std::unique_ptr<TLoopTimer> CreateTimer(std::function<void()> on_fire) = 0;
};

// The loop of this process. A binding installs itself when it is made and removes itself when it
// goes; there is one at a time.
TMessageLoop& CurrentLoop();
void InstallLoop(TMessageLoop* loop);

// Where exceptions that escape a loop-dispatched call (timer, posted call) go; the program goes
// on. The default writes the message to stderr.
using ExceptionHandler = std::function<void(std::exception_ptr)>;
void SetExceptionHandler(ExceptionHandler handler);
void HandleException(std::exception_ptr error);
// Runs call and hands anything it throws to the application-wide handler.
void RunGuarded(const std::function<void()>& call);

// A message-loop timer: fires on the main thread; enabling an enabled timer does not restart it.
class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_; }
  // A change on a running timer starts its count again, with the new interval.
  void SetInterval(int interval_ms);

  std::function<void()> OnTimer;

 private:
  std::unique_ptr<TLoopTimer> timer_;
  bool enabled_ = false;
  int interval_ = 1000;
};

}  // namespace orvix
