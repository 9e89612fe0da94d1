#include "app/application.h"

#include <QIcon>

#include "app/user_dialogs.h"
#include "runtime/message_loop.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitApplicationResources() {
  Q_INIT_RESOURCE(resources);
}

namespace orvix {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Wayland shells find the window's icon and name through the installed desktop entry.
  setDesktopFileName(QStringLiteral("orvix"));
  InitApplicationResources();
  // Every window and box the program shows carries it, not a window system's generic picture.
  setWindowIcon(ApplicationIcon());
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
