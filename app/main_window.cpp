#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QValidator>
#include <stdexcept>

#include "app/hex_text.h"
#include "app/placement/form_position.h"
#include "app/placement/ini_file.h"
#include "app/user_files.h"
#include "exchange/image_file.h"
#include "runtime/file_name.h"
#include "runtime/message_loop.h"
#include "serial/port_list.h"
#include "ui_main_window.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitMainWindowResources() {
  Q_INIT_RESOURCE(resources);
}

namespace orvix {
namespace {

const QString kNoImageStartAddress = QStringLiteral("0000");
const QString kNoImageStopAddress = QStringLiteral("FFFF");
constexpr int kDesignedFontPixels = 11;  // MS Sans Serif, 8 points
constexpr int kSmallestFontPixels = 8;
constexpr int kClientWidth = 385;
// The designed 114 pixels, a row for the port chooser and the gang's box below the buttons,
// and one for the gang's count.
constexpr int kClientHeight = 167;
constexpr int kRereadDelayMs = 300;

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

// An empty binary's stop address, -1, shows as FFFFFFFF.
QString ShownAddress(int32_t address) {
  return QString::fromStdString(AddressText(static_cast<uint32_t>(address)));
}

bool IsLogSwitch(const QString& arg) {
  return arg.size() == 2 && arg[0] == QLatin1Char('/') &&
         (arg[1] == QLatin1Char('l') || arg[1] == QLatin1Char('L'));
}

uint16_t AddressFrom(const QComboBox& field) {
  return static_cast<uint16_t>(HexTextToInt(field.currentText().toStdString()));
}

// A cleared field reads as 0: the spin box keeps its last valid value while its text is empty.
uint8_t DeviceNumberFrom(const QSpinBox& field) {
  return field.cleanText().trimmed().isEmpty() ? 0 : static_cast<uint8_t>(field.value());
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
  small.setPixelSize(kDesignedFontPixels);
  setFont(small);
  setWindowTitle(ApplicationTitle());
  setWindowIcon(ApplicationIcon());
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);

  SetupFileButton();
  // Drops land on the window, not as text in the file field.
  setAcceptDrops(true);
  ui_->beFileName->setAcceptDrops(false);

  file_watch_ = new QFileSystemWatcher(this);
  reread_delay_ = new QTimer(this);
  reread_delay_->setSingleShot(true);
  reread_delay_->setInterval(kRereadDelayMs);
  connect(file_watch_, &QFileSystemWatcher::fileChanged, this, [this] {
    if (!loaded_file_.isEmpty()) reread_delay_->start();
  });
  // A file deleted and written anew ends the watch on it: the folder tells when it is back.
  // Other files coming and going there are no news.
  connect(file_watch_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (!loaded_file_.isEmpty() && !file_watch_->files().contains(loaded_file_) &&
        QFileInfo::exists(loaded_file_))
      reread_delay_->start();
  });
  Guarded(reread_delay_, &QTimer::timeout, this, [this] {
    // A run reads the buffer as it goes: the change is taken up once it has ended.
    if (run_in_progress_)
      reread_after_run_ = true;
    else
      RereadImage();
  });

  Guarded(ui_->cbPort, &QComboBox::activated, this, [this] { PortChosen(); });
  QWidget::setTabOrder(ui_->BitBtn2, ui_->cbPort);

  // What the field shows once the user leaves it empty is what a run programs: 0, not the last
  // number.
  ui_->seNumberDevice->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);

  for (QComboBox* address : {ui_->cbStartAddress, ui_->cbStopAddress})
    address->setValidator(new AddressValidator(address));

  ui_->bbStart->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  Guarded(ui_->bbStart, &QPushButton::clicked, this, [this] { bbStartClick(); });
  ui_->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  connect(ui_->BitBtn2, &QPushButton::clicked, this, &QWidget::close);

  // How many boards to wait for counts only for a gang.
  connect(ui_->chAllDevices, &QCheckBox::toggled, ui_->seExpect, &QWidget::setEnabled);
  Guarded(ui_->chAllDevices, &QCheckBox::clicked, this, [this] { WriteGangChoice(); });
  Guarded(ui_->seExpect, &QSpinBox::editingFinished, this, [this] { WriteGangChoice(); });

  FitFontToTexts();

  QStatusBar& status_bar = *ui_->sbStatusBar;
  status_bar.setFixedHeight(19);
  for (int i = 0; i < kStatusPanels; ++i) {
    panels_[i] = new QLabel(&status_bar);
    panels_[i]->setObjectName(QStringLiteral("sbStatusBarPanel%1").arg(i));
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setMinimumWidth(50);
    // The last panel takes the rest of the bar: the status texts are longer than 50 pixels. The
    // run's figures in panel 1 take what they need.
    if (i == 0) panels_[i]->setMaximumWidth(50);
    status_bar.addWidget(panels_[i], i + 1 < kStatusPanels ? 0 : 1);
  }
}

