#include "app/application.h"

#include "runtime/message_loop.h"

namespace orvix {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Wayland shells find the window's icon and name through the installed desktop entry.
  setDesktopFileName(QStringLiteral("orvix"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException(std::current_exception());
    return false;
  }
}

}  // namespace orvix
