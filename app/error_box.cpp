#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "app/user_dialogs.h"
#include "runtime/message_loop.h"

namespace orvix {

QString ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}

void ShowErrorBox(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), message,
                        QMessageBox::Ok);
}

void InstallErrorBox(TUserDialogs& dialogs) {
  SetExceptionHandler(
      [&dialogs](std::exception_ptr error) { dialogs.ShowError(ErrorText(error)); });
}

}  // namespace orvix
