// The placement record on window systems that have none (X11 and the other Qt platforms but
// Windows): each field is given its equivalent through Qt, as window_placement.h describes.
#include "app/placement/window_placement.h"

#include <QGuiApplication>
#include <QPoint>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace orvix {
namespace {

constexpr const char* kMinPositionProperty = "orvixMinPosition";
constexpr const char* kMaxPositionProperty = "orvixMaxPosition";

QRect WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

TPlacementPoint StoredPoint(const QWidget& window, const char* property) {
  const QVariant v = window.property(property);
  if (!v.isValid()) return {-1, -1};
  const QPoint p = v.toPoint();
  return {p.x(), p.y()};
}

void StorePoint(QWidget& window, const char* property, TPlacementPoint p) {
  window.setProperty(property, QPoint(p.X, p.Y));
}

QMargins FrameMargins(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

// The outer rectangle the window has, or will have again, in its normal state.
QRect NormalFrame(const QWidget& window) {
  if (!window.isMaximized() && !window.isFullScreen()) return window.frameGeometry();
  const QRect normal = window.normalGeometry();
  if (normal.isEmpty()) return window.frameGeometry();
  return normal.marginsAdded(FrameMargins(window));
}

QRect KeptOnScreen(QRect frame) {
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(frame)) return frame;
  const QRect area = WorkArea();
  if (area.isEmpty()) return frame;
  frame.moveLeft(std::clamp(frame.left(), area.left(),
                            std::max(area.left(), area.right() + 1 - frame.width())));
  frame.moveTop(std::clamp(frame.top(), area.top(),
                           std::max(area.top(), area.bottom() + 1 - frame.height())));
  return frame;
}

void SetNormalFrame(QWidget& window, const QRect& frame) {
  // A maximised window's normal rectangle cannot be set on its own here.
  if (window.isMaximized() || window.isFullScreen()) return;
  const QRect current = window.frameGeometry();
  if (frame.topLeft() != current.topLeft()) {
    window.move(frame.topLeft());
    // Before the window manager has framed a window Qt does not know the frame, and would put
    // the client where the frame belongs; placing the frame itself lets the manager do it.
    if (QWindow* handle = window.windowHandle()) handle->setFramePosition(frame.topLeft());
  }
  const QSize client = frame.size() - (current.size() - window.size());
  if (client != window.size() && client.isValid()) window.resize(client);
}

void ApplyShowCommand(QWidget& window, const TWindowPlacement& placement) {
  switch (placement.ShowCmd) {
    case swShowNormal:
    case swRestore:
      SetWindowState(window, wsNormal);
      break;
    case swShowMinimized:
    case swMinimize:
    case swShowMinNoActive:
      if (placement.Flags & wpfRestoreToMaximized)
        window.setWindowState((window.windowState() & ~Qt::WindowFullScreen) | Qt::WindowMinimized |
                              Qt::WindowMaximized);
      else
        SetWindowState(window, wsMinimized);
      break;
    case swShowMaximized:
      SetWindowState(window, wsMaximized);
      break;
    default:
      break;
  }
}

}  // namespace

TWindowPlacement GetWindowPlacement(const QWidget& window) {
  TWindowPlacement p;
  const bool minimized = window.isMinimized();
  const bool maximized = window.isMaximized();
  p.ShowCmd = minimized ? swShowMinimized : maximized ? swShowMaximized : swShowNormal;
  p.Flags = minimized && maximized ? wpfRestoreToMaximized : 0;
  p.MinPosition = StoredPoint(window, kMinPositionProperty);
  p.MaxPosition = StoredPoint(window, kMaxPositionProperty);
  const QRect frame = NormalFrame(window).translated(-WorkArea().topLeft());
  p.NormalPosition = {frame.left(), frame.top(), frame.left() + frame.width(),
                      frame.top() + frame.height()};
  return p;
}

void SetWindowPlacement(QWidget& window, const TWindowPlacement& placement) {
  StorePoint(window, kMinPositionProperty, placement.MinPosition);
  StorePoint(window, kMaxPositionProperty, placement.MaxPosition);
  const TPlacementRect& r = placement.NormalPosition;
  const QRect frame(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  SetNormalFrame(window, KeptOnScreen(frame.translated(WorkArea().topLeft())));
  ApplyShowCommand(window, placement);
}

bool IsWindowVisible(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle && handle->isVisible();
}

TScreenSize PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {screen->size().width(), screen->size().height()};
}

int32_t ScreenPixelsPerInch() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

TPlacementPoint FrameBorderSize(const QWidget& window) {
  if (window.windowFlags() & Qt::FramelessWindowHint) return {0, 0};
  const QMargins m = FrameMargins(window);
  return {m.left(), m.bottom()};
}

}  // namespace orvix
