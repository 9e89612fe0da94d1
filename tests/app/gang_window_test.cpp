// The gang run's window as a technician meets it: every board on the bench at once, against
// simulated devices on pseudo-terminals. Each test's steps run inside the window's modal loop.
#include "app/gang_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/port_chooser.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/simulated_ports.h"

// Failures show texts, not UTF-16 code units.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace orvix {
namespace {

namespace fs = std::filesystem;
using devsim::DeviceSimulator;
using devsim::SimOptions;
using testing::Child;
using testing::SimulatedPorts;
using Bytes = std::vector<uint8_t>;

const QString kFinished = QStringLiteral("Программирование завершено");
const QString kAborted = QStringLiteral("Прграммирование прервано");
const QString kNoAnswer = QStringLiteral("Нет ответа от устройства");

// One row of the table as the technician reads it.
struct Row {
  QString port, description, result;
  int progress = 0;
  bool marked = false;  // shown as failed
};

std::vector<Row> Rows(TfrmGang& w) {
  QTableWidget& table = Child<QTableWidget>(w, "sgPorts");
  std::vector<Row> rows;
  for (int i = 0; i < table.rowCount(); ++i) {
    Row row{table.item(i, 0)->text(), table.item(i, 1)->text(), table.item(i, 3)->text()};
    row.progress = qobject_cast<QProgressBar*>(table.cellWidget(i, 2))->value();
    row.marked = table.item(i, 3)->background().color() == TfrmGang::FailedColour() &&
                 table.item(i, 0)->font().bold();
    rows.push_back(row);
  }
  return rows;
}

QString FoundLine(TfrmGang& w) {
  return Child<QLabel>(w, "lbFound").text();
}

void Press(TfrmGang& w, const char* button) {
  QPushButton& b = Child<QPushButton>(w, button);
  ASSERT_TRUE(b.isEnabled()) << button;
  b.click();
}

class GangWindow : public ::testing::Test {
 protected:
  using Step = std::function<bool(TfrmGang&)>;

  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-gang-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    InstallErrorBox(dialogs_);
    main_ = std::make_unique<TfmMain>(dialogs_);
    main_->FormCreate({});
    main_->PlacementStore.SetIniFileName((dir_ / "orvix.ini").string());
    main_->show();
    WriteImage(7);
    dialogs_.file_answer = QString::fromStdString((dir_ / "image.bin").string());
    Child<QAction>(*main_, "beFileNameButton").trigger();
  }
  // The image file, as a rebuild leaves it.
  void WriteImage(unsigned seed) {
    image_.resize(0x4000);
    std::mt19937 gen(seed);
    for (auto& byte : image_) byte = static_cast<uint8_t>(gen());
    std::ofstream(dir_ / "image.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(image_.data()),
               static_cast<std::streamsize>(image_.size()));
  }
  void TearDown() override {
    main_.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(dir_);
  }

  // Load with the gang set and `expect` boards; `steps` run in turn inside the gang's window,
  // each every 10 ms until it says it is done, the last one closing the window.
  void LoadGang(int expect, std::vector<Step> steps) {
    Child<QCheckBox>(*main_, "chAllDevices").setChecked(true);
    Child<QSpinBox>(*main_, "seExpect").setValue(expect);
    steps_ = std::move(steps);
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [this] {
      auto* w = qobject_cast<TfrmGang*>(QApplication::activeModalWidget());
      if (!w || steps_.empty()) return;
      if (steps_.front()(*w)) steps_.erase(steps_.begin());
    });
    poll.start();
    QTimer::singleShot(60000, [] {
      ADD_FAILURE() << "the gang's window was still open after 60 s";
      if (auto* w = qobject_cast<TfrmGang*>(QApplication::activeModalWidget())) w->done(99);
    });
    Child<QPushButton>(*main_, "bbStart").click();
    EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps not reached";
  }

  static Step Ended() {
    return [](TfrmGang& w) { return !w.Running(); };
  }

  void ExpectProgrammed(const DeviceSimulator& device, int runs = 1) {
    const Bytes memory = device.Memory();
    EXPECT_TRUE(std::equal(image_.begin(), image_.end(), memory.begin()));
    ASSERT_TRUE(device.LastChecksum());
    EXPECT_TRUE(device.LastChecksum()->matched);
    EXPECT_EQ(device.FrameCount(cmdChecksum), runs);
  }

  QString Panel(int index) const {
    const std::string name = "sbStatusBarPanel" + std::to_string(index);
    return Child<QLabel>(*main_, name.c_str()).text();
  }

  fs::path dir_;
  Bytes image_;
  testing::RecordingDialogs dialogs_;
  std::unique_ptr<TfmMain> main_;
  std::vector<Step> steps_;
};

