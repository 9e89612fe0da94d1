// The window program: the application object, the Qt message loop, the error box, the main window.
#include "app/application.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "runtime/message_loop.h"
#include "runtime/qt/qt_loop.h"

int main(int argc, char** argv) {
  orvix::TApplication app(argc, argv);
  orvix::QtMessageLoop loop;
  orvix::InstallErrorBox();
  orvix::TfmMain window;
  window.FormCreate(QCoreApplication::arguments().mid(1));
  window.show();
  return app.exec();
}
