#include "app/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/error_box.h"
#include "app/placement/ini_file.h"
#include "runtime/message_loop.h"
#include "tests/support/record_lines.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using testing::Child;

std::string PlacementFileBesideTheProgram() {
  const fs::path exe = QCoreApplication::applicationFilePath().toStdString();
  return (exe.parent_path() / exe.stem()).string() + ".ini";
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() /
           ("orvix-window-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    fs::create_directories(dir_);
    working_folder_ = fs::current_path();
    InstallErrorBox(dialogs_);
    KeepPlacementInTestFolder();
  }
  void TearDown() override {
    window_.reset();  // its placement is saved as it goes, while the test's folder is still there
    SetExceptionHandler(nullptr);
    fs::current_path(working_folder_);
    fs::remove_all(dir_);
  }

  // FormCreate names the placement file beside the test program; each test keeps its own.
  void KeepPlacementInTestFolder() {
    w_.PlacementStore.SetIniFileName((dir_ / "orvix.ini").string());
  }
  void FormCreate(const QStringList& args) {
    w_.FormCreate(args);
    KeepPlacementInTestFolder();
  }

  // A file of `size` bytes whose byte i is (i * 7 + 3) mod 256.
  QString Write(const std::string& name, size_t size) {
    std::ofstream out(dir_ / name, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7 + 3));
    return QString::fromStdString((dir_ / name).string());
  }
  QString WriteLines(const std::string& name, const std::vector<std::string>& lines) {
    std::ofstream out(dir_ / name, std::ios::binary);
    for (const std::string& line : lines) out << line << "\r\n";
    return QString::fromStdString((dir_ / name).string());
  }
  QString Missing(const std::string& name) {
    return QString::fromStdString((dir_ / name).string());
  }

  // The dialog answers with `answer` (nothing: the user cancelled) and remembers its settings.
  void DialogAnswers(std::optional<QString> answer) { dialogs_.file_answer = std::move(answer); }

  void ExpectNoImage() {
    EXPECT_EQ(w_.ImageSize(), 0);
    EXPECT_EQ(w_.ImageData(), nullptr);
    EXPECT_FALSE(bbStart.isEnabled());
  }

  fs::path dir_, working_folder_;
  testing::RecordingDialogs dialogs_;
  QStringList& errors_ = dialogs_.errors;
  std::unique_ptr<TfmMain> window_ = std::make_unique<TfmMain>(dialogs_);
  TfmMain& w_ = *window_;
  std::optional<TOpenDialog>& shown_dialog_ = dialogs_.file_dialog;
  // The window's parts, by the names of its form.
  QLineEdit& beFileName = Child<QLineEdit>(w_, "beFileName");
  QAction& beFileNameButton = Child<QAction>(w_, "beFileNameButton");
  QLabel& Label1 = Child<QLabel>(w_, "Label1");
  QComboBox& cbStartAddress = Child<QComboBox>(w_, "cbStartAddress");
  QLabel& Label2 = Child<QLabel>(w_, "Label2");
  QComboBox& cbStopAddress = Child<QComboBox>(w_, "cbStopAddress");
  QLabel& Label3 = Child<QLabel>(w_, "Label3");
  QSpinBox& seNumberDevice = Child<QSpinBox>(w_, "seNumberDevice");
  QStatusBar& sbStatusBar = Child<QStatusBar>(w_, "sbStatusBar");
  QPushButton& bbStart = Child<QPushButton>(w_, "bbStart");
  QPushButton& BitBtn2 = Child<QPushButton>(w_, "BitBtn2");
  QLabel& lbPort = Child<QLabel>(w_, "lbPort");
  TPortChooser& cbPort = Child<TPortChooser>(w_, "cbPort");
  QCheckBox& chAllDevices = Child<QCheckBox>(w_, "chAllDevices");
  QLabel& lbExpect = Child<QLabel>(w_, "lbExpect");
  QSpinBox& seExpect = Child<QSpinBox>(w_, "seExpect");
};