// Four boards, four expected: each row finished, and "Again" programs the next four with the same
// settings without going back to the main window, from the file as it is by then.
TEST_F(GangWindow, ProgramsEveryBoardAtOnceAndAgainWithTheSameSettings) {
  SimulatedPorts ports;
  std::vector<DeviceSimulator*> boards;
  for (const char* name : {"COM1", "COM2", "COM3", "COM4"}) boards.push_back(&ports.Add(name));
  dialogs_.port_descriptions["COM2"] = "FT232R USB UART, FTDI, A50285BI";
  std::vector<Row> first, second;
  QString first_count;
  LoadGang(4, {Ended(),
               [&](TfrmGang& w) {
                 QCoreApplication::processEvents();  // the descriptions come from the loop
                 first = Rows(w);
                 first_count = FoundLine(w);
                 EXPECT_FALSE(Child<QPushButton>(w, "bbStop").isEnabled());
                 EXPECT_FALSE(Child<QPushButton>(w, "bbDone").isEnabled());
                 WriteImage(8);
                 return Press(w, "bbAgain"), true;
               },
               Ended(),
               [&](TfrmGang& w) {
                 second = Rows(w);
                 return Press(w, "bbClose"), true;
               }});
  EXPECT_EQ(dialogs_.gang_runs, 1);
  EXPECT_EQ(dialogs_.last_result, 1);
  for (const auto* rows : {&first, &second}) {
    ASSERT_EQ(rows->size(), 4u);
    std::set<QString> names;
    for (const Row& row : *rows) {
      names.insert(row.port);
      EXPECT_EQ(row.result, kFinished) << row.port.toStdString();
      EXPECT_EQ(row.progress, 100);
      EXPECT_FALSE(row.marked);
    }
    EXPECT_EQ(names, (std::set<QString>{"COM1", "COM2", "COM3", "COM4"}));
  }
  for (const Row& row : first)
    EXPECT_EQ(row.description, row.port == "COM2" ? "FT232R USB UART, FTDI, A50285BI" : "");
  EXPECT_EQ(first_count, "4 из 4 устройств запрограммированы");
  for (const DeviceSimulator* board : boards) ExpectProgrammed(*board, 2);
  EXPECT_EQ(Panel(2), "4 из 4 устройств запрограммированы");
  EXPECT_EQ(Panel(0), "4");
  EXPECT_TRUE(dialogs_.errors.isEmpty());
}

// A board that falls silent halfway fails its own row only; the count says so.
TEST_F(GangWindow, ABoardThatStopsAnsweringFailsItsRowAlone) {
  SimulatedPorts ports;
  ports.Add("COM1");
  SimOptions dropping;
  dropping.drop = {devsim::ParseFrameSelector("block:3+")};
  DeviceSimulator& failing = ports.Add("COM2", dropping);
  ports.Add("COM3");
  ports.Add("COM4");
  std::vector<Row> rows;
  QString count;
  LoadGang(4, {Ended(), [&](TfrmGang& w) {
                 rows = Rows(w);
                 count = FoundLine(w);
                 return Press(w, "bbClose"), true;
               }});
  ASSERT_EQ(rows.size(), 4u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.port.toStdString());
    EXPECT_EQ(row.result, row.port == "COM2" ? kNoAnswer : kFinished);
    EXPECT_EQ(row.marked, row.port == "COM2");
  }
  EXPECT_EQ(failing.FrameCount(cmdChecksum), 0);
  EXPECT_EQ(count, "3 из 4 устройств запрограммированы");
  EXPECT_EQ(Panel(2), count);
  EXPECT_EQ(dialogs_.last_result, 2);
}

// With one port chosen, the gang is that port's alone: the boards on the others hear nothing.
TEST_F(GangWindow, AChosenPortIsTheGangsOnlyPort) {
  SimulatedPorts ports;
  DeviceSimulator& other = ports.Add("COM1");
  DeviceSimulator& chosen = ports.Add("COM2");
  auto& chooser = Child<TPortChooser>(*main_, "cbPort");
  chooser.showPopup();
  chooser.hidePopup();
  chooser.setCurrentIndex(chooser.findData(QStringLiteral("COM2")));
  ASSERT_EQ(chooser.ChosenPort(), "COM2");
  std::vector<Row> rows;
  LoadGang(2, {Ended(), [&](TfrmGang& w) {
                 rows = Rows(w);
                 return Press(w, "bbClose"), true;
               }});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].port, "COM2");
  ExpectProgrammed(chosen);
  EXPECT_EQ(other.Pings(), 0);
  // No port left to ping ends the looking: one of the two expected.
  EXPECT_EQ(Panel(2), "1 из 2 устройств запрограммированы");
}

