// The application's standard error box: every exception that escapes a window, timer or posted
// handler ends up here, is shown, and the program goes on.
#pragma once

#include <QMessageBox>
#include <QString>
#include <exception>

namespace orvix {

class TUserDialogs;

// Makes `dialogs`' error box the application-wide exception handler; `dialogs` must stay until
// the handler is replaced.
void InstallErrorBox(TUserDialogs& dialogs);

// The text the box shows for an exception.
QString ErrorText(std::exception_ptr error);

// A message box with an OK button and the application's title, modal to `parent` (to the whole
// application without one). Blocks in the box's own modal loop, which keeps hand-overs and
// timers running.
void ShowModalBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// Shows `message` in a critical box, modal to the window in front: the error belongs to whatever
// that window was doing.
void ShowErrorBox(const QString& message);

}  // namespace orvix