TEST_F(MainWindow, StartsEmptyWithoutArguments) {
  FormCreate({});
  EXPECT_FALSE(w_.LogFrames());
  ExpectNoImage();
  EXPECT_EQ(beFileName.text(), "");
  EXPECT_EQ(cbStartAddress.currentText(), "0000");
  EXPECT_EQ(cbStopAddress.currentText(), "FFFF");
  EXPECT_EQ(seNumberDevice.value(), 0);
  for (QLabel* panel : sbStatusBar.findChildren<QLabel*>()) EXPECT_EQ(panel->text(), "");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MainWindow, OnlyTheFirstArgumentCounts) {
  const QString file = Write("a.bin", 16);
  struct Case {
    QStringList args;
    bool log;
    int32_t size;
  } cases[] = {
      {{"/L"}, true, 0},
      {{"/l", file}, true, 0},
      {{file, "/l"}, false, 16},
      {{file, Write("b.bin", 32)}, false, 16},
  };
  for (const auto& c : cases) {
    TfmMain w(dialogs_);
    w.FormCreate(c.args);
    EXPECT_EQ(w.LogFrames(), c.log) << c.args.join(' ').toStdString();
    EXPECT_EQ(w.ImageSize(), c.size) << c.args.join(' ').toStdString();
  }
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MainWindow, ALongerSwitchIsAFileName) {
  FormCreate({"/log"});
  EXPECT_FALSE(w_.LogFrames());
  EXPECT_EQ(errors_, QStringList{"Не удается открыть файл \"/log\". No such file or directory"});
}

TEST_F(MainWindow, ShowsTheRangeOfEachLoadedFile) {
  struct Case {
    size_t size;
    const char* stop;
  } cases[] = {{1, "0000"}, {256, "00FF"}, {65536, "FFFF"}, {0, "FFFFFFFF"}};
  for (const auto& c : cases) {
    const QString file = Write("image.bin", c.size);
    DialogAnswers(file);
    beFileNameButton.trigger();
    SCOPED_TRACE(c.size);
    EXPECT_EQ(beFileName.text(), file);
    EXPECT_EQ(w_.ImageSize(), static_cast<int32_t>(c.size));
    EXPECT_EQ(cbStopAddress.currentText(), c.stop);
    EXPECT_EQ(cbStartAddress.currentText(), "0000");
    EXPECT_EQ(bbStart.isEnabled(), c.size > 0);
    if (c.size == 0) {
      EXPECT_EQ(w_.ImageData(), nullptr);
      continue;
    }
    ASSERT_NE(w_.ImageData(), nullptr);
    for (size_t i = 0; i < c.size; ++i)
      ASSERT_EQ(w_.ImageData()[i], static_cast<uint8_t>(i * 7 + 3)) << "address " << i;
  }
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MainWindow, ARecordFileShowsItsOwnRangeAndABinaryThenStartsAt0000Again) {
  const QString hex =
      WriteLines("image.hex", {testing::IntelHexLine(0, 0x1000, {1, 2, 3}),
                               testing::IntelHexLine(0, 0x1004, {5}), testing::kIntelHexEnd});
  DialogAnswers(hex);
  beFileNameButton.trigger();
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join("\n").toStdString();
  EXPECT_EQ(cbStartAddress.currentText(), "1000");
  EXPECT_EQ(cbStopAddress.currentText(), "1004");
  EXPECT_FALSE(cbStartAddress.isEnabled());
  EXPECT_TRUE(bbStart.isEnabled());
  // Byte i still holds address i: the exchange reads the buffer by device address.
  ASSERT_EQ(w_.ImageSize(), 0x1005);
  EXPECT_EQ(std::vector<uint8_t>(w_.ImageData() + 0x1000, w_.ImageData() + 0x1005),
            (std::vector<uint8_t>{1, 2, 3, 0xFF, 5}));

  DialogAnswers(Write("image.bin", 16));
  beFileNameButton.trigger();
  EXPECT_EQ(cbStartAddress.currentText(), "0000");
  EXPECT_EQ(cbStopAddress.currentText(), "000F");
}

