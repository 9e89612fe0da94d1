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
#include "app/port_chooser.h"
#include "app/user_dialogs.h"
#include "exchange/run_events.h"

class QAction;
class QFileSystemWatcher;
class QLabel;
class QTimer;
class QToolButton;
class Ui_TfmMain;

namespace orvix {

class TfmMain : public QMainWindow, public TStatusSink {
  // The placement store names its ini section after the class: it must be "TfmMain".
  Q_OBJECT

 public:
  static constexpr int kStatusPanels = 3;
  // The gang's settings, kept with the program's other choices.
  static constexpr const char* kChoiceSection = TPortChooser::kIniSection;
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
  // Runs the exchange on the loaded image; without one it does nothing. The file is read once
  // more first: what is programmed is the image as it is on disk now.
  void bbStartClick();

  // The loaded file, read again; the fields follow and panel 2 says so when it changed. A file
  // that can no longer be read raises and leaves no image, so Load is off until it can.
  void RereadImage();

  TPortChooser& PortChooser();

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
  // A file dropped on the window is loaded as one chosen in the dialog.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void SetupComponents();
  void SetupFileButton();
  void FitFontToTexts();
  void ClearImage();
  TExchangeSettings GangSettings(bool& first);
  void ReadGangChoice();
  void WriteGangChoice();
  void WatchImageFile();
  void PortChosen();

  std::unique_ptr<Ui_TfmMain> ui_;
  TUserDialogs& dialogs_;
  QAction* file_button_ = nullptr;  // what the picture button at the right end of beFileName does
  QToolButton* file_tool_button_ = nullptr;
  // The file the image came from, as an absolute name; empty while none was loaded.
  QString loaded_file_;
  QFileSystemWatcher* file_watch_ = nullptr;
  // A rebuild writes the file in several steps: it is read again once they have settled.
  QTimer* reread_delay_ = nullptr;
  bool port_choice_read_ = false;
  bool run_in_progress_ = false;
  bool reread_after_run_ = false;  // the file changed while a run was reading the buffer
  int32_t image_size_ = 0;
  bool log_frames_ = false;
  std::string frame_log_file_;  // out.txt for a run started with "/l"; set by FormCreate
  std::vector<uint8_t> image_;  // exactly image_size_ bytes
  QLabel* panels_[kStatusPanels] = {};
};

}  // namespace orvix
