// The application's standard error box: every exception that escapes a window, timer or posted
// handler ends up here, is shown, and the program goes on.
#pragma once

#include <QString>
#include <exception>

namespace orvix {

class TUserDialogs;

// Makes `dialogs`' error box the application-wide exception handler; `dialogs` must stay until
// the handler is replaced.
void InstallErrorBox(TUserDialogs& dialogs);

// The text the box shows for an exception.
QString ErrorText(std::exception_ptr error);

// Shows `message` in a critical message box with an OK button. Blocks in the box's own modal
// loop, which keeps hand-overs and timers running.
void ShowErrorBox(const QString& message);

}  // namespace orvix