TEST_F(MainWindow, ARefusedRecordFileIsShownWithItsLineAndLeavesNoImage) {
  DialogAnswers(WriteLines("good.s19",
                           {testing::SRecordLine(1, 0x2000, {7}), testing::SRecordLine(9, 0, {})}));
  beFileNameButton.trigger();
  ASSERT_EQ(cbStartAddress.currentText(), "2000");
  const QString cut = WriteLines("cut.s19", {testing::SRecordLine(1, 0x2000, {7})});
  DialogAnswers(cut);
  beFileNameButton.trigger();
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_[0].startsWith(cut + ":1: ")) << errors_[0].toStdString();
  EXPECT_TRUE(errors_[0].contains("файл, возможно, обрезан")) << errors_[0].toStdString();
  ExpectNoImage();
  EXPECT_EQ(cbStartAddress.currentText(), "0000");
  EXPECT_EQ(cbStopAddress.currentText(), "FFFF");
}

TEST_F(MainWindow, AFileTooLargeToAddressIsRefusedAndLeavesNoImage) {
  DialogAnswers(Write("small.bin", 256));
  beFileNameButton.trigger();
  const QString big = Write("big.bin", 65537);
  DialogAnswers(big);
  beFileNameButton.trigger();
  EXPECT_EQ(errors_, QStringList{"Файл \"" + big +
                                 "\" слишком велик: 65537 байт, устройство принимает не более "
                                 "65536 байт"});
  ExpectNoImage();
  EXPECT_EQ(cbStopAddress.currentText(), "FFFF");
  EXPECT_EQ(beFileName.text(), big);
}

TEST_F(MainWindow, AFileThatCannotBeOpenedIsShownAndStartUpGoesOn) {
  const QString missing = Missing("gone.bin");
  w_.FormCreate({missing});
  EXPECT_EQ(errors_,
            QStringList{"Не удается открыть файл \"" + missing + "\". No such file or directory"});
  ExpectNoImage();
  EXPECT_EQ(beFileName.text(), missing);
  EXPECT_EQ(w_.PlacementStore.IniFileName(), PlacementFileBesideTheProgram());
  EXPECT_FALSE(w_.OpenDialog.InitialDir.isEmpty());
}

TEST_F(MainWindow, ALoadFailureAfterAGoodLoadLeavesNoImage) {
  DialogAnswers(Write("good.bin", 300));
  beFileNameButton.trigger();
  ASSERT_TRUE(bbStart.isEnabled());
  DialogAnswers(QString::fromStdString(dir_.string()));  // a folder cannot be loaded
  beFileNameButton.trigger();
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_TRUE(errors_[0].startsWith("Не удается открыть файл \"")) << errors_[0].toStdString();
  ExpectNoImage();
  EXPECT_EQ(cbStopAddress.currentText(), "FFFF");
}

TEST_F(MainWindow, AChosenFileThatIsGoneOrAFifoWhenLoadedIsShownWithoutHanging) {
  FormCreate({});
  const QString gone = Write("gone.bin", 300);
  fs::remove(gone.toStdString());  // between the dialog's answer and the load
  DialogAnswers(gone);
  beFileNameButton.trigger();
  const std::string fifo = (dir_ / "fifo.bin").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);  // opened for reading, it would wait for a writer
  DialogAnswers(QString::fromStdString(fifo));
  beFileNameButton.trigger();
  EXPECT_EQ(errors_,
            (QStringList{"Не удается открыть файл \"" + gone + "\". No such file or directory",
                         "Не удается открыть файл \"" + QString::fromStdString(fifo) +
                             "\". Это не обычный файл"}));
  ExpectNoImage();
}

TEST_F(MainWindow, ARelativeNameIsFoundInTheWorkingFolder) {
  Write("rel.bin", 10);
  fs::current_path(dir_);
  FormCreate({"rel.bin"});
  EXPECT_EQ(w_.ImageSize(), 10);
  EXPECT_EQ(beFileName.text(), "rel.bin");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MainWindow, TheFileButtonOffersImageFilesFromTheProgramsFolder) {
  FormCreate({});
  DialogAnswers(std::nullopt);
  beFileNameButton.trigger();
  ASSERT_TRUE(shown_dialog_);
  EXPECT_EQ(
      shown_dialog_->Filter,
      (QStringList{"Образы (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)",
                   "Двоичные файлы (*.bin)", "Intel HEX (*.hex *.ihx *.ihex)",
                   "Motorola S-record (*.s19 *.s28 *.s37 *.srec *.mot *.s)", "Любой файл (*.*)"}));
  EXPECT_EQ(shown_dialog_->DefaultExt, "bin");
  EXPECT_EQ(shown_dialog_->InitialDir, QCoreApplication::applicationDirPath());

  const auto dialog = MakeFileDialog(nullptr, *shown_dialog_);
  EXPECT_EQ(dialog->nameFilters(), shown_dialog_->Filter);
  EXPECT_EQ(dialog->selectedNameFilter(),
            "Образы (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)");
  EXPECT_EQ(dialog->defaultSuffix(), "bin");
  EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);  // a name that does not exist is taken
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(fs::path(dialog->directory().absolutePath().toStdString()),
            fs::path(QCoreApplication::applicationDirPath().toStdString()));
}

