// The placement stand-in window as a program of its own: the tests run it where they need a
// real process end, and it serves the manual check under a window manager.
//   placement_window INI-FILE [--close]   (--close: close as soon as the window is up)
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "runtime/message_loop.h"
#include "tests/placement/stand_in_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: placement_window INI-FILE [--close]\n");
    return 64;
  }
  orvix::SetExceptionHandler([](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
  });
  orvix::TfmMain window(argv[1]);
  window.setWindowTitle("Orvix placement check");
  window.show();
  if (argc > 2 && std::strcmp(argv[2], "--close") == 0)
    QTimer::singleShot(0, &window, &QWidget::close);
  return app.exec();
}
