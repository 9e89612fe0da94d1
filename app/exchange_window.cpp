#include "app/exchange_window.h"

#include <QKeyEvent>
#include <QScreen>
#include <algorithm>

#include "runtime/message_loop.h"
#include "ui_exchange_window.h"

namespace orvix {
namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 98;

}  // namespace

TfrmTrans::TfrmTrans(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs,
                     TExchangeSettings settings, bool log_frames)
    : QDialog(&owner),
      ui_(std::make_unique<Ui_TfrmTrans>()),
      owner_(owner),
      status_(status),
      dialogs_(dialogs),
      log_frames_(log_frames) {
  ui_->setupUi(this);
  setFont(owner.font());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kClientWidth, kClientHeight);
  connect(ui_->bbStop, &QPushButton::clicked, this, [this] {
    RunGuarded([this] { bbStopClick(); });
    Close(mrCancel);
  });
  exchange_ = std::make_unique<TExchange>(*this, std::move(settings));
  exchange_->StartNegotiation();
}

TfrmTrans::~TfrmTrans() {
  exchange_.reset();
}

void TfrmTrans::bbStopClick() {
  exchange_->AbortExchange();
}

void TfrmTrans::SetStatusText(const std::string& text) {
  ui_->lbStatus->setText(QString::fromStdString(text));
}

void TfrmTrans::SetProgress(int position) {
  // The bar ignores a value outside its range; the nearest end is what the user should see.
  QProgressBar& bar = *ui_->pbProgress;
  bar.setValue(std::clamp(position, bar.minimum(), bar.maximum()));
}

void TfrmTrans::ProcessMessages() {
  CurrentLoop().ProcessMessages();
}

void TfrmTrans::SetMainStatusPanel(TStatusPanel panel, const std::string& text) {
  status_.SetStatusPanel(panel, QString::fromStdString(text));
}

void TfrmTrans::ShowMessage(const std::string& text) {
  dialogs_.ShowMessage(*this, owner_.windowTitle(), QString::fromStdString(text));
}

void TfrmTrans::Close(TModalResult result) {
  // The first ending counts: a close request that follows a completed run must not turn it into
  // a failure.
  if (ended_) return;
  ended_ = true;
  done(result);
}

void TfrmTrans::reject() {
  Close(mrCancel);
}

void TfrmTrans::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnOwner();
}

// Qt's own placement of a dialog guesses a title bar where the window system has none yet and
// lands off centre; this centres the outer rectangles, kept on the owner's screen.
void TfrmTrans::CentreOnOwner() {
  QRect frame = frameGeometry();
  frame.moveCenter(owner_.frameGeometry().center());
  if (const QScreen* screen = owner_.screen()) {
    const QRect area = screen->availableGeometry();
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
  }
  move(frame.topLeft());
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