// The file button from the keyboard: Tab from the field reaches it, Space presses it, and F4 or
// Alt+Down in the field press it as they open a combo box's list.
TEST_F(MainWindow, TheFileButtonHasAKeyboardPathAndComesAfterTheFieldInTheTabOrder) {
  FormCreate({});
  w_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w_));
  QToolButton& button = Child<QToolButton>(beFileName, "beFileNameButton");
  EXPECT_EQ(button.mapTo(&beFileName, QPoint(button.width(), 0)).x(), beFileName.width() - 2);
  DialogAnswers(std::nullopt);

  beFileName.setFocus();
  QTest::keyClick(&beFileName, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), &button);
  QTest::keyClick(&button, Qt::Key_Space);
  EXPECT_TRUE(shown_dialog_);
  // On to the next enabled control (the address fields are disabled), and back.
  QTest::keyClick(&button, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), &seNumberDevice);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), &button);
  QTest::keyClick(&button, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), &beFileName);

  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_F4, Qt::NoModifier}, std::pair{Qt::Key_Down, Qt::AltModifier}}) {
    shown_dialog_.reset();
    const QString file = Write("keyboard.bin", 3);
    DialogAnswers(file);
    QTest::keyClick(&beFileName, key, modifiers);
    EXPECT_TRUE(shown_dialog_) << key;
    EXPECT_EQ(w_.ImageSize(), 3);
    EXPECT_EQ(beFileName.text(), file);
    FormCreate({});  // back to no image
  }
  // Elsewhere F4 does not open it.
  shown_dialog_.reset();
  seNumberDevice.setFocus();
  QTest::keyClick(&seNumberDevice, Qt::Key_F4);
  EXPECT_FALSE(shown_dialog_);
}

TEST_F(MainWindow, CancellingTheDialogChangesNothing) {
  const QString file = Write("kept.bin", 256);
  DialogAnswers(file);
  beFileNameButton.trigger();
  DialogAnswers(std::nullopt);
  beFileNameButton.trigger();
  EXPECT_EQ(beFileName.text(), file);
  EXPECT_EQ(w_.ImageSize(), 256);
  EXPECT_NE(w_.ImageData(), nullptr);
  EXPECT_EQ(cbStopAddress.currentText(), "00FF");
  EXPECT_TRUE(bbStart.isEnabled());
}

