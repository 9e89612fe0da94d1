#include "app/exchange_window.h"

#include <QKeyEvent>
#include <algorithm>

#include "app/run_texts.h"
#include "app/translators.h"
#include "runtime/message_loop.h"
#include "ui_exchange_window.h"

namespace orvix {
namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 98;

}  // namespace

TfrmTrans::TfrmTrans(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs,
                     TExchangeSettings settings)
    : QDialog(&owner),
      ui_(std::make_unique<Ui_TfrmTrans>()),
      owner_(owner),
      status_(status),
      dialogs_(dialogs) {
  ui_->setupUi(this);
  setFont(owner.font());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kClientWidth, kClientHeight);
  connect(ui_->bbStop, &QPushButton::clicked, this, [this] {
    RunGuarded([this] { bbStopClick(); });
    Close(mrCancel);  // also when the stop failed: the button always ends the window
  });
  exchange_ = std::make_unique<TExchange>(*this, std::move(settings));
  exchange_->StartNegotiation();
}

TfrmTrans::~TfrmTrans() {
  // The user has left the run by now: whatever the teardown reports must not reach the status bar.
  tearing_down_ = true;
  exchange_.reset();
}

void TfrmTrans::bbStopClick() {
  exchange_->AbortExchange();
}

void TfrmTrans::LookingForDevice(const std::vector<std::string>& /*ports*/) {
  SetStatusText(kTextNegotiation);
  status_.SetStatusPanel(TStatusPanel::spStatusText, Worded(kTextNoAnswer));
}

void TfrmTrans::DeviceFound(const std::string& port) {
  status_.SetStatusPanel(TStatusPanel::spPortName, QString::fromStdString(port));
  programming_pending_ = true;
}

void TfrmTrans::Progress(const std::string& /*port*/, int done, int total) {
  SetProgress(ProgressPosition(total, done));
  // The label follows the first block's step of the bar, not the answer: that is the order users
  // have always seen.
  if (programming_pending_) {
    programming_pending_ = false;
    SetStatusText(kTextProgramming);
  }
}

void TfrmTrans::BadReply(const std::string& /*port*/, TBadReply what) {
  if (what == TBadReply::brChecksumError)
    ui_->lbStatus->setText(QString::fromLatin1(kTextChecksumError));
}

void TfrmTrans::LogFailed(const std::string& file, const std::string& cause) {
  // Kept for the end: a box now would stop the user's view of a run that goes on.
  if (log_error_.empty()) log_error_ = file + ": " + cause;
}

void TfrmTrans::RunEnded(const TRunResult& result) {
  // After the close box or during the teardown the user has left the run: nothing more is shown.
  if (ended_ || tearing_down_) return;
  if (!result.LogError.empty()) log_error_ = result.LogError;
  TModalResult modal_result = mrCancel;
  QString message;
  switch (result.Outcome) {
    case TOutcome::ocFinished:
      status_.SetStatusPanel(TStatusPanel::spStatusText, Worded(kTextFinished));
      modal_result = mrOk;
      break;
    case TOutcome::ocStopped:
      SetProgress(0);
      status_.SetStatusPanel(TStatusPanel::spStatusText, Worded(kTextAborted));
      break;
    case TOutcome::ocNoAnswer:
    case TOutcome::ocNoDevice:  // the window's runs wait without end; should one not, it is this
      SetProgress(0);
      message = Worded(kTextNoAnswer);
      break;
    case TOutcome::ocChecksumUnconfirmed:
      SetProgress(0);
      message = Worded(kTextNoChecksumConfirmation);
      break;
    case TOutcome::ocLineLost:
      // One box with the cause under the usual text: the user learns the line went, not just
      // that the device fell silent.
      SetProgress(0);
      message = Worded(NoAnswerText(result.Phase));
      if (const QString cause = Worded(result.Cause); !cause.isEmpty())
        message +=
            QLatin1Char('\n') + QString::fromStdString(result.Port) + QStringLiteral(": ") + cause;
      break;
  }
  if (!message.isEmpty()) dialogs_.ShowMessage(*this, message);
  TellLogError();
  Close(modal_result);
}

void TfrmTrans::TellLogError() {
  if (log_error_.empty()) return;
  const QString log_error = QString::fromStdString(log_error_);
  log_error_.clear();
  dialogs_.ShowError(log_error);
}

void TfrmTrans::ProcessMessages() {
  CurrentLoop().ProcessMessages();
}

void TfrmTrans::SetStatusText(TRunText text) {
  ui_->lbStatus->setText(Worded(text));
}

void TfrmTrans::SetProgress(int position) {
  // The bar ignores a value outside its range; the nearest end is what the user should see.
  QProgressBar& bar = *ui_->pbProgress;
  bar.setValue(std::clamp(position, bar.minimum(), bar.maximum()));
}

void TfrmTrans::Close(TModalResult result) {
  // The first ending counts: a close request that follows a completed run must not turn it into
  // a failure.
  if (ended_) return;
  ended_ = true;
  CloseOwnedBoxes(*this);
  done(result);
}

void TfrmTrans::reject() {
  Close(mrCancel);
  TellLogError();  // the user left the run early, but should still learn the log is incomplete
}

void TfrmTrans::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  CentreOnOwner(*this, owner_);
}

void TfrmTrans::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (ui_->bbStop->isEnabled()) ui_->bbStop->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvix
