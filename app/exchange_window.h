// The exchange window: the modal dialog one programming run takes place in. It shows the run's
// status and progress, reports the outcome in the status bar it is given or in a message box,
// and closes by itself when the run ends.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "app/user_dialogs.h"
#include "exchange/exchange.h"

class Ui_TfrmTrans;

namespace orvix {

class TfrmTrans final : public QDialog, public TExchangeFrontEnd {
  Q_OBJECT

 public:
  // Builds the window over `owner` and starts the run with `settings`; the outcome goes to
  // `status`, a give-up to `dialogs`' message box. A failure to start tears down what was started
  // and raises; the window is then never shown.
  TfrmTrans(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs, TExchangeSettings settings,
            bool log_frames);
  ~TfrmTrans() override;  // FormDestroy: the engine's teardown

  void bbStopClick();

  TExchange& Exchange() { return *exchange_; }

  // TExchangeFrontEnd
  void SetStatusText(const std::string& text) override;
  void SetProgress(int position) override;
  void ProcessMessages() override;
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void Close(TModalResult result) override;
  bool LogFrames() override { return log_frames_; }

  // Any other way out (the close box, the window manager) ends with result 2 and leaves the
  // run's state and the status bar as they are.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CentreOnOwner();

  std::unique_ptr<Ui_TfrmTrans> ui_;
  QWidget& owner_;
  TStatusSink& status_;
  TUserDialogs& dialogs_;
  const bool log_frames_;
  bool ended_ = false;
  std::unique_ptr<TExchange> exchange_;  // last: torn down while the widgets still exist
};

}  // namespace orvix