TEST_F(MainWindow, ANameTypedByHandLoadsNothing) {
  FormCreate({});
  w_.show();
  QTest::keyClicks(&beFileName, Write("typed.bin", 5));
  QTest::keyClick(&beFileName, Qt::Key_Return);
  beFileName.clearFocus();
  ExpectNoImage();
  EXPECT_EQ(cbStopAddress.currentText(), "FFFF");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(MainWindow, LoadStartsTheExchangeOnlyWithAnImage) {
  const int& runs = dialogs_.runs;
  dialogs_.run_exchange = [] { return 1; };
  w_.show();
  bbStart.click();
  w_.bbStartClick();
  EXPECT_EQ(runs, 0);

  DialogAnswers(Write("run.bin", 128));
  beFileNameButton.trigger();
  bbStart.click();
  EXPECT_EQ(runs, 1);
  QTest::keyClick(&beFileName, Qt::Key_Return);  // Load is the default button
  EXPECT_EQ(runs, 2);

  dialogs_.run_exchange = []() -> int { throw std::runtime_error("no port answered"); };
  bbStart.click();
  EXPECT_EQ(errors_, QStringList{"no port answered"});
}

TEST_F(MainWindow, AClearedDeviceNumberProgramsDeviceZero) {
  dialogs_.run_exchange = [] { return 1; };
  DialogAnswers(Write("run.bin", 16));
  beFileNameButton.trigger();
  w_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w_));
  const auto clear_field = [&] {
    seNumberDevice.setValue(7);
    seNumberDevice.setFocus();
    seNumberDevice.selectAll();
    QTest::keyClick(&seNumberDevice, Qt::Key_Backspace);
    ASSERT_EQ(seNumberDevice.text(), "");
  };
  // Enter in the field, the button pressed without taking the focus, a click with the mouse.
  clear_field();
  QTest::keyClick(&seNumberDevice, Qt::Key_Return);
  ASSERT_EQ(dialogs_.runs, 1);
  EXPECT_EQ(dialogs_.last_settings->DeviceNumber, 0);
  clear_field();
  bbStart.click();
  EXPECT_EQ(dialogs_.last_settings->DeviceNumber, 0);
  clear_field();
  QTest::mouseClick(&bbStart, Qt::LeftButton);
  ASSERT_EQ(dialogs_.runs, 3);
  EXPECT_EQ(dialogs_.last_settings->DeviceNumber, 0);
  EXPECT_EQ(seNumberDevice.text(), "0");  // what the field shows once left is what ran

  seNumberDevice.setValue(255);
  bbStart.click();
  EXPECT_EQ(dialogs_.last_settings->DeviceNumber, 255);
}

TEST_F(MainWindow, ExitClosesTheWindow) {
  w_.show();
  ASSERT_TRUE(w_.isVisible());
  BitBtn2.click();
  EXPECT_FALSE(w_.isVisible());
}

TEST_F(MainWindow, StatusBarPanels) {
  w_.show();
  w_.ShowStatus("Программирование завершено");
  w_.SetStatusPanel(TStatusPanel::spPortName, "COM3");
  EXPECT_EQ(w_.StatusPanel(TStatusPanel::spPortName), "COM3");
  EXPECT_EQ(Child<QLabel>(w_, "sbStatusBarPanel0").text(), "COM3");
  EXPECT_EQ(Child<QLabel>(w_, "sbStatusBarPanel1").text(), "");
  EXPECT_EQ(Child<QLabel>(w_, "sbStatusBarPanel2").text(), "Программирование завершено");
  EXPECT_EQ(w_.StatusPanel(TStatusPanel::spStatusText), "Программирование завершено");
  w_.ShowStatus("");
  EXPECT_EQ(w_.StatusPanel(TStatusPanel::spStatusText), "");
  const auto no_such_panel = static_cast<TStatusPanel>(3);
  w_.SetStatusPanel(no_such_panel, "COM4");  // nothing breaks
  EXPECT_EQ(w_.StatusPanel(no_such_panel), "");

  const auto panels = sbStatusBar.findChildren<QLabel*>();
  ASSERT_EQ(panels.size(), 3);
  EXPECT_EQ(panels[0]->width(), 50);
  EXPECT_EQ(panels[1]->width(), 50);
  EXPECT_GE(panels[2]->width(), 50);
}

TEST_F(MainWindow, ThePortPanelsTooltipDescribesTheLatestPortOnly) {
  QLabel& panel0 = Child<QLabel>(w_, "sbStatusBarPanel0");
  dialogs_.port_descriptions["COM3"] = "FT232R USB UART, FTDI, A50285BI";
  w_.SetStatusPanel(TStatusPanel::spPortName, "COM3");
  QCoreApplication::processEvents();
  EXPECT_EQ(panel0.toolTip(), "FT232R USB UART, FTDI, A50285BI");
  // A later run on a port the machine tells nothing about keeps no stale description.
  w_.SetStatusPanel(TStatusPanel::spPortName, "COM4");
  QCoreApplication::processEvents();
  EXPECT_EQ(panel0.toolTip(), "");
  // Names replaced before the loop got to them are not described at all.
  w_.SetStatusPanel(TStatusPanel::spPortName, "COM5");
  w_.SetStatusPanel(TStatusPanel::spPortName, "COM3");
  w_.ShowStatus("Программирование");
  QCoreApplication::processEvents();
  EXPECT_EQ(panel0.toolTip(), "FT232R USB UART, FTDI, A50285BI");
  EXPECT_EQ(dialogs_.described, (QStringList{"COM3", "COM4", "COM3"}));
}