// The picture button at the right end of the file field. A button of our own rather than the
// field's action icon, which takes no focus: this one is in the Tab order right after the field
// and is pressed with Space like any button; F4 or Alt+Down in the field press it too, as they
// open a combo box's list.
void TfmMain::SetupFileButton() {
  QLineEdit& field = *ui_->beFileName;
  file_button_ =
      new QAction(QIcon(QPixmap(QStringLiteral(":/app/folder_open.xpm"))), QString(), this);
  file_button_->setObjectName(QStringLiteral("beFileNameButton"));
  Guarded(file_button_, &QAction::triggered, this, [this] { beFileNameButtonClick(); });

  auto* button = new QToolButton(&field);
  button->setObjectName(QStringLiteral("beFileNameButton"));
  button->setDefaultAction(file_button_);
  button->setFocusPolicy(Qt::TabFocus);
  button->setAutoRaise(true);
  file_tool_button_ = button;
  button->setCursor(Qt::ArrowCursor);
  button->setIconSize(QSize(14, 12));
  // A flat button shows its focus too faintly to be found with Tab.
  button->setStyleSheet(QStringLiteral(
      "QToolButton:focus { border: 1px solid palette(highlight); border-radius: 2px; }"));
  const int side = field.height() - 4;
  button->setFixedSize(side + 2, side);
  auto* row = new QHBoxLayout(&field);
  row->setContentsMargins(0, 0, 2, 0);
  row->addStretch();
  row->addWidget(button);
  field.setTextMargins(0, 0, button->width(), 0);
  QWidget::setTabOrder(&field, button);
  QWidget::setTabOrder(button, ui_->cbStartAddress);
}

// The controls keep their designed places; the font gives way instead. Each label may reach to
// the field it names, and each text must fit its control whole. A face with Arial's metrics
// (Liberation Sans on a desktop) fits at the designed size; a wider one, such as DejaVu Sans where
// no desktop fonts are installed, is made a pixel or two smaller until every text fits.
void TfmMain::FitFontToTexts() {
  const std::pair<QLabel*, QWidget*> labelled[] = {{ui_->Label1, ui_->cbStartAddress},
                                                   {ui_->Label2, ui_->cbStopAddress},
                                                   {ui_->Label3, ui_->seNumberDevice},
                                                   {ui_->lbPort, ui_->cbPort},
                                                   {ui_->lbExpect, ui_->seExpect}};
  for (const auto& [label, field] : labelled)
    label->resize(field->x() - label->x(), label->height());
  const auto texts_fit = [&] {
    for (const auto& [label, field] : labelled)
      if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
        return false;
    for (const QPushButton* button : {ui_->bbStart, ui_->BitBtn2})
      if (button->sizeHint().width() > button->width()) return false;
    if (ui_->chAllDevices->sizeHint().width() > ui_->chAllDevices->width()) return false;
    return true;
  };
  QFont fitted = font();
  while (!texts_fit() && fitted.pixelSize() > kSmallestFontPixels) {
    fitted.setPixelSize(fitted.pixelSize() - 1);
    setFont(fitted);
  }
}

