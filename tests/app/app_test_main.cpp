// The window tests need the application object and the Qt loop for the whole run.
#include <gtest/gtest.h>

#include "app/application.h"
#include "app/translators.h"
#include "runtime/qt/qt_loop.h"

int main(int argc, char** argv) {
  // Test discovery runs this program during the build, where there may be no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  orvix::TApplication app(argc, argv);
  orvix::TQtMessageLoop loop;
  // The tests read the program's Russian texts: the machine's LANG must not choose for them.
  orvix::InstallTranslators(orvix::TLanguage::lgRussian);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