TEST_F(MainWindow, ThePlacementFileLiesBesideTheExecutable) {
  w_.FormCreate({});
  EXPECT_EQ(w_.PlacementStore.IniFileName(), PlacementFileBesideTheProgram());
}

TEST_F(MainWindow, AFixedWindowLaidOutAsDesigned) {
  w_.show();
  EXPECT_EQ(w_.windowTitle(), "Программатор \"Orvix\"");
  EXPECT_EQ(w_.size(), QSize(385, 167));
  EXPECT_EQ(w_.minimumSize(), w_.maximumSize());
  struct Place {
    QWidget* widget;
    int left, top, width;
  } places[] = {
      {&beFileName, 7, 8, 371},       {&Label1, 6, 42, -1},          {&cbStartAddress, 65, 37, 57},
      {&Label2, 124, 42, -1},         {&cbStopAddress, 177, 37, 57}, {&Label3, 244, 42, -1},
      {&seNumberDevice, 321, 37, 57}, {&bbStart, 8, 64, 89},         {&BitBtn2, 288, 64, 89},
      {&lbPort, 6, 101, -1},          {&cbPort, 65, 96, 169},        {&chAllDevices, 244, 98, 134},
      {&lbExpect, 244, 127, -1},      {&seExpect, 321, 122, 57},     {&sbStatusBar, 0, 148, 385},
  };
  for (const auto& p : places) {
    const QPoint at = p.widget->mapTo(&w_, QPoint(0, 0));
    SCOPED_TRACE(p.widget->objectName().toStdString());
    EXPECT_EQ(at, QPoint(p.left, p.top));
    if (p.width >= 0) {
      EXPECT_EQ(p.widget->width(), p.width);
    }
  }
  EXPECT_EQ(sbStatusBar.height(), 19);
  EXPECT_EQ(bbStart.height(), 25);
  EXPECT_EQ(lbPort.text(), "Порт");
  EXPECT_EQ(lbPort.buddy(), &cbPort);
  // A fixed dialog frame: nothing to maximise. The program's own icon, not the system's.
  EXPECT_FALSE(w_.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(w_.windowIcon().isNull());
  EXPECT_FALSE(bbStart.icon().isNull());
  EXPECT_FALSE(BitBtn2.icon().isNull());
  // The folder picture comes from the program's own resources.
  EXPECT_EQ(beFileNameButton.icon().availableSizes().value(0), QSize(14, 12));
}

TEST_F(MainWindow, AddressFieldsAreReadOnlyHexOfFourPositions) {
  for (QComboBox* field : {&cbStartAddress, &cbStopAddress}) {
    SCOPED_TRACE(field->objectName().toStdString());
    EXPECT_FALSE(field->isEnabled());
    EXPECT_TRUE(field->isEditable());
    EXPECT_EQ(field->count(), 0);
    const QValidator* mask = field->validator();
    ASSERT_NE(mask, nullptr);
    struct Typed {
      const char* text;
      QValidator::State state;
      const char* shown;
    } cases[] = {{"ab", QValidator::Intermediate, "AB"},
                 {"0a9F", QValidator::Acceptable, "0A9F"},
                 {"12345", QValidator::Invalid, "12345"},
                 {"12g", QValidator::Invalid, "12G"},
                 {"-1", QValidator::Invalid, "-1"},
                 {"١٢", QValidator::Invalid, "١٢"}};  // digits, but not hexadecimal ones
    for (const auto& c : cases) {
      QString text = c.text;
      int pos = 0;
      EXPECT_EQ(mask->validate(text, pos), c.state) << c.text;
      EXPECT_EQ(text, c.shown);
    }
  }
  // What the program writes is kept, whatever its length.
  DialogAnswers(Write("empty.bin", 0));
  beFileNameButton.trigger();
  EXPECT_EQ(cbStopAddress.currentText(), "FFFFFFFF");
}

}  // namespace
}  // namespace orvix

