// The window program: the application object, the Qt message loop, the error box, the main window.
#include "app/application.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/translators.h"
#include "app/user_dialogs.h"
#include "runtime/message_loop.h"
#include "runtime/qt/qt_loop.h"
#include "serial/port_list.h"

int main(int argc, char** argv) {
  orvix::RaiseOpenPortLimit();  // discovery opens every port at once
  orvix::TApplication app(argc, argv);
  // Before any window is made: each takes its texts as it is built.
  orvix::InstallTranslators(orvix::ProcessLanguage());
  orvix::TQtMessageLoop loop;
  orvix::TScreenDialogs dialogs;
  orvix::InstallErrorBox(dialogs);
  // After the application and the error box: the window's destructor saves its placement, and a
  // file that cannot be written is shown in the error box once exec() has returned.
  orvix::TfmMain window(dialogs);
  window.FormCreate(QCoreApplication::arguments().mid(1));
  window.show();
  return app.exec();
}