void TfmMain::FormCreate(const QStringList& args) {
  log_frames_ = !args.isEmpty() && IsLogSwitch(args.first());
  ClearImage();
  const UserFiles files = LocateUserFiles(
      QFileInfo(QCoreApplication::applicationFilePath()).filesystemAbsoluteFilePath());
  PrepareIniFile(files);
  PlacementStore.SetIniFileName(Utf8FromPath(files.IniFile));
  frame_log_file_ = Utf8FromPath(files.FrameLog);
  if (log_frames_) MakeFolderFor(files.FrameLog);
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
  ui_->cbStartAddress->setEditText(kNoImageStartAddress);
  ui_->cbStopAddress->setEditText(kNoImageStopAddress);
}

void TfmMain::LoadImage() {
  // A failed load leaves no image at all, so Load can never start on a stale or partial one.
  ClearImage();
  loaded_file_.clear();
  WatchImageFile();
  const QString file = ui_->beFileName->text();
  TImage image = ReadImage(QFile::encodeName(file).toStdString());
  image_ = std::move(image.Data);
  SetImageSize(static_cast<int32_t>(image_.size()));
  // A record file's range starts where its data does; a binary's at 0000.
  ui_->cbStartAddress->setEditText(ShownAddress(image.Start));
  ui_->cbStopAddress->setEditText(ShownAddress(image.Stop));
  loaded_file_ = QFileInfo(file).absoluteFilePath();
  WatchImageFile();
}

void TfmMain::RereadImage() {
  reread_delay_->stop();
  if (loaded_file_.isEmpty()) return;
  WatchImageFile();  // again: a file replaced by another is watched no more
  TImage image;
  try {
    image = ReadImage(QFile::encodeName(loaded_file_).toStdString());
  } catch (...) {
    // The file is still watched, so a rebuild that completes brings the image back.
    ClearImage();
    throw;
  }
  const QString start = ShownAddress(image.Start);
  const QString stop = ShownAddress(image.Stop);
  const bool same = image.Data == image_ && start == ui_->cbStartAddress->currentText() &&
                    stop == ui_->cbStopAddress->currentText();
  if (same) return;
  image_ = std::move(image.Data);
  SetImageSize(static_cast<int32_t>(image_.size()));
  ui_->cbStartAddress->setEditText(start);
  ui_->cbStopAddress->setEditText(stop);
  ShowStatus(QCoreApplication::translate("TfmMain", "File changed, image re-read"));
}

void TfmMain::WatchImageFile() {
  if (const QStringList watched = file_watch_->files() + file_watch_->directories();
      !watched.isEmpty())
    file_watch_->removePaths(watched);
  if (loaded_file_.isEmpty()) return;
  file_watch_->addPath(QFileInfo(loaded_file_).absolutePath());
  if (QFileInfo::exists(loaded_file_)) file_watch_->addPath(loaded_file_);
}

TPortChooser& TfmMain::PortChooser() {
  return *ui_->cbPort;
}

// Written as it is chosen, so a run the program does not survive still leaves it remembered.
void TfmMain::PortChosen() {
  TIniFile ini(PlacementStore.IniFileName());
  ui_->cbPort->WriteChoice(ini);
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
  settings.DeviceNumber = DeviceNumberFrom(*ui_->seNumberDevice);
  settings.StartAddress = AddressFrom(*ui_->cbStartAddress);
  settings.StopAddress = AddressFrom(*ui_->cbStopAddress);
  settings.ImageData = ImageData();
  settings.ImageSize = ImageSize();
  if (log_frames_) settings.LogFileName = frame_log_file_;
  // The window waits for a device until the user stops it: there is always someone to do that.
  // Only when no port is left to ping does the run end by itself, saying why. A machine with no
  // port at all keeps the waiting window, as it always has.
  settings.WaitMs = -1;
  if (const std::optional<std::string> port = ui_->cbPort->ChosenPort()) {
    settings.Ports = {*port};
    settings.GiveUpWhenNoPortLeft = true;
  } else {
    try {
      ListSerialPorts(settings.Ports);
    } catch (const std::exception&) {
      // The run lists them again and raises the same error where a failure to start is told.
      settings.Ports.clear();
    }
    settings.GiveUpWhenNoPortLeft = !settings.Ports.empty();
  }
  return settings;
}

