// The application object. Qt's event dispatch must never be unwound by an exception, so any
// handler's escaped exception stops here and goes to the application-wide handler.
#pragma once

#include <QApplication>

namespace orvix {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace orvix
