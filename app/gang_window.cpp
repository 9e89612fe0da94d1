#include "app/gang_window.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProgressBar>
#include <algorithm>

#include "app/run_texts.h"
#include "app/translators.h"
#include "runtime/message_loop.h"
#include "ui_gang_window.h"

namespace orvix {
namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 320;
// Often enough that the end shows at once; a look costs next to nothing.
constexpr int kWatchMs = 50;

enum TColumn { kPort = 0, kDescription = 1, kProgress = 2, kResult = 3 };

}  // namespace

TfrmGang::TfrmGang(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs,
                   TSettingsSource settings, int expect)
    : QDialog(&owner),
      ui_(std::make_unique<Ui_TfrmGang>()),
      owner_(owner),
      status_(status),
      dialogs_(dialogs),
      settings_(std::move(settings)),
      expect_(expect) {
  ui_->setupUi(this);
  setFont(owner.font());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
  setFixedSize(kClientWidth, kClientHeight);

  // Read from a step away: the line above the table is larger than the rest.
  QFont large = font();
  large.setBold(true);
  large.setPixelSize(std::max(font().pixelSize(), 8) * 3 / 2);
  ui_->lbFound->setFont(large);

  QTableWidget& table = *ui_->sgPorts;
  table.verticalHeader()->hide();
  table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 8);
  QHeaderView& header = *table.horizontalHeader();
  // Windows gives headers a font of their own; the table's headings read as the rest.
  header.setFont(font());
  header.setSectionResizeMode(QHeaderView::Fixed);
  header.setSectionResizeMode(kResult, QHeaderView::Stretch);
  table.setColumnWidth(kPort, 70);
  table.setColumnWidth(kDescription, 180);
  table.setColumnWidth(kProgress, 100);

  const auto on_click = [this](QPushButton* button, void (TfrmGang::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
  };
  on_click(ui_->bbStop, &TfrmGang::bbStopClick);
  on_click(ui_->bbDone, &TfrmGang::bbDoneClick);
  on_click(ui_->bbAgain, &TfrmGang::bbAgainClick);
  connect(ui_->bbClose, &QPushButton::clicked, this, [this] {
    done(Devices() > 0 && finished_ >= std::max(Devices(), expect_) ? mrOk : mrCancel);
  });

  watch_.setInterval(kWatchMs);
  connect(&watch_, &QTimer::timeout, this, [this] { RunGuarded([this] { Watch(); }); });
  StartGang();
}

TfrmGang::~TfrmGang() {
  leaving_ = true;
  gang_.reset();
}

QString TfrmGang::CountText(int finished, int of) {
  return QCoreApplication::translate("TfrmGang", "Programmed: %1 of %n", nullptr, of).arg(finished);
}

QColor TfrmGang::FailedColour() {
  return QColor(0xF4, 0x9A, 0x9A);
}

void TfrmGang::StartGang() {
  ui_->sgPorts->setRowCount(0);
  rows_.clear();
  finished_ = 0;
  stopped_ = false;
  gang_ = std::make_unique<TGangRun>(settings_(), expect_, *this);
  try {
    gang_->Start();
  } catch (...) {
    gang_.reset();
    EnableButtons();
    throw;
  }
  ShowFound();
  EnableButtons();
  ui_->bbStop->setFocus();
  watch_.start();
}

void TfrmGang::ShowFound() {
  ui_->lbFound->setText(
      QCoreApplication::translate("TfrmGang", "Found %1 of %2").arg(Devices()).arg(expect_));
}

void TfrmGang::bbStopClick() {
  if (!gang_) return;
  stopped_ = true;
  gang_->Abort();
  EnableButtons();
}

void TfrmGang::bbDoneClick() {
  if (!gang_) return;
  gang_->EndDiscovery();
  EnableButtons();
}

void TfrmGang::bbAgainClick() {
  if (gang_) return;
  StartGang();
}

void TfrmGang::DeviceFound(const std::string& port) {
  const int index = ui_->sgPorts->rowCount();
  ui_->sgPorts->insertRow(index);
  TRow& row = rows_[port];
  row.Index = index;
  for (int column : {kPort, kDescription, kResult}) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled);
    ui_->sgPorts->setItem(index, column, item);
  }
  const QString name = QString::fromStdString(port);
  Cell(row, kPort).setText(name);
  Cell(row, kResult).setText(Worded(kTextProgramming));
  row.Bar = new QProgressBar;
  row.Bar->setRange(0, 100);
  row.Bar->setValue(0);
  row.Bar->setTextVisible(false);
  ui_->sgPorts->setCellWidget(index, kProgress, row.Bar);
  ShowFound();
  // Which adapter a port is means a walk over the system's device list: it waits until the loop
  // is free, inside the quiet start before the first block.
  QMetaObject::invokeMethod(
      this,
      [this, port, name] {
        if (TRow* found = RowOf(port))
          Cell(*found, kDescription).setText(dialogs_.PortDescription(name));
      },
      Qt::QueuedConnection);
}

