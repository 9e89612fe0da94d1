// The main window: the image file and its bytes, the address range, the device number, and the
// status bar the exchange reports in.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/placement/placement_store.h"
#include "ui_main_window.h"

class QFileDialog;
class QLabel;

namespace orvix {

// The file-open dialog's settings. Show puts the dialog on screen; tests replace it so that
// confirming or cancelling needs no user.
struct TOpenDialog {
  // Every image format first, then each one, then anything.
  QStringList Filter{
      QStringLiteral("Образы (*.bin *.hex *.ihx *.s19 *.s28 *.s37 *.srec *.mot)"),
      QStringLiteral("Binary files (*.bin)"),
      QStringLiteral("Intel HEX (*.hex *.ihx *.ihex)"),
      QStringLiteral("Motorola S-record (*.s19 *.s28 *.s37 *.srec *.mot *.s)"),
      QStringLiteral("Any file (*.*)")};
  QString DefaultExt{QStringLiteral("bin")};
  QString InitialDir;

  // Returns the chosen name, or nothing when the user cancelled.
  using Shower = std::function<std::optional<QString>(QWidget* parent, const TOpenDialog&)>;
  Shower Show;  // empty: the real dialog below

  std::optional<QString> Execute(QWidget* parent) const;
};

// The real dialog as the settings describe it: first filter selected, names that do not exist
// accepted (they fail when loaded), the system's own title.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const TOpenDialog& settings);

class TfmMain : public QMainWindow, public Ui_TfmMain {
  // The placement store names its ini section after the class: it must be "TfmMain".
  Q_OBJECT

 public:
  static constexpr int kStatusPanels = 3;

  explicit TfmMain(QWidget* parent = nullptr);
  ~TfmMain() override;

  // Start-up with the command-line arguments (without the program name). A file that cannot be
  // loaded is shown in the error box and start-up goes on.
  void FormCreate(const QStringList& args);

  void beFileNameButtonClick();
  // Loads the file named by beFileName (binary, Intel HEX or S-record) and shows its range. On
  // any failure it raises, leaving no image loaded.
  void LoadImage();
  void SetImageSize(int32_t size);
  void ShowStatus(const QString& text);
  void bbStartClick();

  // Status bar panels 0..2: the exchange writes the port's name into 0, the status into 2.
  void SetStatusPanel(int index, const QString& text);
  QString StatusPanel(int index) const;

  // The Image buffer: byte i is the byte for device address i. Null while no image is loaded;
  // otherwise exactly ImageSize() bytes, up to the range's stop address. Read-only for everyone
  // but LoadImage.
  int32_t ImageSize() const { return image_size_; }
  const uint8_t* ImageData() const { return image_.empty() ? nullptr : image_.data(); }
  bool LogFrames() const { return log_frames_; }

  TOpenDialog OpenDialog;
  // Held by value, not as a Qt child: the destructor still needs it for the destroy-time save.
  TPlacementStore PlacementStore{this};
  // The programming run behind the Load button; until the exchange window exists it is empty
  // and the button does nothing. Returns the run's modal result, which is ignored.
  std::function<int()> RunExchange;
  QAction* beFileNameButton = nullptr;  // the picture button at the right end of beFileName

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetupComponents();
  void ClearImage();

  int32_t image_size_ = 0;
  bool log_frames_ = false;
  std::vector<uint8_t> image_;  // exactly image_size_ bytes
  QLabel* panels_[kStatusPanels] = {};
};

// The one main window of the process, for the exchange window to reach.
extern TfmMain* fmMain;

}  // namespace orvix
