// The message loop on top of Qt's event loop: posted calls are queued invocations on the
// application object, timers are QTimers, hand-overs run whenever Qt processes events (also in
// modal dialogs and message boxes).
#pragma once

#include <vector>

#include "runtime/message_loop.h"

class QEventLoop;

namespace orvix {

class TQtMessageLoop final : public TMessageLoop {
 public:
  // Needs the application object; makes the calling thread the main thread and installs this
  // loop as the current one.
  TQtMessageLoop();
  ~TQtMessageLoop() override;
  TQtMessageLoop(const TQtMessageLoop&) = delete;
  TQtMessageLoop& operator=(const TQtMessageLoop&) = delete;

  void Post(std::function<void()> call) override;
  void ProcessMessages() override;
  void Run() override;
  void Quit() override;
  std::unique_ptr<TLoopTimer> CreateTimer(std::function<void()> on_fire) override;

 private:
  std::vector<QEventLoop*> running_;  // innermost last
};

}  // namespace orvix
