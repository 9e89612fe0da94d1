// The window system's side of placement persistence on Qt platforms.
//
// On Windows the record, visibility, screen size, pixels per inch and frame sizes are the window
// system's own (window_placement_win.cpp). X11 and the other Qt platforms have no placement
// record, so there GetWindowPlacement and SetWindowPlacement give each field of the Windows record
// an equivalent, keeping the ini file's keys, formats and show-command numbers the same on every
// platform (window_placement.cpp):
//   Flags           wpfRestoreToMaximized while the window is minimised from maximised; applying
//                   it makes a minimised window come back maximised. wpfSetMinPosition has no
//                   effect: X11 has no icon positions.
//   ShowCmd         2 minimised, 3 maximised, 1 otherwise. Applying one sets the window state:
//                   1 and 9 normal, 2, 6 and 7 minimised, 3 maximised; 0, 4, 5 and 8 leave it.
//                   Visibility is never changed by a record.
//   MinPosition     -1, -1 unless a record with wpfSetMinPosition set it; then kept with the
//                   window and given back as set. Window managers place minimised windows.
//   MaxPosition     kept with the window and given back as set; window managers place maximised
//                   windows themselves.
//   NormalPosition  the window's outer (frame) rectangle in its normal state, relative to the
//                   primary screen's work area, in device pixels. A rectangle that would put the window wholly
//                   off every screen is moved into the work area, as Windows does. The frame's
//                   size is known only once a window manager has framed the window; until then
//                   the outer rectangle is the window's own.
#pragma once

#include <functional>

#include "app/placement/placement_record.h"

class QPoint;
class QWidget;

namespace orvix {

enum TWindowState { wsNormal, wsMinimized, wsMaximized };

TWindowPlacement GetWindowPlacement(const QWidget& window);
void SetWindowPlacement(QWidget& window, const TWindowPlacement& placement);
// The normal rectangle as the file gave it, saved again as long as the window has not been in
// its normal state since. Where a window is restored maximised before the window system has
// framed it, what Qt then reports of its normal place is off by the frame, and each start and
// close would move it. Nothing to do on Windows, whose placement record keeps the rectangle.
void KeepNormalRect(QWidget& window, const TPlacementRect& rect);

// On the screen: false while the window's first show event runs, since Qt maps the window
// after it.
bool IsWindowVisible(const QWidget& window);
void SetWindowState(QWidget& window, TWindowState state);

// Qt has no main-window notion: an application's main windows are its top-level windows of the
// plain window type that have no parent. The application counts as minimised when every one of
// them that is shown is minimised.
bool IsApplicationMainWindow(const QWidget& window);
bool IsApplicationMinimized();
// Minimises the application's shown windows once the message loop runs.
void PostMinimizeApplication();

struct TScreenSize {
  int32_t Width = 0;
  int32_t Height = 0;
};
// In device pixels, and the screen's own logical density: what Windows reports, whatever scale Qt
// applies.
TScreenSize PrimaryScreenSize();
int32_t ScreenPixelsPerInch();

// Qt learns a window's frame only once the window manager has framed it, some time after the
// window was first shown; until then the frame is taken for the window itself. A window placed
// before that must be placed again as soon as the frame is known: `call` runs once then, or never
// when the frame is known already (or never comes, as without a window manager).
bool IsFramed(const QWidget& window);
void AgainWhenFramed(QWidget& window, std::function<void()> call);

// Puts the window's outer frame, title bar included, at the point (Qt's coordinates).
void MoveFrameTo(QWidget& window, const QPoint& frame_top_left);

// Whether the user can resize the window: only then does a restore also set its size.
bool HasSizeableFrame(const QWidget& window);
// Width and height in device pixels of the border the window manager draws around the window
// (0, 0 without a frame or before the window is framed): a maximised window's frame corner lies
// this far beyond the work area.
TPlacementPoint FrameBorderSize(const QWidget& window);

}  // namespace orvix