namespace orvix {
namespace {

// Enter goes to the button it is pressed on, the folder button included; anywhere else to Load,
// the default button. Tab reaches every enabled control in the order of the form.
TEST_F(MainWindow, EnterPressesTheFocusedButtonAndTabFollowsTheForm) {
  dialogs_.run_exchange = [] { return 1; };
  FormCreate({});
  DialogAnswers(Write("keys.bin", 16));
  beFileNameButton.trigger();
  w_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w_));
  QToolButton& folder = Child<QToolButton>(beFileName, "beFileNameButton");

  struct Case {
    QWidget* focus;
    Qt::Key key;
    bool opens_dialog;
    int runs;
  } cases[] = {
      {&folder, Qt::Key_Return, true, 0},     {&folder, Qt::Key_Enter, true, 0},
      {&folder, Qt::Key_Space, true, 0},      {&seNumberDevice, Qt::Key_Return, false, 1},
      {&beFileName, Qt::Key_Enter, false, 1}, {&cbPort, Qt::Key_Return, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focus->objectName().toStdString() + " " + std::to_string(c.key));
    shown_dialog_.reset();
    DialogAnswers(std::nullopt);
    dialogs_.runs = 0;
    c.focus->setFocus();
    QTest::keyClick(c.focus, c.key);
    EXPECT_EQ(shown_dialog_.has_value(), c.opens_dialog);
    EXPECT_EQ(dialogs_.runs, c.runs);
  }

  beFileName.setFocus();
  QStringList order;
  // "Ожидать" is off while the gang's box is clear.
  for (int i = 0; i < 8; ++i) {
    order << QApplication::focusWidget()->objectName();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (QStringList{"beFileName", "beFileNameButton", "seNumberDevice", "bbStart",
                                "BitBtn2", "cbPort", "chAllDevices", "beFileName"}));
}

TEST_F(MainWindow, ADroppedFileIsLoadedAsIfChosen) {
  FormCreate({});
  w_.show();
  const QString file = Write("dropped.bin", 300);
  struct Case {
    QList<QUrl> urls;
    bool taken;
  } cases[] = {
      {{QUrl::fromLocalFile(file)}, true},
      {{QUrl(QStringLiteral("https://example.org/image.bin"))}, false},
      {{QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)}, false},  // which one?
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.urls.first().toString().toStdString());
    FormCreate({});
    beFileName.clear();
    QMimeData data;
    data.setUrls(c.urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w_, &enter);
    EXPECT_EQ(enter.isAccepted(), c.taken);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w_, &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(w_.ImageSize(), c.taken ? 300 : 0);
    EXPECT_EQ(beFileName.text(), c.taken ? file : QString());
  }
  EXPECT_TRUE(errors_.isEmpty());
}

// The image follows the file on disk: rewritten, it is read again; gone, Load is off with the
// error shown; back, it is read again.
TEST_F(MainWindow, AFileChangedOnDiskIsReadAgain) {
  FormCreate({});
  DialogAnswers(Write("rebuilt.bin", 10));
  beFileNameButton.trigger();
  ASSERT_EQ(w_.ImageSize(), 10);
  const QString kReread = QStringLiteral("Файл изменён, образ перечитан");

  Write("rebuilt.bin", 0x20);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w_.ImageSize() == 0x20; }, 5000));
  EXPECT_EQ(cbStopAddress.currentText(), "001F");
  EXPECT_EQ(w_.StatusPanel(TStatusPanel::spStatusText), kReread);
  EXPECT_TRUE(bbStart.isEnabled());

  fs::remove(dir_ / "rebuilt.bin");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !errors_.isEmpty(); }, 5000));
  EXPECT_TRUE(errors_.first().contains("rebuilt.bin")) << errors_.first().toStdString();
  ExpectNoImage();

  // Written anew by a tool that renames its output into place.
  w_.ShowStatus("");
  Write("rebuilt.tmp", 0x40);
  fs::rename(dir_ / "rebuilt.tmp", dir_ / "rebuilt.bin");
  ASSERT_TRUE(QTest::qWaitFor([&] { return w_.ImageSize() == 0x40; }, 5000));
  EXPECT_EQ(cbStopAddress.currentText(), "003F");
  EXPECT_EQ(w_.StatusPanel(TStatusPanel::spStatusText), kReread);
  EXPECT_EQ(errors_.size(), 1);
}

