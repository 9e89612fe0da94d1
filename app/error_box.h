// The application's standard error box: every exception that escapes a window, timer or posted
// handler ends up here, is shown, and the program goes on.
#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace orvix {

// Makes the error box the application-wide exception handler.
void InstallErrorBox();

// The text the box shows for an exception.
QString ErrorText(std::exception_ptr error);

// Shows `message` in a critical message box with an OK button, or hands it to the presenter set
// below. Blocks in the box's own modal loop, which keeps hand-overs and timers running.
void ShowErrorBox(const QString& message);

// Tests replace the box with a recorder so nothing blocks; an empty presenter brings it back.
using ErrorBoxPresenter = std::function<void(const QString& message)>;
void SetErrorBoxPresenter(ErrorBoxPresenter presenter);

}  // namespace orvix
