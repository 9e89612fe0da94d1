// The placement record on Windows: the window system's own, read and written whole, so the ini
// file holds exactly what Windows reports and other Windows programs' files read back as written.
// Numbers are physical pixels, as the record has them; Qt follows the native window on its own.
#include <windows.h>

#include <QWidget>
#include <QWindow>
#include <system_error>

#include "app/placement/window_placement.h"

namespace orvix {
namespace {

HWND Handle(const QWidget& window) {
  // Creates the native window when it is not there yet, as reading a placement needs one.
  return reinterpret_cast<HWND>(window.winId());
}

[[noreturn]] void RaiseLastError(const char* call) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), call);
}

// The widget keeps its own copy of the geometry and hears of native moves only through a queued
// event; a show coming before that event would put the window back where it was.
void FollowNativeGeometry(QWidget& window, HWND hwnd) {
  if (::IsIconic(hwnd) || ::IsZoomed(hwnd)) return;
  const QWindow* handle = window.windowHandle();
  if (!handle) return;
  const QRect native = handle->geometry();
  if (native != window.geometry()) window.setGeometry(native);
}

}  // namespace

TWindowPlacement GetWindowPlacement(const QWidget& window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!::GetWindowPlacement(Handle(window), &wp)) RaiseLastError("GetWindowPlacement");
  TWindowPlacement p;
  p.Flags = static_cast<int32_t>(wp.flags);
  p.ShowCmd = static_cast<int32_t>(wp.showCmd);
  p.MinPosition = {wp.ptMinPosition.x, wp.ptMinPosition.y};
  p.MaxPosition = {wp.ptMaxPosition.x, wp.ptMaxPosition.y};
  p.NormalPosition = {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                      wp.rcNormalPosition.right, wp.rcNormalPosition.bottom};
  return p;
}

void SetWindowPlacement(QWidget& window, const TWindowPlacement& placement) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  wp.flags = static_cast<UINT>(placement.Flags);
  wp.showCmd = static_cast<UINT>(placement.ShowCmd);
  wp.ptMinPosition = {placement.MinPosition.X, placement.MinPosition.Y};
  wp.ptMaxPosition = {placement.MaxPosition.X, placement.MaxPosition.Y};
  const TPlacementRect& r = placement.NormalPosition;
  wp.rcNormalPosition = {r.Left, r.Top, r.Right, r.Bottom};
  const HWND hwnd = Handle(window);
  if (!::SetWindowPlacement(hwnd, &wp)) RaiseLastError("SetWindowPlacement");
  FollowNativeGeometry(window, hwnd);
}

void KeepNormalRect(QWidget& /*window*/, const TPlacementRect& /*rect*/) {}

bool IsWindowVisible(const QWidget& window) {
  const WId id = window.internalWinId();
  return id && ::IsWindowVisible(reinterpret_cast<HWND>(id));
}

TScreenSize PrimaryScreenSize() {
  return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

int32_t ScreenPixelsPerInch() {
  const HDC screen = ::GetDC(nullptr);
  if (!screen) return 96;
  const int ppi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return ppi;
}

// The frame a maximised window's corner hides beyond the work area, by frame kind.
TPlacementPoint FrameBorderSize(const QWidget& window) {
  const Qt::WindowFlags flags = window.windowFlags();
  if (flags & Qt::FramelessWindowHint) return {0, 0};
  if (HasSizeableFrame(window))
    return {::GetSystemMetrics(SM_CXFRAME), ::GetSystemMetrics(SM_CYFRAME)};
  if ((flags & Qt::WindowType_Mask) == Qt::Tool)
    return {::GetSystemMetrics(SM_CXBORDER), ::GetSystemMetrics(SM_CYBORDER)};
  return {::GetSystemMetrics(SM_CXDLGFRAME), ::GetSystemMetrics(SM_CYDLGFRAME)};
}

}  // namespace orvix
