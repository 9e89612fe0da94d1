#include "runtime/message_loop.h"

#include <cstdio>
#include <stdexcept>

namespace orvix {
namespace {

TMessageLoop* g_loop = nullptr;

ExceptionHandler& Handler() {
  static ExceptionHandler handler;
  return handler;
}

}  // namespace

TMessageLoop& CurrentLoop() {
  if (!g_loop) throw std::logic_error("no message loop is running");
  return *g_loop;
}

void InstallLoop(TMessageLoop* loop) {
  g_loop = loop;
}

void SetExceptionHandler(ExceptionHandler handler) { Handler() = std::move(handler); }

void HandleException(std::exception_ptr error) {
  if (Handler()) {
    try {
      Handler()(error);
      return;
    } catch (...) {
      // The handler itself failed: fall back to stderr rather than lose the original error.
    }
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "unknown error\n");
  }
}

void RunGuarded(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

TTimer::TTimer()
    : timer_(CurrentLoop().CreateTimer([this] {
        if (enabled_ && OnTimer) OnTimer();
      })) {}

TTimer::~TTimer() { timer_->Stop(); }

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_)
    timer_->Start(interval_);
  else
    timer_->Stop();
}

void TTimer::SetInterval(int interval_ms) {
  if (interval_ms == interval_) return;
  interval_ = interval_ms;
  if (enabled_) timer_->Start(interval_);
}

}  // namespace orvix
