// The window's texts in each of its languages, read where the user reads them: the forms, the
// status bar after a run, the give-up box, the error box with an image file's error, the file
// dialog (Qt's own catalogue). A text missing from the built-in catalogues, or a catalogue not
// built in, shows here as English where Russian is expected.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/error_box.h"
#include "app/exchange_window.h"
#include "app/main_window.h"
#include "app/translators.h"
#include "runtime/message_loop.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using testing::Child;

struct Texts {
  TLanguage language;
  QString title, start, stop, device, load, exit;
  QString exchange, stop_button, negotiation, no_answer, finished, aborted;
  QString cannot_open, bad_checksum;  // up to the file's name; after it, up to the figures
  QString images_filter, open_button, cancel_button;
};

const Texts kLanguages[] = {
    {TLanguage::lgRussian, "Программатор \"Orvix\"", "Начальный", "Конечный", "№ Устройства",
     "Загрузить", "Выход", "Обмен", "Прервать", "Посылка пакетов согласования",
     "Нет ответа от устройства", "Программирование завершено", "Прграммирование прервано",
     "Не удается открыть файл \"",
     ":1: неверная контрольная сумма: в записи FF, по её байтам выходит FE",
     "Образы (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)", "&Открыть", "Отмена"},
    {TLanguage::lgEnglish, "Programmer \"Orvix\"", "Start", "End", "Device No.", "Load", "Exit",
     "Exchange", "Stop", "Sending handshake packets", "No answer from the device",
     "Programming finished", "Programming stopped", "Cannot open file \"",
     ":1: bad checksum: the record has FF, its bytes give FE",
     "Images (*.bin *.hex *.ihx *.ihex *.s19 *.s28 *.s37 *.srec *.mot *.s)", "&Open", "Cancel"},
};

class Languages : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvix-languages-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    SetExceptionHandler(nullptr);
    InstallTranslators(TLanguage::lgRussian);  // the other window tests read Russian
    fs::remove_all(dir_);
  }

  fs::path dir_;
};

TEST_F(Languages, EveryWindowSpeaksTheChosenLanguage) {
  const testing::ScopedEnv no_ports("ORVIX_PORTS", "");
  const std::string bad_hex = (dir_ / "badcs.hex").string();
  std::ofstream(bad_hex) << ":0100000001FF\n:00000001FF\n";
  for (const Texts& t : kLanguages) {
    SCOPED_TRACE(LanguageCode(t.language));
    InstallTranslators(t.language);
    testing::RecordingDialogs dialogs;
    InstallErrorBox(dialogs);
    TfmMain main(dialogs);
    EXPECT_EQ(main.windowTitle(), t.title);
    EXPECT_EQ(Child<QLabel>(main, "Label1").text(), t.start);
    EXPECT_EQ(Child<QLabel>(main, "Label2").text(), t.stop);
    EXPECT_EQ(Child<QLabel>(main, "Label3").text(), t.device);
    EXPECT_EQ(Child<QPushButton>(main, "bbStart").text(), t.load);
    EXPECT_EQ(Child<QPushButton>(main, "BitBtn2").text(), t.exit);

    // A run found its device and finished; another one gave up; a third was stopped.
    {
      TfrmTrans window(main, main, dialogs, main.RunSettings());
      EXPECT_EQ(window.windowTitle(), t.exchange);
      EXPECT_EQ(Child<QPushButton>(window, "bbStop").text(), t.stop_button);
      window.LookingForDevice({});
      EXPECT_EQ(Child<QLabel>(window, "lbStatus").text(), t.negotiation);
      EXPECT_EQ(main.StatusPanel(TStatusPanel::spStatusText), t.no_answer);
      TRunResult finished;
      finished.Outcome = TOutcome::ocFinished;
      window.RunEnded(finished);
      EXPECT_EQ(main.StatusPanel(TStatusPanel::spStatusText), t.finished);
    }
    for (const TOutcome outcome : {TOutcome::ocNoAnswer, TOutcome::ocStopped}) {
      TfrmTrans window(main, main, dialogs, main.RunSettings());
      TRunResult ended;
      ended.Outcome = outcome;
      window.RunEnded(ended);
    }
    EXPECT_EQ(dialogs.messages, QStringList{t.no_answer});
    EXPECT_EQ(main.StatusPanel(TStatusPanel::spStatusText), t.aborted);

    // Image errors in the error box: the system's cause follows as the system words it.
    auto& file_name = Child<QLineEdit>(main, "beFileName");
    for (const std::string& name : {(dir_ / "missing.bin").string(), bad_hex}) {
      file_name.setText(QString::fromStdString(name));
      RunGuarded([&] { main.LoadImage(); });
    }
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_TRUE(dialogs.errors[0].startsWith(t.cannot_open)) << dialogs.errors[0].toStdString();
    EXPECT_EQ(dialogs.errors[1], QString::fromStdString(bad_hex) + t.bad_checksum);

    // The file dialog: our filters, Qt's buttons.
    const auto dialog = MakeFileDialog(&main, main.OpenDialog);
    EXPECT_EQ(dialog->nameFilters().first(), t.images_filter);
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), t.open_button);
    EXPECT_EQ(dialog->labelText(QFileDialog::Reject), t.cancel_button);
  }
}

}  // namespace
}  // namespace orvix
