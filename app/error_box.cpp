#include "app/error_box.h"

#include <QApplication>
#include <QMessageBox>

#include "runtime/message_loop.h"

namespace orvix {
namespace {

ErrorBoxPresenter& Presenter() {
  static ErrorBoxPresenter presenter;
  return presenter;
}

}  // namespace

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
  if (Presenter()) {
    Presenter()(message);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(), message,
                        QMessageBox::Ok);
}

void InstallErrorBox() {
  SetExceptionHandler([](std::exception_ptr error) { ShowErrorBox(ErrorText(error)); });
}

void SetErrorBoxPresenter(ErrorBoxPresenter presenter) {
  Presenter() = std::move(presenter);
}

}  // namespace orvix
