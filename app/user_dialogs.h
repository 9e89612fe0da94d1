// Everything the windows show modally and wait on the user for: the file-open dialog, the
// exchange window of a run, its give-up message box and the application's error box. The program
// shows the real ones (TScreenDialogs); a test puts its own in their place, so that nothing waits
// for a user and it sees what would have been shown.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "exchange/exchange.h"

class QFileDialog;
class QWidget;

namespace orvix {

// The file-open dialog's settings.
struct TOpenDialog {
  QStringList Filter{QStringLiteral("Binary files (*.bin)"), QStringLiteral("Any file (*.*)")};
  QString DefaultExt{QStringLiteral("bin")};
  QString InitialDir;
};

// The real dialog as the settings describe it: first filter selected, names that do not exist
// accepted (they fail when loaded), the system's own title.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const TOpenDialog& settings);

// Where a run reports outside its own window: the main window's status bar.
class TStatusSink {
 public:
  virtual void SetStatusPanel(TStatusPanel panel, const QString& text) = 0;

 protected:
  ~TStatusSink() = default;
};

class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;

  // The file-open dialog over `parent`: the chosen name, or nothing when the user cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const TOpenDialog& settings) = 0;
  // One programming run in the modal exchange window over `owner`, reporting into `status`.
  // Returns the window's modal result (1 completed; 2 gave up, stopped or closed); an error while
  // the run starts reaches the caller, and no window is shown then.
  virtual int RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings,
                          bool log_frames) = 0;
  // A plain message box with an OK button over `parent`; returns once the user has closed it.
  virtual void ShowMessage(QWidget& parent, const QString& title, const QString& text) = 0;
  // The application's standard error box.
  virtual void ShowError(const QString& message) = 0;
  // What the machine tells about a port ("FT232R USB UART, FTDI, A50285BI"), for the status
  // bar's tooltip; empty when it tells nothing.
  virtual QString PortDescription(const QString& port_name) = 0;
};

class TScreenDialogs : public TUserDialogs {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const TOpenDialog& settings) override;
  int RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings,
                  bool log_frames) override;
  void ShowMessage(QWidget& parent, const QString& title, const QString& text) override;
  void ShowError(const QString& message) override;
  QString PortDescription(const QString& port_name) override;
};

}  // namespace orvix
