#include "app/user_dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <algorithm>

#include "app/error_box.h"
#include "app/exchange_window.h"
#include "app/gang_window.h"
#include "app/placement/window_placement.h"
#include "serial/port_identity.h"

namespace orvix {

QString ApplicationTitle() {
  // The main window's form carries the same text: one entry in the catalogue serves both.
  return QCoreApplication::translate("TfmMain", "Programmer \"Orvix\"");
}

QIcon ApplicationIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/app/orvix_16.png"));
  icon.addFile(QStringLiteral(":/app/orvix_32.png"));
  return icon;
}

QStringList ImageFileFilters() {
  // The formats' own names read the same in every language.
  return {
      QCoreApplication::translate(
          "TOpenDialog", "Images (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)"),
      QCoreApplication::translate("TOpenDialog", "Binary files (*.bin)"),
      QStringLiteral("Intel HEX (*.hex *.ihx *.ihex)"),
      QStringLiteral("Motorola S-record (*.s19 *.s28 *.s37 *.srec *.mot *.s)"),
      QCoreApplication::translate("TOpenDialog", "Any file (*.*)")};
}

void CloseOwnedBoxes(QWidget& window) {
  for (QMessageBox* box : window.findChildren<QMessageBox*>())
    if (box->isVisible()) box->done(QMessageBox::Ok);
}

namespace {

void CentreFrameOnOwner(QWidget& window, const QWidget& owner) {
  QRect frame = window.frameGeometry();
  frame.moveCenter(owner.frameGeometry().center());
  if (const QScreen* screen = owner.screen()) {
    const QRect area = screen->availableGeometry();
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
  }
  window.move(frame.topLeft());
}

}  // namespace

void CentreOnOwner(QWidget& window, const QWidget& owner) {
  CentreFrameOnOwner(window, owner);
  AgainWhenFramed(window, [&window, &owner] { CentreFrameOnOwner(window, owner); });
}

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

namespace {

// However a modal window ends, the window under it is active again with the focus where it was:
// a window manager need not activate it when the dialog goes, least of all right after a box.
class FocusReturn {
 public:
  explicit FocusReturn(QWidget& owner) : window_(owner.window()), focus_(window_->focusWidget()) {}
  ~FocusReturn() {
    if (!window_ || !window_->isVisible()) return;
    window_->activateWindow();
    if (focus_ && focus_->isEnabled()) focus_->setFocus(Qt::ActiveWindowFocusReason);
  }
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> focus_;
};

}  // namespace

int TScreenDialogs::RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings) {
  const FocusReturn focus_return(owner);
  // The window is gone before this returns, whatever happened.
  const auto window = std::make_unique<TfrmTrans>(owner, status, *this, std::move(settings));
  return window->exec();
}

int TScreenDialogs::RunGang(QWidget& owner, TStatusSink& status, TSettingsSource settings,
                            int expect) {
  const FocusReturn focus_return(owner);
  const auto window = std::make_unique<TfrmGang>(owner, status, *this, std::move(settings), expect);
  return window->exec();
}

void TScreenDialogs::ShowMessage(QWidget& parent, const QString& text) {
  ShowModalBox(&parent, QMessageBox::NoIcon, text);
}

void TScreenDialogs::ShowError(const QString& message) {
  ShowErrorBox(message);
}

QString TScreenDialogs::PortDescription(const QString& port_name) {
  return QString::fromStdString(DescribePort(port_name.toStdString()));
}

}  // namespace orvix