// Five expected, four boards and an empty socket: "Done" ends the looking, the four runs finish.
TEST_F(GangWindow, DoneEndsTheLookingAndTheRunsUnderWayFinish) {
  SimulatedPorts ports;
  SimOptions silent;
  silent.silent = true;
  SimOptions paced;
  paced.baud = 57600;  // so that the runs are still under way when "Done" is pressed
  std::vector<DeviceSimulator*> boards;
  for (const char* name : {"COM1", "COM2", "COM3", "COM4"})
    boards.push_back(&ports.Add(name, paced));
  DeviceSimulator& empty = ports.Add("COM5", silent);
  QString while_looking;
  std::vector<Row> rows;
  LoadGang(5, {[&](TfrmGang& w) {
                 if (Rows(w).size() < 4) return false;
                 while_looking = FoundLine(w);
                 EXPECT_TRUE(w.Gang()->DiscoveryOpen());
                 Press(w, "bbDone");
                 EXPECT_FALSE(Child<QPushButton>(w, "bbDone").isEnabled());
                 return true;
               },
               Ended(),
               [&](TfrmGang& w) {
                 rows = Rows(w);
                 return Press(w, "bbClose"), true;
               }});
  EXPECT_EQ(while_looking, "Найдено 4 из 5");
  ASSERT_EQ(rows.size(), 4u);
  for (const Row& row : rows) EXPECT_EQ(row.result, kFinished);
  for (const DeviceSimulator* board : boards) ExpectProgrammed(*board);
  EXPECT_EQ(empty.FrameCount(cmdWriteBlock), 0);
  EXPECT_EQ(Panel(2), "4 из 5 устройств запрограммированы");
  EXPECT_EQ(Panel(0), "4");
}

// "Stop" mid-run stops every board, as a signal stops the flasher's gang: nothing reaches any of
// them afterwards, and every row shows it was not programmed.
TEST_F(GangWindow, StopMidRunSendsNothingMoreToAnyBoard) {
  SimulatedPorts ports;
  SimOptions paced;
  paced.baud = 57600;
  std::vector<DeviceSimulator*> boards;
  for (const char* name : {"COM1", "COM2", "COM3", "COM4"})
    boards.push_back(&ports.Add(name, paced));
  std::vector<Row> rows;
  std::vector<int> blocks;
  LoadGang(4, {[&](TfrmGang& w) {
                 for (const DeviceSimulator* board : boards)
                   if (board->FrameCount(cmdWriteBlock) < 5) return false;
                 Press(w, "bbStop");
                 return true;
               },
               Ended(),
               [&](TfrmGang& w) {
                 rows = Rows(w);
                 // A frame already on the line may still arrive; then the lines stay quiet.
                 QTest::qWait(300);
                 for (const DeviceSimulator* board : boards)
                   blocks.push_back(board->FrameCount(cmdWriteBlock));
                 QTest::qWait(600);
                 return Press(w, "bbClose"), true;
               }});
  ASSERT_EQ(rows.size(), 4u);
  for (const Row& row : rows) {
    EXPECT_EQ(row.result, kAborted);
    EXPECT_TRUE(row.marked);
  }
  ASSERT_EQ(blocks.size(), boards.size());
  for (size_t i = 0; i < boards.size(); ++i) {
    EXPECT_EQ(boards[i]->FrameCount(cmdWriteBlock), blocks[i]);
    EXPECT_EQ(boards[i]->FrameCount(cmdChecksum), 0);
  }
  EXPECT_EQ(Panel(2), "0 из 4 устройств запрограммированы");
}

// The box and the count are the program's own choices, kept in its ini section for the next
// start; with the box clear, Load runs the single run as always.
TEST_F(GangWindow, TheChoiceIsRememberedAndAClearBoxRunsTheSingleRun) {
  QCheckBox& all = Child<QCheckBox>(*main_, "chAllDevices");
  QSpinBox& expect = Child<QSpinBox>(*main_, "seExpect");
  EXPECT_FALSE(all.isChecked());
  EXPECT_FALSE(expect.isEnabled());
  EXPECT_EQ(expect.minimum(), 1);
  EXPECT_EQ(expect.maximum(), 4096);
  dialogs_.run_exchange = [] { return 1; };
  Child<QPushButton>(*main_, "bbStart").click();
  EXPECT_EQ(dialogs_.runs, 1);
  EXPECT_EQ(dialogs_.gang_runs, 0);

  all.click();
  EXPECT_TRUE(expect.isEnabled());
  expect.setValue(8);
  emit expect.editingFinished();
  const std::string ini = (dir_ / "orvix.ini").string();
  main_ = std::make_unique<TfmMain>(dialogs_);
  main_->FormCreate({});
  main_->PlacementStore.SetIniFileName(ini);
  main_->show();
  EXPECT_TRUE(Child<QCheckBox>(*main_, "chAllDevices").isChecked());
  EXPECT_TRUE(Child<QSpinBox>(*main_, "seExpect").isEnabled());
  EXPECT_EQ(Child<QSpinBox>(*main_, "seExpect").value(), 8);
  std::ifstream file(ini);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[Port]"), std::string::npos) << text;
  EXPECT_NE(text.find("AllDevices=1"), std::string::npos) << text;
  EXPECT_NE(text.find("Expect=8"), std::string::npos) << text;
}

}  // namespace
}  // namespace orvix
