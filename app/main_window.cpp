#include "app/main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QValidator>

#include "app/hex_text.h"
#include "app/placement/form_position.h"
#include "app/placement/placement_record.h"
#include "exchange/image_file.h"
#include "runtime/message_loop.h"
#include "ui_main_window.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitMainWindowResources() {
  Q_INIT_RESOURCE(resources);
}

namespace orvix {
namespace {

const QString kNoImageStopAddress = QStringLiteral("FFFF");

// Four hexadecimal positions, letters shown in upper case. It governs typing only: a text the
// program writes into the field is kept as it is, whatever its length.
class AddressValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    if (input.size() > 4) return Invalid;
    for (QChar c : input)
      if ((c < QLatin1Char('0') || c > QLatin1Char('9')) &&
          (c < QLatin1Char('A') || c > QLatin1Char('F')))
        return Invalid;
    return input.size() == 4 ? Acceptable : Intermediate;
  }
};

bool IsLogSwitch(const QString& arg) {
  return arg.size() == 2 && arg[0] == QLatin1Char('/') &&
         (arg[1] == QLatin1Char('l') || arg[1] == QLatin1Char('L'));
}

uint16_t AddressFrom(const QComboBox& field) {
  return static_cast<uint16_t>(HexTextToInt(field.currentText().toStdString()));
}

// Connects a handler that may raise: what it raises goes to the error box, not through Qt.
void Guarded(auto* sender, auto signal, QObject* context, std::function<void()> handler) {
  QObject::connect(sender, signal, context,
                   [handler = std::move(handler)] { RunGuarded(handler); });
}

}  // namespace

TfmMain::TfmMain(TUserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui_TfmMain>()), dialogs_(dialogs) {
  InitMainWindowResources();
  ui_->setupUi(this);
  SetupComponents();
  SetFormPosition(*this, poDesktopCenter);
}

TfmMain::~TfmMain() {
  // The destroy event: the window must still be whole when the store reads its placement.
  PlacementStore.FormDestroy();
}

void TfmMain::SetupComponents() {
  QFont small = font();
  small.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                     QStringLiteral("Arial")});
  small.setPixelSize(11);
  setFont(small);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(385, 114);

  file_button_ = ui_->beFileName->addAction(QIcon(QPixmap(QStringLiteral(":/app/folder_open.xpm"))),
                                            QLineEdit::TrailingPosition);
  file_button_->setObjectName(QStringLiteral("beFileNameButton"));
  Guarded(file_button_, &QAction::triggered, this, [this] { beFileNameButtonClick(); });

  for (QComboBox* address : {ui_->cbStartAddress, ui_->cbStopAddress})
    address->setValidator(new AddressValidator(address));

  ui_->bbStart->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  Guarded(ui_->bbStart, &QPushButton::clicked, this, [this] { bbStartClick(); });
  ui_->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  connect(ui_->BitBtn2, &QPushButton::clicked, this, &QWidget::close);

  QStatusBar& status_bar = *ui_->sbStatusBar;
  status_bar.setFixedHeight(19);
  for (int i = 0; i < kStatusPanels; ++i) {
    panels_[i] = new QLabel(&status_bar);
    panels_[i]->setObjectName(QStringLiteral("sbStatusBarPanel%1").arg(i));
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setMinimumWidth(50);
    // The last panel takes the rest of the bar: the status texts are longer than 50 pixels.
    if (i + 1 < kStatusPanels) panels_[i]->setMaximumWidth(50);
    status_bar.addWidget(panels_[i], i + 1 < kStatusPanels ? 0 : 1);
  }
}

void TfmMain::FormCreate(const QStringList& args) {
  log_frames_ = !args.isEmpty() && IsLogSwitch(args.first());
  ClearImage();
  PlacementStore.SetIniFileName(
      PlacementIniFileName(QCoreApplication::applicationFilePath().toStdString()));
  OpenDialog.InitialDir = QCoreApplication::applicationDirPath();
  if (!log_frames_ && !args.isEmpty()) {
    ui_->beFileName->setText(args.first());
    RunGuarded([this] { LoadImage(); });
  }
}

void TfmMain::beFileNameButtonClick() {
  const std::optional<QString> chosen = dialogs_.ChooseFile(this, OpenDialog);
  if (!chosen) return;
  ui_->beFileName->setText(QFileInfo(*chosen).absoluteFilePath());
  LoadImage();
}

void TfmMain::ClearImage() {
  image_.clear();
  image_.shrink_to_fit();
  SetImageSize(0);
  ui_->cbStopAddress->setEditText(kNoImageStopAddress);
}

void TfmMain::LoadImage() {
  // A failed load leaves no image at all, so Load can never start on a stale or partial one.
  ClearImage();
  image_ = LoadImageFile(QFile::encodeName(ui_->beFileName->text()).toStdString());
  SetImageSize(static_cast<int32_t>(image_.size()));
  ui_->cbStopAddress->setEditText(
      QString::fromStdString(AddressText(static_cast<uint32_t>(image_size_ - 1))));
}

void TfmMain::SetImageSize(int32_t size) {
  image_size_ = size;
  ui_->bbStart->setEnabled(size > 0);
}

void TfmMain::ShowStatus(const QString& text) {
  SetStatusPanel(TStatusPanel::spStatusText, text);
}

void TfmMain::SetStatusPanel(TStatusPanel panel, const QString& text) {
  const int index = static_cast<int>(panel);
  if (index < 0 || index >= kStatusPanels) return;
  panels_[index]->setText(text);
  if (panel != TStatusPanel::spPortName) return;
  panels_[0]->setToolTip(QString());
  // The port's name is written as the device answers, just before the first block goes out:
  // the description (a walk over the system's device list) waits until the loop is free.
  QMetaObject::invokeMethod(
      panels_[0],
      [this, text] {
        if (panels_[0]->text() == text && !text.isEmpty())
          panels_[0]->setToolTip(dialogs_.PortDescription(text));
      },
      Qt::QueuedConnection);
}

QString TfmMain::StatusPanel(TStatusPanel panel) const {
  const int index = static_cast<int>(panel);
  return index >= 0 && index < kStatusPanels ? panels_[index]->text() : QString();
}

TExchangeSettings TfmMain::RunSettings() const {
  TExchangeSettings settings;
  settings.DeviceNumber = static_cast<uint8_t>(ui_->seNumberDevice->value());
  settings.StartAddress = AddressFrom(*ui_->cbStartAddress);
  settings.StopAddress = AddressFrom(*ui_->cbStopAddress);
  settings.ImageData = ImageData();
  settings.ImageSize = ImageSize();
  settings.LogFileName =
      QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/out.txt"))
          .toStdString();
  return settings;
}

void TfmMain::bbStartClick() {
  // A run programs ImageSize bytes from the buffer: both must describe the same image.
  if (image_size_ <= 0 || image_.size() != static_cast<size_t>(image_size_)) return;
  // The modal result is not needed: the run has reported in the status bar or a message box.
  dialogs_.RunExchange(*this, *this, RunSettings(), log_frames_);
}

// Centred only while no saved place has been restored: the store's restore runs before this
// and turns the centring off when it puts the window back.
void TfmMain::showEvent(QShowEvent* event) {
  PlaceAtShowing(*this);
  QMainWindow::showEvent(event);
}

// Enter presses the focused button, or else the default button, as in a dialog.
void TfmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  auto* focused = qobject_cast<QPushButton*>(focusWidget());
  QPushButton* target = focused ? focused : ui_->bbStart;
  if (target->isEnabled()) target->click();
  event->accept();
}

}  // namespace orvix
