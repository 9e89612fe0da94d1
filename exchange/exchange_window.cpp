#include "exchange/exchange_window.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <stdexcept>

#include "app/hex_text.h"
#include "app/main_window.h"
#include "runtime/message_loop.h"

namespace orvix {
namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 98;

ExchangeMessagePresenter& Presenter() {
  static ExchangeMessagePresenter presenter;
  return presenter;
}

uint16_t AddressFrom(const QComboBox& field) {
  return static_cast<uint16_t>(HexTextToInt(field.currentText().toStdString()));
}

}  // namespace

TfrmTrans::TfrmTrans(TfmMain& main) : QDialog(&main), main_(main) {
  setupUi(this);
  setFont(main.font());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kClientWidth, kClientHeight);
  connect(bbStop, &QPushButton::clicked, this, [this] {
    RunGuarded([this] { bbStopClick(); });
    Close(mrCancel);
  });
  exchange_ = std::make_unique<TExchange>(*this, SettingsFrom(main));
  exchange_->StartNegotiation();
}

TfrmTrans::~TfrmTrans() {
  exchange_.reset();
}

ExchangeSettings TfrmTrans::SettingsFrom(const TfmMain& main) {
  ExchangeSettings settings;
  settings.DeviceNumber = static_cast<uint8_t>(main.seNumberDevice->value());
  settings.StartAddress = AddressFrom(*main.cbStartAddress);
  settings.StopAddress = AddressFrom(*main.cbStopAddress);
  settings.ImageData = main.ImageData();
  settings.ImageSize = main.ImageSize();
  settings.LogFileName = main.FrameLogFileName();
  return settings;
}

void TfrmTrans::bbStopClick() {
  exchange_->AbortExchange();
}

void TfrmTrans::SetStatusText(const std::string& text) {
  lbStatus->setText(QString::fromStdString(text));
}

void TfrmTrans::SetProgress(int position) {
  // The bar ignores a value outside its range; the nearest end is what the user should see.
  pbProgress->setValue(std::clamp(position, pbProgress->minimum(), pbProgress->maximum()));
}

void TfrmTrans::ProcessMessages() {
  CurrentLoop().ProcessMessages();
}

void TfrmTrans::SetMainStatusPanel(int panel, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (panel == 2)
    main_.ShowStatus(shown);
  else
    main_.SetStatusPanel(panel, shown);
}

void TfrmTrans::ShowMessage(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (Presenter()) {
    Presenter()(*this, shown);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, main_.windowTitle(), shown, QMessageBox::Ok, this);
  box.exec();
}

void TfrmTrans::Close(TModalResult result) {
  // The first ending counts: a close request that follows a completed run must not turn it into
  // a failure.
  if (ended_) return;
  ended_ = true;
  done(result);
}

bool TfrmTrans::LogFrames() {
  return main_.LogFrames();
}

void TfrmTrans::reject() {
  Close(mrCancel);
}

void TfrmTrans::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) CentreOnMainWindow();
}

// Qt's own placement of a dialog guesses a title bar where the window system has none yet and
// lands off centre; this centres the outer rectangles, kept on the main window's screen.
void TfrmTrans::CentreOnMainWindow() {
  QRect frame = frameGeometry();
  frame.moveCenter(main_.frameGeometry().center());
  if (const QScreen* screen = main_.screen()) {
    const QRect area = screen->availableGeometry();
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
  }
  move(frame.topLeft());
}

void TfrmTrans::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (bbStop->isEnabled()) bbStop->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

int RunExchange() {
  if (!fmMain) throw std::logic_error("the exchange window needs the main window");
  const auto window = std::make_unique<TfrmTrans>(*fmMain);
  return window->exec();
}

void SetExchangeMessagePresenter(ExchangeMessagePresenter presenter) {
  Presenter() = std::move(presenter);
}

}  // namespace orvix
