// Everything the windows show modally and wait on the user for: the file-open dialog, the
// exchange window of a run, its give-up message box and the application's error box. The program
// shows the real ones (TScreenDialogs); a test puts its own in their place, so that nothing waits
// for a user and it sees what would have been shown.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "exchange/run_events.h"

class QFileDialog;
class QIcon;
class QWidget;

namespace orvix {

// Every image format first, then each one, then anything; in the window's language.
QStringList ImageFileFilters();

// The file-open dialog's settings.
struct TOpenDialog {
  QStringList Filter = ImageFileFilters();
  QString DefaultExt{QStringLiteral("bin")};
  QString InitialDir;
};

// The caption of every box the program shows: the application's title, which is also the main
// window's.
QString ApplicationTitle();
// The program's own icon, for every window and box it shows.
QIcon ApplicationIcon();

// A window that ends takes its boxes with it: each one still open is closed as if its OK had been
// pressed, so that no box stays on the screen for a window that is gone.
void CloseOwnedBoxes(QWidget& window);

// Centres the window's outer frame on its owner's, kept on the owner's screen, now and again once
// the window system has framed it: Qt's own placement of a dialog guesses a title bar where the
// window system has none yet and lands off centre. For a dialog's first showing.
void CentreOnOwner(QWidget& window, const QWidget& owner);

// The real dialog as the settings describe it: first filter selected, names that do not exist
// accepted (they fail when loaded), the system's own title.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const TOpenDialog& settings);

// How the exchange window ended, as RunExchange returns it.
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

// The panels of the main window's status bar that a run writes.
enum class TStatusPanel : int {
  spPortName = 0,
  spRunResult = 1,  // the figures of the last finished run
  spStatusText = 2,
};

// What a run is started with, asked for at the moment it starts.
using TSettingsSource = std::function<TExchangeSettings()>;

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
  // The settings' LogFileName chooses the frame log.
  virtual int RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings) = 0;
  // A gang run in its modal window over `owner`: every device that answers on the settings'
  // ports (every port when none are named) is programmed at once, until `expect` have answered or
  // the user says done; the count goes to `status`. `settings` is asked before each gang, the
  // first and every "Again", so that each set of boards gets the image as it is then; what it
  // raises keeps that gang from starting. Returns 1 when the last gang programmed every board it
  // counted, 2 otherwise.
  virtual int RunGang(QWidget& owner, TStatusSink& status, TSettingsSource settings,
                      int expect) = 0;
  // A plain message box with an OK button, modal to `parent`; returns once the user has closed
  // it, or once `parent` has closed it as it ended (CloseOwnedBoxes).
  virtual void ShowMessage(QWidget& parent, const QString& text) = 0;
  // The application's standard error box, modal to the window in front.
  virtual void ShowError(const QString& message) = 0;
  // What the machine tells about a port ("FT232R USB UART, FTDI, A50285BI"), for the status
  // bar's tooltip; empty when it tells nothing.
  virtual QString PortDescription(const QString& port_name) = 0;
};

class TScreenDialogs : public TUserDialogs {
 public:
  std::optional<QString> ChooseFile(QWidget* parent, const TOpenDialog& settings) override;
  int RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings) override;
  int RunGang(QWidget& owner, TStatusSink& status, TSettingsSource settings, int expect) override;
  void ShowMessage(QWidget& parent, const QString& text) override;
  void ShowError(const QString& message) override;
  QString PortDescription(const QString& port_name) override;
};

}  // namespace orvix
