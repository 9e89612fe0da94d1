// Where a window goes when it is shown. Kept on the window itself, so that the placement store
// can turn the centring off once it has put the window back at its saved place.
#pragma once

class QWidget;

namespace orvix {

enum TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter };

void SetFormPosition(QWidget& window, TPosition position);
TPosition FormPosition(const QWidget& window);  // poDesigned unless set

// Call from the window's showEvent: it runs after the placement store's restore. Centres the
// window on the primary screen's work area when it is set to be centred (there is one desktop
// per screen on the platforms Qt runs on, so both centrings mean the same); otherwise leaves it.
void PlaceAtShowing(QWidget& window);

// Centres the window's outer frame, title bar included, on the primary screen's work area.
void CentreOnWorkArea(QWidget& window);

}  // namespace orvix
