// The window program: the application object, the Qt message loop, the error box, the main window.
#include "app/application.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "exchange/exchange_window.h"
#include "runtime/message_loop.h"
#include "runtime/qt/qt_loop.h"
#include "serial/port_list.h"

int main(int argc, char** argv) {
  orvix::RaiseOpenPortLimit();  // discovery opens every port at once
  orvix::TApplication app(argc, argv);
  orvix::QtMessageLoop loop;
  orvix::InstallErrorBox();
  // After the application and the error box: the window's destructor saves its placement, and a
  // file that cannot be written is shown in the error box once exec() has returned.
  orvix::TfmMain window;
  window.RunExchange = orvix::RunExchange;
  window.FormCreate(QCoreApplication::arguments().mid(1));
  window.show();
  return app.exec();
}
