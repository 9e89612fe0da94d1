// The exchange window: the modal dialog one programming run takes place in. It shows the run's
// status and progress, reports the outcome in the main window's status bar or in a message box,
// and closes by itself when the run ends.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "exchange/exchange.h"
#include "ui_exchange_window.h"

namespace orvix {

class TfmMain;

class TfrmTrans final : public QDialog, public ExchangeFrontEnd, public Ui_TfrmTrans {
  Q_OBJECT

 public:
  // Builds the window over `main` and starts the run. A failure to start tears down what was
  // started and raises; the window is then never shown.
  explicit TfrmTrans(TfmMain& main);
  ~TfrmTrans() override;  // FormDestroy: the engine's teardown

  void bbStopClick();

  TExchange& Exchange() { return *exchange_; }
  TTimer& TimerSendTimeout() { return exchange_->TimerSendTimeout(); }

  // ExchangeFrontEnd
  void SetStatusText(const std::string& text) override;
  void SetProgress(int position) override;
  void ProcessMessages() override;
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void Close(TModalResult result) override;
  bool LogFrames() override;

  // Any other way out (the close box, the window manager) ends with result 2 and leaves the
  // run's state and the status bar as they are.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  static ExchangeSettings SettingsFrom(const TfmMain& main);
  void CentreOnMainWindow();

  TfmMain& main_;
  bool ended_ = false;
  std::unique_ptr<TExchange> exchange_;  // last: torn down while the widgets still exist
};

// The run behind the Load button: creates the window, shows it modally, and returns its modal
// result (1 completed; 2 gave up, stopped or closed). The window is gone before it returns,
// whatever happened; an error while the run starts reaches the caller.
int RunExchange();

// The give-up message box. Tests replace it with a recorder so nothing blocks; an empty
// presenter brings the real box back.
using ExchangeMessagePresenter = std::function<void(TfrmTrans& window, const QString& text)>;
void SetExchangeMessagePresenter(ExchangeMessagePresenter presenter);

}  // namespace orvix
