// The main window: the image file and its bytes, the address range, the device number, and the
// status bar the exchange reports in.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/placement/placement_store.h"
#include "app/user_dialogs.h"
#include "exchange/run_events.h"

class QAction;
class QLabel;
class Ui_TfmMain;

namespace orvix {

class TfmMain : public QMainWindow, public TStatusSink {
  // The placement store names its ini section after the class: it must be "TfmMain".
  Q_OBJECT

 public:
  static constexpr int kStatusPanels = 3;
  // The gang's settings, kept with the program's other choices.
  static constexpr char kChoiceSection[] = "Port";
  static constexpr char kAllDevicesKey[] = "AllDevices";
  static constexpr char kExpectKey[] = "Expect";

  // `dialogs` shows the file dialog and runs the exchange window; it outlives the window.
  explicit TfmMain(TUserDialogs& dialogs, QWidget* parent = nullptr);
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
  // Runs the exchange on the loaded image; without one it does nothing.
  void bbStartClick();

  // The status bar's panels: the exchange writes the port's name into 0, the status into 2.
  void SetStatusPanel(TStatusPanel panel, const QString& text) override;
  QString StatusPanel(TStatusPanel panel) const;

  // What a run started now would program: the device number, the address range the fields show
  // and the Image buffer; with "/l", the frame log beside the executable.
  TExchangeSettings RunSettings() const;

  // The Image buffer: byte i is the byte for device address i. Null while no image is loaded;
  // otherwise exactly ImageSize() bytes, up to the range's stop address. Read-only for everyone
  // but LoadImage.
  int32_t ImageSize() const { return image_size_; }
  const uint8_t* ImageData() const { return image_.empty() ? nullptr : image_.data(); }
  bool LogFrames() const { return log_frames_; }

  TOpenDialog OpenDialog;
  // Held by value, not as a Qt child: the destructor still needs it for the destroy-time save.
  TPlacementStore PlacementStore{this};

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetupComponents();
  void SetupFileButton();
  void FitFontToTexts();
  void ClearImage();
  void ReadGangChoice();
  void WriteGangChoice();

  std::unique_ptr<Ui_TfmMain> ui_;
  TUserDialogs& dialogs_;
  QAction* file_button_ = nullptr;  // what the picture button at the right end of beFileName does
  bool gang_choice_read_ = false;
  int32_t image_size_ = 0;
  bool log_frames_ = false;
  std::string frame_log_file_;  // out.txt for a run started with "/l"; set by FormCreate
  std::vector<uint8_t> image_;  // exactly image_size_ bytes
  QLabel* panels_[kStatusPanels] = {};
};

}  // namespace orvix
