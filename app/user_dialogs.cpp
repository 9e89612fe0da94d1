#include "app/user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/error_box.h"
#include "app/exchange_window.h"
#include "serial/port_identity.h"

namespace orvix {

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const TOpenDialog& settings) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(settings.Filter);
  if (!settings.Filter.isEmpty()) dialog->selectNameFilter(settings.Filter.first());
  dialog->setDefaultSuffix(settings.DefaultExt);
  dialog->setDirectory(settings.InitialDir);
  dialog->setSizeGripEnabled(true);
  return dialog;
}

std::optional<QString> TScreenDialogs::ChooseFile(QWidget* parent, const TOpenDialog& settings) {
  const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, settings);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().first();
}

int TScreenDialogs::RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings,
                                bool log_frames) {
  // The window is gone before this returns, whatever happened.
  const auto window =
      std::make_unique<TfrmTrans>(owner, status, *this, std::move(settings), log_frames);
  return window->exec();
}

void TScreenDialogs::ShowMessage(QWidget& parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, &parent);
  box.exec();
}

void TScreenDialogs::ShowError(const QString& message) {
  ShowErrorBox(message);
}

QString TScreenDialogs::PortDescription(const QString& port_name) {
  return QString::fromStdString(DescribePort(port_name.toStdString()));
}

}  // namespace orvix
