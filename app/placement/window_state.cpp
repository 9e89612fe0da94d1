// The placement operations that Qt answers alike on every platform: window states, the
// application's main windows, the frame kind, and placing a window again once it is framed.
#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QPoint>
#include <QWidget>
#include <QWindow>

#include "app/placement/window_placement.h"

namespace orvix {
namespace {

bool IsApplicationWindow(const QWidget& window) {
  return window.isWindow() && !window.parentWidget() &&
         (window.windowType() == Qt::Window || window.windowType() == Qt::Dialog);
}

// Runs its call once the window's frame is known, then goes.
class FramedWatch final : public QObject {
 public:
  FramedWatch(QWidget& window, std::function<void()> call)
      : QObject(&window), window_(window), call_(std::move(call)) {
    // Not at once: a filter installed while the window's filters run (the placement store
    // restores from one) would have the same event filtered again, and again.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (IsFramed(window_))
            Run();
          else
            window_.installEventFilter(this);
        },
        Qt::QueuedConnection);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &window_ || !call_) return false;
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Paint:
      case QEvent::WindowActivate:
        break;
      default:
        return false;
    }
    if (!IsFramed(window_)) return false;
    window_.removeEventFilter(this);
    Run();
    return false;
  }

 private:
  void Run() {
    const std::function<void()> call = std::move(call_);
    call_ = nullptr;
    deleteLater();
    call();
  }

  QWidget& window_;
  std::function<void()> call_;
};

}  // namespace

bool IsFramed(const QWidget& window) {
  return window.frameGeometry() != window.geometry();
}

void AgainWhenFramed(QWidget& window, std::function<void()> call) {
  if (!IsFramed(window) && !(window.windowFlags() & Qt::FramelessWindowHint))
    new FramedWatch(window, std::move(call));
}

void MoveFrameTo(QWidget& window, const QPoint& frame_top_left) {
  window.move(frame_top_left);
  // Before the window manager has framed a window Qt does not know the frame, and would put the
  // client where the frame belongs; placing the frame itself lets the manager do it, whether the
  // frame is known yet or not.
  if (QWindow* handle = window.windowHandle()) handle->setFramePosition(frame_top_left);
}

void SetWindowState(QWidget& window, TWindowState state) {
  const Qt::WindowStates current = window.windowState();
  Qt::WindowStates wanted =
      current & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
  if (state == wsMinimized) wanted |= Qt::WindowMinimized;
  if (state == wsMaximized) wanted |= Qt::WindowMaximized;
  if (wanted != current) window.setWindowState(wanted);
}

bool IsApplicationMainWindow(const QWidget& window) {
  return IsApplicationWindow(window) && window.windowType() == Qt::Window;
}

bool IsApplicationMinimized() {
  bool any = false;
  for (const QWidget* w : QApplication::topLevelWidgets()) {
    if (!IsApplicationMainWindow(*w) || !w->isVisible()) continue;
    if (!w->isMinimized()) return false;
    any = true;
  }
  return any;
}

void PostMinimizeApplication() {
  QMetaObject::invokeMethod(
      qApp,
      [] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (IsApplicationWindow(*w) && w->isVisible() && !w->isMinimized()) w->showMinimized();
      },
      Qt::QueuedConnection);
}

bool HasSizeableFrame(const QWidget& window) {
  return !(window.windowFlags() & Qt::FramelessWindowHint) &&
         window.minimumSize() != window.maximumSize();
}

}  // namespace orvix
