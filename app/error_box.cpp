#include "app/error_box.h"

#include <QApplication>
#include <QGridLayout>
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

namespace {

// A box is as wide as its text, and a short text cuts the title on the title bar. The title bar's
// font is the window manager's, commonly bold and not smaller: the box is made wide enough for
// the title in that, with room for the bar's buttons.
void KeepTitleWhole(QMessageBox& box) {
  constexpr int kTitleBarButtons = 110;
  QFont title_font = box.font();
  title_font.setBold(true);
  const int width =
      QFontMetrics(title_font).horizontalAdvance(box.windowTitle()) + kTitleBarButtons;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void ShowModalBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, ApplicationTitle(), text, QMessageBox::Ok, parent);
  box.setWindowIcon(ApplicationIcon());
  KeepTitleWhole(box);
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
