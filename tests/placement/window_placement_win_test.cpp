// The placement record on Windows, run under Wine on a display by scripts/wine-window-tests.sh:
// the record is the window system's own, and Qt's idea of the window follows what it does.
#include <windows.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/placement/window_placement.h"

namespace orvix {
namespace {

HWND Handle(const QWidget& w) {
  return reinterpret_cast<HWND>(w.winId());
}

// The window manager answers on its own time: wait for the condition, generously.
bool WaitFor(const std::function<bool()>& condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > 10000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

QPoint WorkAreaOrigin() {
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return {area.left, area.top};
}

QPoint NativeFrameOrigin(const QWidget& w) {
  RECT r{};
  ::GetWindowRect(Handle(w), &r);
  return {r.left, r.top};
}

QPoint NativeClientOrigin(const QWidget& w) {
  POINT origin{0, 0};
  ::ClientToScreen(Handle(w), &origin);
  return {origin.x, origin.y};
}

std::unique_ptr<QWidget> CreatedWindow(bool fixed_size) {
  auto w = std::make_unique<QWidget>();
  w->setWindowTitle(QStringLiteral("placement"));
  if (fixed_size) w->setFixedSize(300, 100);
  else w->resize(300, 100);
  w->winId();
  return w;
}

TWindowPlacement MovedTo(TWindowPlacement p, int32_t left, int32_t top) {
  TPlacementRect& r = p.NormalPosition;
  r = {left, top, left + r.Right - r.Left, top + r.Bottom - r.Top};
  return p;
}

TEST(WindowPlacementWin, ARecordAppliedBeforeShowingIsWhereTheWindowAppears) {
  auto w = CreatedWindow(true);
  EXPECT_FALSE(IsWindowVisible(*w));
  TWindowPlacement wanted = MovedTo(GetWindowPlacement(*w), 70, 50);
  wanted.ShowCmd = swHide;
  SetWindowPlacement(*w, wanted);
  EXPECT_FALSE(IsWindowVisible(*w)) << "applying a hidden record must not show the window";

  // Qt's own copy of the geometry must have followed, or showing would put the window back.
  w->show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(*w); }));
  const QPoint expected = WorkAreaOrigin() + QPoint(70, 50);
  EXPECT_TRUE(WaitFor([&] { return NativeFrameOrigin(*w) == expected; }))
      << "native frame at " << NativeFrameOrigin(*w).x() << "," << NativeFrameOrigin(*w).y();
  // Qt's frame leaves out the borders Windows 10 draws invisibly, so its client is compared.
  EXPECT_EQ(w->geometry().topLeft(), NativeClientOrigin(*w));
  EXPECT_EQ(w->size(), QSize(300, 100));

  const TWindowPlacement read = GetWindowPlacement(*w);
  EXPECT_EQ(read.NormalPosition, wanted.NormalPosition);
  EXPECT_EQ(read.ShowCmd, swShowNormal);
}

TEST(WindowPlacementWin, AShownWindowMovesAndItsStateFollowsTheShowCommand) {
  auto w = CreatedWindow(false);
  w->show();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(*w); }));

  TWindowPlacement moved = MovedTo(GetWindowPlacement(*w), 140, 90);
  moved.ShowCmd = swShowNormal;
  SetWindowPlacement(*w, moved);
  EXPECT_TRUE(WaitFor([&] { return NativeFrameOrigin(*w) == WorkAreaOrigin() + QPoint(140, 90); }));
  EXPECT_TRUE(WaitFor([&] { return w->geometry().topLeft() == NativeClientOrigin(*w); }));

  TWindowPlacement maximized = GetWindowPlacement(*w);
  maximized.ShowCmd = swShowMaximized;
  SetWindowPlacement(*w, maximized);
  EXPECT_TRUE(WaitFor([&] { return w->isMaximized(); }));
  const TWindowPlacement read = GetWindowPlacement(*w);
  EXPECT_EQ(read.ShowCmd, swShowMaximized);
  // The normal rectangle is kept for the restore while the window is maximised.
  EXPECT_EQ(read.NormalPosition, moved.NormalPosition);
}

}  // namespace
}  // namespace orvix

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
