#include "app/exchange_window.h"

#include <QKeyEvent>
#include <QLocale>
#include <QPlainTextEdit>
#include <algorithm>

#include "app/run_texts.h"
#include "app/translators.h"
#include "exchange/hex_digits.h"
#include "runtime/message_loop.h"
#include "serial/setup_check.h"
#include "ui_exchange_window.h"

namespace orvix {
namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 98;
// With the list of the ports that could not be used below the button.
constexpr int kClientHeightWithPorts = 172;

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
  setWindowIcon(owner.windowIcon());
  setFixedSize(kClientWidth, kClientHeight);
  ui_->mmRefusedPorts->hide();
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

QString TfrmTrans::PortFailureLine(const TPortFailure& failure) {
  if (!failure.OpenFailed)
    return EnglishText(failure.Cause).empty()
               ? QCoreApplication::translate("TfrmTrans", "%1: no answer, given up")
                     .arg(QString::fromStdString(failure.Port))
               : QString::fromStdString(failure.Port) + QStringLiteral(": ") +
                     Worded(failure.Cause);
  const TRefusedPort refused =
      DescribeRefusedPort(failure.Port, failure.SystemCode, failure.Cause, permission_advice_given_);
  QString cause = Worded(refused.Cause);
  if (refused.Advice) cause += QStringLiteral("; ") + Worded(*refused.Advice);
  return QCoreApplication::translate("TfrmTrans", "%1: cannot open: %2")
      .arg(QString::fromStdString(refused.Where), cause);
}

// Listed as they come, so that a user who waits for a device learns at once which ports are out
// of the running, and why.
void TfrmTrans::PortGivenUp(const TPortFailure& failure) {
  if (tearing_down_) return;
  given_up_ << PortFailureLine(failure);
  QPlainTextEdit& list = *ui_->mmRefusedPorts;
  list.appendPlainText(given_up_.last());
  if (list.isHidden()) {
    const QPoint centre = frameGeometry().center();
    setFixedSize(kClientWidth, kClientHeightWithPorts);
    list.show();
    if (isVisible()) {
      QRect frame = frameGeometry();
      frame.moveCenter(centre);
      move(frame.topLeft());
    }
  }
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
      status_.SetStatusPanel(TStatusPanel::spRunResult, FiguresText(result.Figures));
      modal_result = mrOk;
      break;
    case TOutcome::ocStopped:
      SetProgress(0);
      status_.SetStatusPanel(TStatusPanel::spStatusText, Worded(kTextAborted));
      break;
    case TOutcome::ocNoAnswer:
      SetProgress(0);
      message = Worded(kTextNoAnswer);
      break;
    case TOutcome::ocNoDevice:
      // No port was left to ping: one box says so and names every port with its cause.
      SetProgress(0);
      message = Worded(kTextNoAnswer);
      if (!given_up_.isEmpty()) message += QLatin1Char('\n') + given_up_.join(QLatin1Char('\n'));
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

QString TfrmTrans::FiguresText(const TRunFigures& figures) {
  const QLocale locale;
  return QCoreApplication::translate("TfrmTrans", "%1 bytes, %2 s, %3")
      .arg(figures.Bytes)
      .arg(locale.toString(figures.Seconds, 'f', 1))
      .arg(QString::fromStdString(HexText(figures.Checksum, 4)));
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