TPortIdentity Port(std::string name, std::string path, std::optional<std::string> product = {},
                   std::optional<std::string> serial = {}) {
  TPortIdentity port;
  port.Name = std::move(name);
  port.Path = std::move(path);
  port.Product = std::move(product);
  port.Serial = std::move(serial);
  return port;
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

// The chooser lists the machine's ports when opened, pings only the chosen one, and the choice
// comes back at the next start, in its own section; a port that is gone shows as gone.
TEST_F(MainWindow, ThePortChooserListsPortsAndRemembersTheChoice) {
  testing::ScopedEnv ports("ORVIX_PORTS", "COM1=/dev/null;COM5=/dev/zero");
  std::vector<TPortIdentity> machine = {
      Port("COM1", "/dev/ttyS0"), Port("COM5", "/dev/ttyUSB0", "FT232R USB UART", "A50285BI")};
  cbPort.ListPorts = [&] { return machine; };
  FormCreate({});
  w_.show();
  EXPECT_EQ(cbPort.currentText(), "Все порты");
  EXPECT_EQ(cbPort.ChosenPort(), std::nullopt);
  // Every port, as ever, but the run ends by itself once none is left to ping.
  EXPECT_EQ(w_.RunSettings().Ports, (std::vector<std::string>{"COM1", "COM5"}));
  EXPECT_TRUE(w_.RunSettings().GiveUpWhenNoPortLeft);

  cbPort.showPopup();
  EXPECT_EQ(Items(cbPort), (QStringList{"Все порты", "COM1 — /dev/ttyS0",
                                        "COM5 — /dev/ttyUSB0, FT232R USB UART, A50285BI"}));
  cbPort.hidePopup();
  QTest::keyClick(&cbPort, Qt::Key_Down);  // a closed combo box chooses with the arrows
  QTest::keyClick(&cbPort, Qt::Key_Down);
  EXPECT_EQ(cbPort.ChosenPort(), "COM5");
  EXPECT_EQ(w_.RunSettings().Ports, std::vector<std::string>{"COM5"});
  EXPECT_TRUE(w_.RunSettings().GiveUpWhenNoPortLeft);

  // A board plugged in later shows up the next time the list opens.
  machine.insert(machine.begin() + 1, Port("COM3", "/dev/ttyACM0"));
  cbPort.showPopup();
  cbPort.hidePopup();
  EXPECT_EQ(Items(cbPort).size(), 4);
  EXPECT_EQ(cbPort.ChosenPort(), "COM5");

  const std::string ini_file = (dir_ / "orvix.ini").string();
  const TIniFile ini(ini_file);
  EXPECT_EQ(ini.ReadString("Port", "Name", "?"), "COM5");
  w_.close();
  window_.reset();

  // The next start, with COM5 unplugged: still the choice, shown as absent.
  auto again = std::make_unique<TfmMain>(dialogs_);
  auto& chooser = Child<TPortChooser>(*again, "cbPort");
  chooser.ListPorts = [] { return std::vector<TPortIdentity>{Port("COM1", "/dev/ttyS0")}; };
  again->FormCreate({});
  again->PlacementStore.SetIniFileName(ini_file);
  again->show();
  EXPECT_EQ(chooser.ChosenPort(), "COM5");
  EXPECT_EQ(chooser.currentText(), "COM5 (отсутствует)");
  chooser.showPopup();
  chooser.hidePopup();
  EXPECT_EQ(Items(chooser), (QStringList{"Все порты", "COM1 — /dev/ttyS0", "COM5 (отсутствует)"}));
  EXPECT_EQ(again->RunSettings().Ports, std::vector<std::string>{"COM5"});
  QTest::keyClick(&chooser, Qt::Key_Home);
  EXPECT_EQ(chooser.ChosenPort(), std::nullopt);
  EXPECT_EQ(TIniFile(ini_file).ReadString("Port", "Name", "?"), "");
  again->close();
  // The placement's own section keeps exactly its keys.
  EXPECT_EQ(TIniFile(ini_file).ReadString("TfmMain", "Name", "-"), "-");
}

}  // namespace
}  // namespace orvix
