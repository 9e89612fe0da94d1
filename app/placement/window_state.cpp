// The placement operations that Qt answers alike on every platform: window states, the
// application's main windows, and the frame kind.
#include <QApplication>
#include <QMetaObject>
#include <QWidget>

#include "app/placement/window_placement.h"

namespace orvix {
namespace {

bool IsApplicationWindow(const QWidget& window) {
  return window.isWindow() && !window.parentWidget() &&
         (window.windowType() == Qt::Window || window.windowType() == Qt::Dialog);
}

}  // namespace

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
