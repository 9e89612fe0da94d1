// The placement record on window systems that have none (X11 and the other Qt platforms but
// Windows): each field is given its equivalent through Qt, as window_placement.h describes.
#include "app/placement/window_placement.h"

#include <QGuiApplication>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace orvix {
namespace {

constexpr const char* kMinPositionProperty = "orvixMinPosition";
constexpr const char* kMaxPositionProperty = "orvixMaxPosition";
// A window restored maximised keeps the normal frame the file gave, while Qt's normal geometry is
// still the one it had then (the user has not restored and moved it since).
constexpr const char* kRestoredFrameProperty = "orvixRestoredNormalFrame";
constexpr const char* kRestoredGeometryProperty = "orvixRestoredNormalGeometry";

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
  // Maximised before the window system framed it, the normal geometry holds the frame's corner,
  // and the maximised frame's margins are not the normal ones: adding them moved the place up
  // and shrank it at every start. Until the user restores and moves it, the file's place stands.
  if (const QVariant kept = window.property(kRestoredFrameProperty);
      kept.isValid() && window.property(kRestoredGeometryProperty).toRect() == normal)
    return kept.toRect();
  return normal.marginsAdded(FrameMargins(window));
}

// The work area of the screen the frame lies most on, or of the nearest one when it lies on none.
QRect NearestWorkArea(const QRect& frame) {
  QRect best = WorkArea();
  long best_overlap = -1;
  int best_distance = 0;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->availableGeometry();
    const QRect common = area.intersected(frame);
    const long overlap = common.isEmpty() ? 0 : long{common.width()} * common.height();
    const int distance = (area.center() - frame.center()).manhattanLength();
    if (overlap > best_overlap || (overlap == best_overlap && distance < best_distance)) {
      best = area;
      best_overlap = overlap;
      best_distance = distance;
    }
  }
  return best;
}

QRect InsideWorkArea(QRect frame) {
  const QRect area = NearestWorkArea(frame);
  if (area.isEmpty()) return frame;
  frame.moveLeft(std::clamp(frame.left(), area.left(),
                            std::max(area.left(), area.right() + 1 - frame.width())));
  frame.moveTop(std::clamp(frame.top(), area.top(),
                           std::max(area.top(), area.bottom() + 1 - frame.height())));
  return frame;
}

// A rectangle of the record, in Qt's coordinates.
QRect FrameOfRecord(const TPlacementRect& r) {
  return QRect(FromDevice(r.Left), FromDevice(r.Top), FromDevice(r.Right - r.Left),
               FromDevice(r.Bottom - r.Top))
      .translated(WorkArea().topLeft());
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
  const QRect frame = FrameOfRecord(placement.NormalPosition);
  // A place partly off the screens leaves buttons out of reach: the whole frame goes onto the
  // nearest screen. Once the window system has framed the window the frame's real size is known,
  // and the title bar and borders are checked again.
  SetNormalFrame(window, InsideWorkArea(frame));
  AgainWhenFramed(window, [&window] {
    if (!window.isMaximized() && !window.isMinimized())
      MoveFrameTo(window, InsideWorkArea(window.frameGeometry()).topLeft());
  });
  ApplyShowCommand(window, placement);
}

void KeepNormalRect(QWidget& window, const TPlacementRect& rect) {
  window.setProperty(kRestoredFrameProperty, InsideWorkArea(FrameOfRecord(rect)));
  // What Qt will report as the normal geometry once the window is maximised from here.
  window.setProperty(kRestoredGeometryProperty, window.geometry());
}

bool IsWindowVisible(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle && handle->isVisible();
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

TPlacementPoint FrameBorderSize(const QWidget& window) {
  if (window.windowFlags() & Qt::FramelessWindowHint) return {0, 0};
  const QMargins m = FrameMargins(window);
  return {ToDevice(m.left()), ToDevice(m.bottom())};
}

}  // namespace orvix
