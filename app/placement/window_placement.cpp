#include "app/placement/window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QMetaObject>
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

// The file holds device pixels, as the Windows build writes them, whatever the scale Qt applies
// (QT_SCALE_FACTOR, QT_FONT_DPI, a high-density screen): Qt's own coordinates are device pixels
// divided by the screen's device pixel ratio.
double DeviceScale() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

int32_t ToDevice(int logical) {
  return qRound(logical * DeviceScale());
}

int FromDevice(int32_t device) {
  return qRound(device / DeviceScale());
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

}  // namespace

void MoveFrameTo(QWidget& window, const QPoint& frame_top_left) {
  window.move(frame_top_left);
  // Before the window manager has framed a window Qt does not know the frame, and would put the
  // client where the frame belongs; placing the frame itself lets the manager do it, whether the
  // frame is known yet or not.
  if (QWindow* handle = window.windowHandle()) handle->setFramePosition(frame_top_left);
}

namespace {

QRect InsideWorkArea(QRect frame) {
  const QRect area = WorkArea();
  if (area.isEmpty()) return frame;
  frame.moveLeft(std::clamp(frame.left(), area.left(),
                            std::max(area.left(), area.right() + 1 - frame.width())));
  frame.moveTop(std::clamp(frame.top(), area.top(),
                           std::max(area.top(), area.bottom() + 1 - frame.height())));
  return frame;
}

bool OnAnyScreen(const QRect& frame) {
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(frame)) return true;
  return false;
}

void SetNormalFrame(QWidget& window, const QRect& frame) {
  // A maximised window's normal rectangle cannot be set on its own here.
  if (window.isMaximized() || window.isFullScreen()) return;
  const QRect current = window.frameGeometry();
  if (frame.topLeft() != current.topLeft()) MoveFrameTo(window, frame.topLeft());
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

TWindowPlacement GetWindowPlacement(const QWidget& window) {
  TWindowPlacement p;
  const bool minimized = window.isMinimized();
  const bool maximized = window.isMaximized();
  p.ShowCmd = minimized ? swShowMinimized : maximized ? swShowMaximized : swShowNormal;
  p.Flags = minimized && maximized ? wpfRestoreToMaximized : 0;
  p.MinPosition = StoredPoint(window, kMinPositionProperty);
  p.MaxPosition = StoredPoint(window, kMaxPositionProperty);
  const QRect frame = NormalFrame(window).translated(-WorkArea().topLeft());
  p.NormalPosition = {ToDevice(frame.left()), ToDevice(frame.top()),
                      ToDevice(frame.left() + frame.width()), ToDevice(frame.top() + frame.height())};
  return p;
}

void SetWindowPlacement(QWidget& window, const TWindowPlacement& placement) {
  // As on Windows: the minimised position is taken only when the flags ask for it; otherwise the
  // window keeps its own (-1, -1 for one that has none).
  if (placement.Flags & wpfSetMinPosition)
    StorePoint(window, kMinPositionProperty, placement.MinPosition);
  StorePoint(window, kMaxPositionProperty, placement.MaxPosition);
  const TPlacementRect& r = placement.NormalPosition;
  const QRect frame = QRect(FromDevice(r.Left), FromDevice(r.Top), FromDevice(r.Right - r.Left),
                            FromDevice(r.Bottom - r.Top))
                          .translated(WorkArea().topLeft());
  if (OnAnyScreen(frame)) {
    SetNormalFrame(window, frame);
  } else {
    SetNormalFrame(window, InsideWorkArea(frame));
    // Brought back with the frame unknown, the title bar's height would hang below the edge.
    AgainWhenFramed(window, [&window] {
      if (!window.isMaximized() && !window.isMinimized())
        MoveFrameTo(window, InsideWorkArea(window.frameGeometry()).topLeft());
    });
  }
  ApplyShowCommand(window, placement);
}

bool IsWindowVisible(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle && handle->isVisible();
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

TScreenSize PrimaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {ToDevice(screen->size().width()), ToDevice(screen->size().height())};
}

// Qt divides the screen's logical density by the scale it applies; the file keeps the screen's
// own, as Windows reports it.
int32_t ScreenPixelsPerInch() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? qRound(screen->logicalDotsPerInch() * screen->devicePixelRatio()) : 96;
}

bool HasSizeableFrame(const QWidget& window) {
  return !(window.windowFlags() & Qt::FramelessWindowHint) &&
         window.minimumSize() != window.maximumSize();
}

TPlacementPoint FrameBorderSize(const QWidget& window) {
  if (window.windowFlags() & Qt::FramelessWindowHint) return {0, 0};
  const QMargins m = FrameMargins(window);
  return {ToDevice(m.left()), ToDevice(m.bottom())};
}

}  // namespace orvix
