#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "app/translators.h"
#include "app/user_dialogs.h"
#include "runtime/message_loop.h"

namespace orvix {

QString ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return WordedError(e);
  } catch (...) {
    return QCoreApplication::translate("ErrorBox", "Unknown error");
  }
}

void ShowModalBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, ApplicationTitle(), text, QMessageBox::Ok, parent);
  box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
}

void ShowErrorBox(const QString& message) {
  QWidget* front = QApplication::activeModalWidget();
  if (!front) front = QApplication::activeWindow();
  ShowModalBox(front, QMessageBox::Critical, message);
}

void InstallErrorBox(TUserDialogs& dialogs) {
  SetExceptionHandler(
      [&dialogs](std::exception_ptr error) { dialogs.ShowError(ErrorText(error)); });
}

}  // namespace orvix
