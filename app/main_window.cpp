#include "app/main_window.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
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

// Resources of a static library must be registered by name, outside any namespace.
static void InitMainWindowResources() {
  Q_INIT_RESOURCE(resources);
}

namespace orvix {

TfmMain* fmMain = nullptr;

namespace {

const QString kNoImageStartAddress = QStringLiteral("0000");
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

// An empty binary's stop address, -1, shows as FFFFFFFF.
QString ShownAddress(int32_t address) {
  return QString::fromStdString(AddressText(static_cast<uint32_t>(address)));
}

bool IsLogSwitch(const QString& arg) {
  return arg.size() == 2 && arg[0] == QLatin1Char('/') &&
         (arg[1] == QLatin1Char('l') || arg[1] == QLatin1Char('L'));
}

// Connects a handler that may raise: what it raises goes to the error box, not through Qt.
void Guarded(auto* sender, auto signal, QObject* context, std::function<void()> handler) {
  QObject::connect(sender, signal, context,
                   [handler = std::move(handler)] { RunGuarded(handler); });
}

}  // namespace

std::optional<QString> TOpenDialog::Execute(QWidget* parent) const {
  if (Show) return Show(parent, *this);
  const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, *this);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().first();
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const TOpenDialog& settings) {
  auto dialog = std::make_unique<QFileDialog>(parent);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(settings.Filter);
  if (!settings.Filter.isEmpty()) dialog->selectNameFilter(settings.Filter.first());
  dialog->setDefaultSuffix(settings.DefaultExt);
  dialog->setDirectory(settings.InitialDir);
  dialog->setSizeGripEnabled(true);
  return dialog;
}

TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent) {
  InitMainWindowResources();
  setupUi(this);
  SetupComponents();
  SetFormPosition(*this, poDesktopCenter);
  if (!fmMain) fmMain = this;
}

TfmMain::~TfmMain() {
  // The destroy event: the window must still be whole when the store reads its placement.
  PlacementStore.FormDestroy();
  if (fmMain == this) fmMain = nullptr;
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

  beFileNameButton = beFileName->addAction(QIcon(QPixmap(QStringLiteral(":/app/folder_open.xpm"))),
                                           QLineEdit::TrailingPosition);
  beFileNameButton->setObjectName(QStringLiteral("beFileNameButton"));
  Guarded(beFileNameButton, &QAction::triggered, this, [this] { beFileNameButtonClick(); });

  for (QComboBox* address : {cbStartAddress, cbStopAddress})
    address->setValidator(new AddressValidator(address));

  bbStart->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  Guarded(bbStart, &QPushButton::clicked, this, [this] { bbStartClick(); });
  BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  connect(BitBtn2, &QPushButton::clicked, this, &QWidget::close);

  sbStatusBar->setFixedHeight(19);
  for (int i = 0; i < kStatusPanels; ++i) {
    panels_[i] = new QLabel(sbStatusBar);
    panels_[i]->setObjectName(QStringLiteral("sbStatusBarPanel%1").arg(i));
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panels_[i]->setMinimumWidth(50);
    // The last panel takes the rest of the bar: the status texts are longer than 50 pixels.
    if (i + 1 < kStatusPanels) panels_[i]->setMaximumWidth(50);
    sbStatusBar->addWidget(panels_[i], i + 1 < kStatusPanels ? 0 : 1);
  }
}

void TfmMain::FormCreate(const QStringList& args) {
  log_frames_ = !args.isEmpty() && IsLogSwitch(args.first());
  ClearImage();
  PlacementStore.SetIniFileName(
      PlacementIniFileName(QCoreApplication::applicationFilePath().toStdString()));
  OpenDialog.InitialDir = QCoreApplication::applicationDirPath();
  if (!log_frames_ && !args.isEmpty()) {
    beFileName->setText(args.first());
    RunGuarded([this] { LoadImage(); });
  }
}

void TfmMain::beFileNameButtonClick() {
  const std::optional<QString> chosen = OpenDialog.Execute(this);
  if (!chosen) return;
  beFileName->setText(QFileInfo(*chosen).absoluteFilePath());
  LoadImage();
}

void TfmMain::ClearImage() {
  image_.clear();
  image_.shrink_to_fit();
  SetImageSize(0);
  cbStartAddress->setEditText(kNoImageStartAddress);
  cbStopAddress->setEditText(kNoImageStopAddress);
}

void TfmMain::LoadImage() {
  // A failed load leaves no image at all, so Load can never start on a stale or partial one.
  ClearImage();
  TImage image = ReadImage(QFile::encodeName(beFileName->text()).toStdString());
  image_ = std::move(image.Data);
  SetImageSize(static_cast<int32_t>(image_.size()));
  // A record file's range starts where its data does; a binary's at 0000.
  cbStartAddress->setEditText(ShownAddress(image.Start));
  cbStopAddress->setEditText(ShownAddress(image.Stop));
}

void TfmMain::SetImageSize(int32_t size) {
  image_size_ = size;
  bbStart->setEnabled(size > 0);
}

void TfmMain::ShowStatus(const QString& text) {
  SetStatusPanel(2, text);
}

void TfmMain::SetStatusPanel(int index, const QString& text) {
  if (index >= 0 && index < kStatusPanels) panels_[index]->setText(text);
}

QString TfmMain::StatusPanel(int index) const {
  return index >= 0 && index < kStatusPanels ? panels_[index]->text() : QString();
}

void TfmMain::bbStartClick() {
  // A run programs ImageSize bytes from the buffer: both must describe the same image.
  if (!RunExchange || image_size_ <= 0 || image_.size() != static_cast<size_t>(image_size_)) return;
  RunExchange();
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
  QPushButton* target = focused ? focused : bbStart;
  if (target->isEnabled()) target->click();
  event->accept();
}

}  // namespace orvix