void TfmMain::bbStartClick() {
  // A run programs ImageSize bytes from the buffer: both must describe the same image.
  if (image_size_ <= 0 || image_.size() != static_cast<size_t>(image_size_)) return;
  // A rebuild the watch has not told of yet (or could not: a network folder) is not flashed stale.
  RereadImage();
  if (image_size_ <= 0) return;
  SetStatusPanel(TStatusPanel::spRunResult, QString());
  run_in_progress_ = true;
  reread_after_run_ = false;
  const auto run_ended = qScopeGuard([this] {
    run_in_progress_ = false;
    if (reread_after_run_) reread_delay_->start(kRereadDelayMs);
  });
  // The modal result is not needed: the run has reported in the status bar or a message box.
  if (ui_->chAllDevices->isChecked()) {
    // Arrows then Load, with no Enter between: what was run is what is remembered. A file that
    // cannot be written is told, and the boards are programmed all the same.
    RunGuarded([this] { WriteGangChoice(); });
    dialogs_.RunGang(
        *this, *this, [this, first = true]() mutable { return GangSettings(first); },
        ui_->seExpect->value());
  } else {
    dialogs_.RunExchange(*this, *this, RunSettings());
  }
}

// The first gang takes the image Load has just read; each next one ("Повторить") reads the file
// again, so that the next set of boards is not programmed from a file rebuilt meanwhile.
TExchangeSettings TfmMain::GangSettings(bool& first) {
  if (!first) RereadImage();
  first = false;
  if (image_size_ <= 0)
    throw std::runtime_error(
        QCoreApplication::translate("TfmMain", "The image file \"%1\" is empty: nothing to program")
            .arg(loaded_file_)
            .toStdString());
  return RunSettings();
}

void TfmMain::ReadGangChoice() {
  const TIniFile ini(PlacementStore.IniFileName());
  ui_->chAllDevices->setChecked(ini.ReadInteger(kChoiceSection, kAllDevicesKey, 0) != 0);
  // Out of range reads as the nearest end; the spin box does that itself.
  ui_->seExpect->setValue(ini.ReadInteger(kChoiceSection, kExpectKey, ui_->seExpect->value()));
}

void TfmMain::WriteGangChoice() {
  TIniFile ini(PlacementStore.IniFileName());
  ini.WriteInteger(kChoiceSection, kAllDevicesKey, ui_->chAllDevices->isChecked() ? 1 : 0);
  ini.WriteInteger(kChoiceSection, kExpectKey, ui_->seExpect->value());
}

// Centred only while no saved place has been restored: the store's restore runs before this
// and turns the centring off when it puts the window back.
void TfmMain::showEvent(QShowEvent* event) {
  PlaceAtShowing(*this);
  // Read once, at the first showing, when the ini file's name is known, as the placement is.
  if (!port_choice_read_) {
    port_choice_read_ = true;
    RunGuarded([this] { ui_->cbPort->ReadChoice(TIniFile(PlacementStore.IniFileName())); });
    RunGuarded([this] { ReadGangChoice(); });
  }
  QMainWindow::showEvent(event);
}

// Enter presses the focused button, or else the default button, as in a dialog.
void TfmMain::keyPressEvent(QKeyEvent* event) {
  const bool opens_list = event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier;
  const bool opens_list_alt = event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier;
  if ((opens_list || opens_list_alt) && focusWidget() == ui_->beFileName) {
    file_button_->trigger();
    event->accept();
    return;
  }
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  // The folder button is a tool button: Enter there is meant for it, not for the default button.
  if (focusWidget() == file_tool_button_) {
    file_button_->trigger();
    event->accept();
    return;
  }
  auto* focused = qobject_cast<QPushButton*>(focusWidget());
  QPushButton* target = focused ? focused : ui_->bbStart;
  if (target->isEnabled()) target->click();
  event->accept();
}

namespace {

QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().first();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void TfmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfmMain::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (file.isEmpty()) return;
  event->acceptProposedAction();
  ui_->beFileName->setText(QFileInfo(file).absoluteFilePath());
  // Told after the drop has ended, so the box does not leave the dragging program waiting.
  QMetaObject::invokeMethod(
      this, [this] { RunGuarded([this] { LoadImage(); }); }, Qt::QueuedConnection);
}

}  // namespace orvix
