#include "runtime/qt/qt_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <stdexcept>

#include "runtime/handover.h"

namespace orvix {
namespace {

// Queued on the application object so it runs in whatever event loop the main thread is in.
void PostToApplication(std::function<void()> call) {
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}

class QtTimer final : public TLoopTimer {
 public:
  explicit QtTimer(std::function<void()> on_fire)
      : state_(std::make_shared<State>()), timer_(new QTimer) {
    state_->on_fire = std::move(on_fire);
    timer_->setTimerType(Qt::PreciseTimer);
    // The handler may destroy this timer; the state it runs from outlives that.
    QObject::connect(timer_, &QTimer::timeout, timer_, [state = state_] {
      ++state->firing;
      RunGuarded(state->on_fire);
      --state->firing;
    });
  }
  ~QtTimer() override {
    timer_->stop();
    if (state_->firing > 0)
      timer_->deleteLater();  // Qt is still inside this QTimer's timeout
    else
      delete timer_;
  }
  void Start(int interval_ms) override { timer_->start(std::max(interval_ms, 0)); }
  void Stop() override { timer_->stop(); }

 private:
  struct State {
    std::function<void()> on_fire;
    int firing = 0;
  };
  std::shared_ptr<State> state_;
  QTimer* timer_;
};

}  // namespace

TQtMessageLoop::TQtMessageLoop() {
  if (!QCoreApplication::instance())
    throw std::logic_error("the Qt message loop needs the application object");
  SetMainThread();
  SetHandOverWakeHook([] { PostToApplication([] { RunPendingHandOvers(); }); });
  InstallLoop(this);
}

TQtMessageLoop::~TQtMessageLoop() {
  SetHandOverWakeHook(nullptr);
  InstallLoop(nullptr);
}

void TQtMessageLoop::Post(std::function<void()> call) {
  PostToApplication([call = std::move(call)] { RunGuarded(call); });
}

void TQtMessageLoop::ProcessMessages() {
  QCoreApplication::processEvents();
  RunPendingHandOvers();
}

void TQtMessageLoop::Run() {
  QEventLoop loop;
  running_.push_back(&loop);
  loop.exec();
  running_.pop_back();
}

void TQtMessageLoop::Quit() {
  if (!running_.empty()) running_.back()->exit();
}

std::unique_ptr<TLoopTimer> TQtMessageLoop::CreateTimer(std::function<void()> on_fire) {
  return std::make_unique<QtTimer>(std::move(on_fire));
}

}  // namespace orvix
