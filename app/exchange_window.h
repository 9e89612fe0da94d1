// The exchange window: the modal dialog one programming run takes place in. It shows the run's
// status and progress, reports the outcome in the status bar it is given or in a message box,
// and closes by itself when the run ends.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/run_texts.h"
#include "app/user_dialogs.h"
#include "exchange/exchange.h"

class Ui_TfrmTrans;

namespace orvix {

class TfrmTrans final : public QDialog, public TRunEvents {
  Q_OBJECT

 public:
  // Builds the window over `owner` and starts the run with `settings`; the outcome goes to
  // `status`, a give-up to `dialogs`' message box, a failed frame log to its error box. A failure
  // to start tears down what was started and raises; the window is then never shown.
  TfrmTrans(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs, TExchangeSettings settings);
  ~TfrmTrans() override;  // FormDestroy: the engine's teardown

  void bbStopClick();

  TExchange& Exchange() { return *exchange_; }

  // TRunEvents
  void LookingForDevice(const std::vector<std::string>& ports) override;
  void PortGivenUp(const TPortFailure& failure) override;
  void DeviceFound(const std::string& port) override;
  void Progress(const std::string& port, int done, int total) override;
  void BadReply(const std::string& port, TBadReply what) override;
  void LogFailed(const std::string& file, const std::string& cause) override;
  void RunEnded(const TRunResult& result) override;
  void ProcessMessages() override;

  // Any other way out (the close box, the window manager) ends with result 2 and leaves the
  // run's state and the status bar as they are.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString PortFailureLine(const TPortFailure& failure);
  static QString FiguresText(const TRunFigures& figures);
  void SetStatusText(TRunText text);
  void SetProgress(int position);
  void Close(TModalResult result);
  void TellLogError();

  std::unique_ptr<Ui_TfrmTrans> ui_;
  QWidget& owner_;
  TStatusSink& status_;
  TUserDialogs& dialogs_;
  bool ended_ = false;
  bool tearing_down_ = false;
  // The device has answered and the first block is under way; the label changes once it is out.
  bool programming_pending_ = false;
  std::string log_error_;  // told once, after the run's own outcome
  QStringList given_up_;   // the ports discovery could not use, each with its cause
  bool permission_advice_given_ = false;
  std::unique_ptr<TExchange> exchange_;  // last: torn down while the widgets still exist
};

}  // namespace orvix