void TfrmGang::Progress(const std::string& port, int done, int total) {
  if (TRow* row = RowOf(port))
    row->Bar->setValue(std::clamp(ProgressPosition(total, done), 0, 100));
}

void TfrmGang::BadReply(const std::string& port, TBadReply what) {
  if (what != TBadReply::brChecksumError) return;
  if (TRow* row = RowOf(port)) Cell(*row, kResult).setText(QString::fromLatin1(kTextChecksumError));
}

void TfrmGang::RunEnded(const TRunResult& result) {
  TRow* row = RowOf(result.Port);
  if (!row) return;
  QString text;
  switch (result.Outcome) {
    case TOutcome::ocFinished:
      ++finished_;
      text = Worded(kTextFinished);
      break;
    case TOutcome::ocStopped:
      text = Worded(kTextAborted);
      break;
    case TOutcome::ocNoAnswer:
    case TOutcome::ocNoDevice:
      text = Worded(kTextNoAnswer);
      break;
    case TOutcome::ocChecksumUnconfirmed:
      text = Worded(kTextNoChecksumConfirmation);
      break;
    case TOutcome::ocLineLost:
      // The cause in the row itself: a technician learns the adapter went, not only the board.
      text = Worded(NoAnswerText(result.Phase));
      if (const QString cause = Worded(result.Cause); !cause.isEmpty())
        text += QStringLiteral(": ") + cause;
      break;
  }
  QTableWidgetItem& cell = Cell(*row, kResult);
  cell.setText(text);
  cell.setToolTip(text);
  // A board that was not programmed, whatever the reason, is the one to take off the bench.
  if (result.Outcome != TOutcome::ocFinished) MarkFailed(*row);
  // The gang's own end is looked for once this report is over, from the loop.
  QMetaObject::invokeMethod(
      this, [this] { RunGuarded([this] { Watch(); }); }, Qt::QueuedConnection);
}

void TfrmGang::Watch() {
  if (!gang_) return;
  // As the flasher's --all: with every port answered or given up there is nothing left to find.
  if (gang_->DiscoveryOpen() && !gang_->Discovery().AnyPinging()) gang_->EndDiscovery();
  EnableButtons();
  if (gang_->Done()) Finish();
}

void TfrmGang::Finish() {
  watch_.stop();
  gang_.reset();  // every port closed before the count is shown
  const QString line = Devices() == 0 && stopped_
                           ? Worded(kTextAborted)
                           : CountText(finished_, std::max(Devices(), expect_));
  ui_->lbFound->setText(line);
  EnableButtons();
  ui_->bbAgain->setFocus();
  if (leaving_) return;
  status_.SetStatusPanel(TStatusPanel::spStatusText, line);
  status_.SetStatusPanel(TStatusPanel::spPortName, QString::number(Devices()));
}

TfrmGang::TRow* TfrmGang::RowOf(const std::string& port) {
  const auto found = rows_.find(port);
  return found == rows_.end() ? nullptr : &found->second;
}

QTableWidgetItem& TfrmGang::Cell(const TRow& row, int column) {
  return *ui_->sgPorts->item(row.Index, column);
}

void TfrmGang::MarkFailed(const TRow& row) {
  for (int column : {kPort, kDescription, kResult}) {
    QTableWidgetItem& cell = Cell(row, column);
    cell.setBackground(FailedColour());
    QFont bold = ui_->sgPorts->font();
    bold.setBold(true);
    cell.setFont(bold);
  }
  row.Bar->setStyleSheet(QStringLiteral("QProgressBar { background: %1; }"
                                        "QProgressBar::chunk { background: #C62828; }")
                             .arg(FailedColour().name()));
}

void TfrmGang::EnableButtons() {
  const bool running = gang_ != nullptr;
  ui_->bbDone->setEnabled(running && gang_->DiscoveryOpen());
  ui_->bbStop->setEnabled(running);
  ui_->bbAgain->setEnabled(!running);
  ui_->bbClose->setEnabled(!running);
}

void TfrmGang::reject() {
  if (gang_) {
    leaving_ = true;
    stopped_ = true;
    watch_.stop();
    gang_->Abort();
    gang_.reset();
  }
  done(mrCancel);
}

void TfrmGang::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  CentreOnOwner(*this, owner_);
}

// Esc is the stop button while the boards are being programmed, and closes the window after.
void TfrmGang::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && gang_) {
    ui_->bbStop->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvix
