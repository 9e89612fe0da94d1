#include "app/placement/form_position.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include "app/placement/window_placement.h"

namespace orvix {
namespace {
constexpr const char* kPositionProperty = "orvixPosition";
}  // namespace

void SetFormPosition(QWidget& window, TPosition position) {
  window.setProperty(kPositionProperty, static_cast<int>(position));
}

TPosition FormPosition(const QWidget& window) {
  const QVariant v = window.property(kPositionProperty);
  return v.isValid() ? static_cast<TPosition>(v.toInt()) : poDesigned;
}

void CentreOnWorkArea(QWidget& window) {
  const auto centre = [&window] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    MoveFrameTo(window, frame.topLeft());
  };
  centre();
  // Centred with the frame unknown, the window is off centre by the frame's title bar.
  AgainWhenFramed(window, centre);
}

void PlaceAtShowing(QWidget& window) {
  const TPosition position = FormPosition(window);
  if (position == poScreenCenter || position == poDesktopCenter) CentreOnWorkArea(window);
}

}  // namespace orvix
