// The exchange window as a user meets it: Load in the main window, against simulated devices on
// pseudo-terminals. Each test's steps run inside the window's modal loop.
#include "app/exchange_window.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/run_texts.h"
#include "exchange/hex_digits.h"
#include "exchange/image_file.h"
#include "runtime/handover.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/scoped_env.h"
#include "tests/support/simulated_ports.h"

// Failures show texts, not UTF-16 code units.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace orvix {
namespace {

namespace fs = std::filesystem;
using devsim::SimOptions;
using testing::SimulatedPorts;
using testing::Child;
using Bytes = std::vector<uint8_t>;

// The program's own texts, letter for letter: these tests run in Russian (app_test_main.cpp).
const QString kNegotiation = QStringLiteral("Посылка пакетов согласования");
const QString kProgramming = QStringLiteral("Программирование");
const QString kNoAnswer = QStringLiteral("Нет ответа от устройства");
const QString kNoChecksumConfirmation = QStringLiteral("Нет подтверждения контрольной суммы");
const QString kFinished = QStringLiteral("Программирование завершено");
const QString kAborted = QStringLiteral("Прграммирование прервано");

Bytes Random(size_t size, unsigned seed = 1) {
  std::mt19937 gen(seed);
  Bytes b(size);
  for (auto& x : b) x = static_cast<uint8_t>(gen());
  return b;
}

// Qt paints with helper threads from its pools, which come and go on their own and are not the
// run's: those of the global pool are ended before counting, the others are left out by name.
void EndQtHelperThreads() {
  QThreadPool::globalInstance()->waitForDone();
}
const char kQtPooledThread[] = "Thread (pooled)";

// What each open descriptor leads to, sorted, so that a leak shows what leaked.
std::vector<std::string> OpenDescriptors() {
  std::vector<std::string> targets;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    targets.push_back(fs::read_symlink(entry.path(), error).string());
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

std::vector<std::string> ThreadNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(entry.path() / "comm"), name);
    if (!name.empty() && name != kQtPooledThread) names.push_back(name);  // empty: gone
  }
  std::sort(names.begin(), names.end());
  return names;
}

// ORVIX_PORTS set to a text of the test's own, put back afterwards.
struct PortsVariable : testing::ScopedEnv {
  explicit PortsVariable(const char* value) : ScopedEnv("ORVIX_PORTS", value) {}
};

// Regular files written from now on stop growing at `bytes`, as on a full disk: a write past it
// fails with EFBIG instead of raising SIGXFSZ. Put back when it goes.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*old_handler_)(int) = SIG_DFL;
};

struct Ending {
  int result;
  QString status;
  int progress;
};

struct Message {
  QString text;
  bool window_open;
  int progress;
  int errors_before;  // error boxes shown before this one
};

// Meets each exchange window as it is shown, before its modal loop runs: records what the bar
// shows and how the window ends, and runs the test's step every 10 ms until the step is done.
class WindowWatch : public QObject {
 public:
  using Step = std::function<bool(TfrmTrans&)>;
  Step step;
  int shown = 0;
  std::vector<int> progress;
  std::vector<QString> status_at_progress;
  std::optional<Ending> ending;

  void Reset() {
    step = nullptr;
    progress.clear();
    status_at_progress.clear();
    ending.reset();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show)
      if (auto* window = qobject_cast<TfrmTrans*>(watched)) Attach(*window);
    return false;
  }

 private:
  void Attach(TfrmTrans& w) {
    ++shown;
    connect(&Child<QProgressBar>(w, "pbProgress"), &QProgressBar::valueChanged, &w,
            [this, &w](int value) {
              progress.push_back(value);
              status_at_progress.push_back(Child<QLabel>(w, "lbStatus").text());
            });
    connect(&w, &QDialog::finished, &w, [this, &w](int result) {
      ending = Ending{result, Child<QLabel>(w, "lbStatus").text(),
                      Child<QProgressBar>(w, "pbProgress").value()};
    });
    auto* poll = new QTimer(&w);
    connect(poll, &QTimer::timeout, &w, [this, &w, poll] {
      if (step && step(w)) {
        step = nullptr;
        poll->stop();
      }
    });
    poll->start(10);
    QTimer::singleShot(60000, &w, [&w] {
      ADD_FAILURE() << "the exchange window was still open after 60 s";
      w.done(99);
    });
  }
};

class ExchangeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-trans-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    InstallErrorBox(dialogs_);
    dialogs_.on_message = [this](QWidget& w, const QString& text) {
      messages_.push_back({text, w.isVisible(), Child<QProgressBar>(w, "pbProgress").value(),
                           static_cast<int>(errors_.size())});
    };
    qApp->installEventFilter(&watch_);
    MakeMain({});
  }
  void TearDown() override {
    qApp->removeEventFilter(&watch_);
    main_.reset();
    SetExceptionHandler(nullptr);
    fs::remove_all(dir_);
  }

  void MakeMain(const QStringList& args) {
    main_.reset();
    main_ = std::make_unique<TfmMain>(dialogs_);
    main_->FormCreate(args);
    main_->PlacementStore.SetIniFileName((dir_ / "orvix.ini").string());
    main_->show();
  }

  void LoadImage(const Bytes& bytes) {
    const fs::path file = dir_ / "image.bin";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    dialogs_.file_answer = QString::fromStdString(file.string());
    Child<QAction>(*main_, "beFileNameButton").trigger();
    ASSERT_EQ(main_->ImageSize(), static_cast<int32_t>(bytes.size()));
  }

  // Presses Load, with `step` running inside the window; returns once the window has gone.
  void Load(WindowWatch::Step step = nullptr) {
    watch_.Reset();
    watch_.step = std::move(step);
    result_.reset();
    Child<QPushButton>(*main_, "bbStart").click();
  }

  static void ExpectMemoryHolds(const devsim::DeviceSimulator& sim, const Bytes& image) {
    const Bytes memory = sim.Memory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    ASSERT_TRUE(sim.LastChecksum());
    EXPECT_TRUE(sim.LastChecksum()->matched);
  }

  // Through the window system, where a modal window blocks the input to the others.
  void ClickLoadAsAUser() {
    const QWidget* button = &Child<QPushButton>(*main_, "bbStart");
    QTest::mouseClick(main_->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(main_.get(), button->rect().center()));
  }

  // A panel of the main window's status bar, by its number there.
  QString Panel(int index) const {
    const std::string name = "sbStatusBarPanel" + std::to_string(index);
    return Child<QLabel>(*main_, name.c_str()).text();
  }

  fs::path dir_;
  testing::RecordingDialogs dialogs_;
  const QStringList& errors_ = dialogs_.errors;
  std::vector<Message> messages_;
  WindowWatch watch_;
  std::unique_ptr<TfmMain> main_;
  std::optional<int>& result_ = dialogs_.last_result;
};

TEST_F(ExchangeWindow, ProgramsTheDeviceFromTheLoadButton) {
  SimulatedPorts ports;
  SimOptions quiet;
  quiet.silent = true;
  SimOptions five;
  five.device = 5;
  ports.Add("COM1", quiet);
  auto& device = ports.Add("COM3", five);
  dialogs_.port_descriptions["COM3"] = "FT232R USB UART, FTDI, A50285BI";
  const Bytes image = Random(1000);
  LoadImage(image);
  Child<QSpinBox>(*main_, "seNumberDevice").setValue(5);
  Load();
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(Panel(0), "COM3");
  // The answering port is described, and only it: the silent one never is.
  QCoreApplication::processEvents();
  EXPECT_EQ(Child<QLabel>(*main_, "sbStatusBarPanel0").toolTip(),
            "FT232R USB UART, FTDI, A50285BI");
  EXPECT_EQ(dialogs_.described, QStringList{"COM3"});
  EXPECT_EQ(Panel(2), kFinished);
  ExpectMemoryHolds(device, image);
  ASSERT_TRUE(watch_.ending);
  EXPECT_EQ(watch_.ending->result, 1);
  EXPECT_EQ(watch_.ending->status, kProgramming);
  ASSERT_FALSE(watch_.progress.empty());
  EXPECT_EQ(watch_.progress.back(), 100);
  EXPECT_TRUE(errors_.isEmpty());
  EXPECT_TRUE(messages_.empty());
}

// objcopy writes the file, so the window is checked against a converter of its own.
TEST_F(ExchangeWindow, ProgramsAnIntelHexFileFromItsStartAddress) {
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const Bytes source = Random(700);
  const fs::path binary = dir_ / "source.bin";
  const fs::path hex = dir_ / "firmware.hex";
  std::ofstream(binary, std::ios::binary)
      .write(reinterpret_cast<const char*>(source.data()),
             static_cast<std::streamsize>(source.size()));
  const std::string command = "objcopy -I binary -O ihex --change-addresses 0x1000 " +
                              binary.string() + " " + hex.string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  dialogs_.file_answer = QString::fromStdString(hex.string());
  Child<QAction>(*main_, "beFileNameButton").trigger();
  ASSERT_EQ(Child<QComboBox>(*main_, "cbStartAddress").currentText(), "1000");
  ASSERT_EQ(Child<QComboBox>(*main_, "cbStopAddress").currentText(), "12BB");

  Load();
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(Panel(2), kFinished);
  // Blocks from 1000 on, the checksum over 1000..12BB, and the memory as the file says.
  const std::map<uint16_t, int> blocks = device.BlockCounts();
  ASSERT_EQ(blocks.size(), 6u);
  EXPECT_EQ(blocks.begin()->first, 0x1000);
  ASSERT_TRUE(device.LastChecksum());
  EXPECT_TRUE(device.LastChecksum()->matched);
  EXPECT_EQ(device.LastChecksum()->covered_end, 0x12BB);
  EXPECT_EQ(device.Written()->lowest, 0x1000);
  const Bytes memory = device.Memory();
  const TImage file = ReadImage(hex.string());
  EXPECT_TRUE(std::equal(file.Data.begin() + 0x1000, file.Data.end(), memory.begin() + 0x1000));
  EXPECT_TRUE(std::equal(source.begin(), source.end(), memory.begin() + 0x1000));
  // The bar counts the 700 bytes from 1000 on, not the addresses below them.
  EXPECT_EQ(watch_.progress, (std::vector<int>{18, 37, 55, 73, 92, 100}));
  EXPECT_TRUE(errors_.isEmpty());
}

// A user with no serial port at all: the window opens over the main window, keeps the main
// window from input, and waits for a device until stopped.
TEST_F(ExchangeWindow, WithNoPortItWaitsInNegotiationUntilStopped) {
  PortsVariable no_ports("");
  LoadImage(Random(10));
  QElapsedTimer open;
  Load([&](TfrmTrans& w) {
    if (!open.isValid()) {
      open.start();
      EXPECT_EQ(w.size(), QSize(384, 98));
      EXPECT_EQ(w.minimumSize(), w.maximumSize());
      EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
      EXPECT_EQ(QApplication::activeModalWidget(), &w);
      EXPECT_LE((w.frameGeometry().center() - main_->frameGeometry().center()).manhattanLength(),
                1);
      EXPECT_EQ(w.Exchange().Settings().ReplyTimeOut, 5000);
      EXPECT_TRUE(w.Exchange().PortList().empty());
      ClickLoadAsAUser();  // blocked: no second window
      EXPECT_EQ(watch_.shown, 1);
    }
    if (open.elapsed() < 1000) return false;
    EXPECT_EQ(Child<QLabel>(w, "lbStatus").text(), kNegotiation);
    EXPECT_EQ(Panel(2), kNoAnswer);
    EXPECT_EQ(w.Exchange().Transfer(), nullptr);  // so no reply timer runs
    Child<QPushButton>(w, "bbStop").click();
    return true;
  });
  EXPECT_EQ(result_, 2);
  EXPECT_EQ(Panel(2), kAborted);
  EXPECT_EQ(Panel(0), "");
  EXPECT_TRUE(watch_.progress.empty());
}

// After every way the window ends the main window is active again, with the focus on the control
// that had it, so the keyboard goes on where the user left it.
TEST_F(ExchangeWindow, TheMainWindowIsActiveAgainWithItsFocusAfterEveryEnding) {
  QSpinBox& number = Child<QSpinBox>(*main_, "seNumberDevice");
  QPushButton& load = Child<QPushButton>(*main_, "bbStart");
  const auto expect_focus_back = [&](QWidget& focused) {
    // Activation goes through the window system: it comes, or not, once events are processed.
    EXPECT_TRUE(QTest::qWaitForWindowActive(main_.get()));
    EXPECT_EQ(QApplication::activeWindow(), main_.get());
    EXPECT_EQ(QApplication::focusWidget(), &focused);
  };
  const auto focus = [&](QWidget& control) {
    main_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
    control.setFocus();
  };
  {
    PortsVariable no_ports("");
    LoadImage(Random(10));
    const std::pair<const char*, WindowWatch::Step> endings[] = {
        {"stop button", [](TfrmTrans& w) { return Child<QPushButton>(w, "bbStop").click(), true; }},
        {"Esc", [](TfrmTrans& w) { return QTest::keyClick(&w, Qt::Key_Escape), true; }},
        {"close box", [](TfrmTrans& w) { return w.close(), true; }},
        // The give-up: its box first, then the window closes, as the run does it.
        {"give-up", [](TfrmTrans& w) {
           TRunResult no_answer;
           no_answer.Outcome = TOutcome::ocNoAnswer;
           w.RunEnded(no_answer);
           return true;
         }}};
    for (const auto& [how, step] : endings) {
      SCOPED_TRACE(how);
      focus(number);
      Load(step);
      ASSERT_EQ(result_, 2);
      expect_focus_back(number);
    }
  }
  SimulatedPorts ports;
  ports.Add("COM1");
  focus(load);
  Load();
  ASSERT_EQ(result_, 1);
  expect_focus_back(load);

  // A run that cannot start shows its error, and no window.
  PortsVariable broken("COM1");
  focus(number);
  Load();
  EXPECT_EQ(watch_.shown, 5);
  expect_focus_back(number);
}

// A box shown for the window (an error while it runs, the give-up) goes with it: Load returns
// with no box left on the screen.
TEST_F(ExchangeWindow, NoBoxOutlivesTheWindow) {
  PortsVariable no_ports("");
  LoadImage(Random(10));
  dialogs_.real_boxes = true;
  const auto open_boxes = [] {
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) open += w->isVisible() && qobject_cast<QMessageBox*>(w);
    return open;
  };
  int step = 0;
  Load([&](TfrmTrans& w) {
    switch (step++) {
      case 0:  // as a frame log that cannot be written raises
        QTimer::singleShot(0, &w, [] { throw std::runtime_error("Unable to write to out.txt"); });
        return false;
      case 1:
        return false;
      default:
        EXPECT_EQ(open_boxes(), 1);
        EXPECT_EQ(qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->parentWidget(), &w);
        Child<QPushButton>(w, "bbStop").click();
        return true;
    }
  });
  EXPECT_EQ(result_, 2);
  EXPECT_EQ(errors_, QStringList{"Unable to write to out.txt"});
  EXPECT_EQ(open_boxes(), 0);
}

TEST_F(ExchangeWindow, StaysOnScreenOverAMainWindowPushedPastTheEdge) {
  PortsVariable no_ports("");
  LoadImage(Random(10));
  const QRect area = main_->screen()->availableGeometry();
  main_->move(area.left() - 300, area.top() + 100);
  QRect placed;
  Load([&](TfrmTrans& w) {
    placed = w.frameGeometry();
    Child<QPushButton>(w, "bbStop").click();
    return true;
  });
  EXPECT_EQ(placed.left(), area.left());
  EXPECT_EQ(placed.center().y(), main_->frameGeometry().center().y());
}

TEST_F(ExchangeWindow, StopButtonAndEscapeStopTheRun) {
  for (bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Esc" : "stop button");
    SimulatedPorts ports;
    SimOptions paced;
    paced.baud = 57600;
    auto& device = ports.Add("COM2", paced);
    LoadImage(Random(65536));
    Load([&](TfrmTrans& w) {
      if (Child<QProgressBar>(w, "pbProgress").value() < 1) return false;
      if (escape)
        QTest::keyClick(w.windowHandle(), Qt::Key_Escape);  // to the focused button first
      else
        Child<QPushButton>(w, "bbStop").click();
      return true;
    });
    EXPECT_EQ(result_, 2);
    EXPECT_EQ(Panel(2), kAborted);
    EXPECT_EQ(Panel(0), "COM2");
    ASSERT_TRUE(watch_.ending);
    EXPECT_EQ(watch_.ending->progress, 0);
    EXPECT_EQ(device.RunsCompleted(), 0);
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ExchangeWindow, TheCloseBoxEndsTheRunWithoutStoppingIt) {
  SimulatedPorts ports;
  SimOptions paced;
  paced.baud = 57600;
  auto& device = ports.Add("COM1", paced);
  LoadImage(Random(65536));
  int progress_at_close = -1;
  Load([&](TfrmTrans& w) {
    if (Child<QProgressBar>(w, "pbProgress").value() < 1) return false;
    progress_at_close = Child<QProgressBar>(w, "pbProgress").value();
    w.close();
    return true;
  });
  EXPECT_EQ(result_, 2);
  EXPECT_EQ(Panel(0), "COM1");
  EXPECT_EQ(Panel(2), kNoAnswer);
  ASSERT_TRUE(watch_.ending);
  EXPECT_EQ(watch_.ending->progress, progress_at_close);  // the stop's reset did not run
  EXPECT_EQ(device.RunsCompleted(), 0);
}

TEST_F(ExchangeWindow, ProgressFollowsTheBlocksAndStaysWithinTheBar) {
  SimulatedPorts ports;
  ports.Add("COM1");
  struct Case {
    size_t size;
    std::vector<int> shown;
  } cases[] = {
      {0x401, {12, 25, 38, 50, 62, 75, 88, 100}},  // 12.5 and 62.5 go to the even neighbour
      {64, {100}},                                 // 203: a full bar
      {1, {}},                                     // nothing to count: the bar stays at 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    LoadImage(Random(c.size));
    Load();
    EXPECT_EQ(result_, 1);
    EXPECT_EQ(watch_.progress, c.shown);
    ASSERT_TRUE(watch_.ending);
    EXPECT_EQ(watch_.ending->progress, c.shown.empty() ? 0 : 100);
  }
  // The first value comes before the hand-over's status, the rest after it.
  LoadImage(Random(0x401));
  Load();
  ASSERT_EQ(watch_.status_at_progress.size(), 8u);
  EXPECT_EQ(watch_.status_at_progress[0], kNegotiation);
  EXPECT_EQ(watch_.status_at_progress[1], kProgramming);
}

TEST_F(ExchangeWindow, AFailureToStartIsShownInTheErrorBoxAndNoWindowOpens) {
  PortsVariable broken("COM1");
  LoadImage(Random(10));
  Load();
  EXPECT_FALSE(result_);
  EXPECT_EQ(watch_.shown, 0);
  ASSERT_EQ(errors_.size(), 1);
  // The serial table's text in the window's language, the detail after it as it is.
  EXPECT_TRUE(errors_[0].startsWith("Ошибка реестра: ORVIX_PORTS entry"))
      << errors_[0].toStdString();
}

TEST_F(ExchangeWindow, TeardownLeavesNoPortOrThreadBehind) {
  SimulatedPorts ports;
  SimOptions quiet;
  quiet.silent = true;
  ports.Add("COM1", quiet);  // still being pinged when each run ends
  auto& device = ports.Add("COM2");
  LoadImage(Random(300));
  Load();  // whatever Qt starts on first use is there before counting
  ASSERT_EQ(result_, 1);
  EndQtHelperThreads();
  std::vector<std::string> fds, threads;
  for (int i = 0; i < 100 && (fds != OpenDescriptors() || threads != ThreadNames()); ++i) {
    fds = OpenDescriptors();  // the same twice in a row: no thread of the first run lingers
    threads = ThreadNames();
    QTest::qWait(20);
  }
  for (int run = 0; run < 10; ++run) {
    Load();
    ASSERT_EQ(result_, 1) << run;
  }
  EndQtHelperThreads();
  // A thread just joined may linger in /proc for a moment; a leaked one stays.
  for (int i = 0; i < 100 && (OpenDescriptors() != fds || ThreadNames() != threads); ++i)
    QTest::qWait(20);
  EXPECT_EQ(OpenDescriptors(), fds);
  EXPECT_EQ(ThreadNames(), threads);
  EXPECT_EQ(device.RunsCompleted(), 11);
}

// The close box leaves the run live until the window goes. Closing the first port runs what
// waits for the main thread, the second port's answer among it: that must start no transfer.
TEST_F(ExchangeWindow, AnAnswerPendingAtTeardownStartsNothing) {
  SimulatedPorts ports;
  SimOptions quiet;
  quiet.silent = true;
  ports.Add("COM1", quiet);
  auto& device = ports.Add("COM2");
  LoadImage(Random(300));
  {
    const uint64_t seen = MainThreadSignalCount();
    // Never shown: nothing handles the answer before it goes.
    TfrmTrans window(*main_, *main_, dialogs_, main_->RunSettings());
    WaitMainThreadSignal(seen, 10000);  // the port's report of the answer waits for this thread
    ASSERT_NE(MainThreadSignalCount(), seen);
    ASSERT_TRUE(window.Exchange().Running());
  }
  EXPECT_EQ(Panel(0), "");
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 0);
  EXPECT_TRUE(errors_.isEmpty());
}

// The device goes away mid-run: one box says the run gave up and why, sooner than a silent device
// would have made it, and no error box is stacked on it.
TEST_F(ExchangeWindow, ALostLineIsToldInOneBoxWithItsCause) {
  SimulatedPorts ports;
  SimOptions o;
  o.hang_up_after_blocks = 3;
  auto& device = ports.Add("COM1", o);
  LoadImage(Random(2048));
  QElapsedTimer run;
  run.start();
  Load();
  const qint64 took = run.elapsed();
  EXPECT_EQ(result_, 2);
  EXPECT_TRUE(device.HungUp());
  ASSERT_EQ(messages_.size(), 1u);
  const QStringList lines = messages_[0].text.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2) << messages_[0].text.toStdString();
  EXPECT_EQ(lines[0], kNoAnswer);
  EXPECT_TRUE(lines[1].contains("COM1")) << lines[1].toStdString();
  EXPECT_FALSE(lines[1].contains("win error code"))
      << lines[1].toStdString();  // Linux says it in words
  EXPECT_TRUE(messages_[0].window_open);
  EXPECT_EQ(messages_[0].progress, 0);
  EXPECT_LT(took, 5000);  // within one reply time-out: the loss ended it, not the silence
  EXPECT_EQ(Panel(2), kNoAnswer);
  EXPECT_TRUE(errors_.isEmpty());
}

// What each ending shows, from the run's report alone: a give-up's box names what went
// unanswered, a failed frame log follows the outcome in one error box, nothing is told twice.
TEST_F(ExchangeWindow, EachEndingShowsItsOutcomeOnceAndThenTheLogError) {
  PortsVariable no_ports("");
  LoadImage(Random(10));
  const QString lost = "COM3: Input/output error";
  const QString unconfirmed = kNoChecksumConfirmation;
  const std::string log_error = "/opt/orvix/out.txt: No space left on device";
  enum LogFailure { kNone, kTold, kInResult, kBoth };  // how the run reports a failed log
  struct Case {
    const char* name;
    TOutcome outcome;
    TExchangePhase phase;
    LogFailure log;
    QString message;  // empty: no box
    QString panel;
  };
  using enum TOutcome;
  using enum TExchangePhase;
  const Case cases[] = {
      {"finished, log failed", ocFinished, epDone, kBoth, "", kFinished},
      {"stopped", ocStopped, epBlockTransfer, kNone, "", kAborted},
      {"no answer, log failed", ocNoAnswer, epBlockTransfer, kTold, kNoAnswer, kNoAnswer},
      {"unconfirmed", ocChecksumUnconfirmed, epChecksumSent, kInResult, unconfirmed, kNoAnswer},
      {"line lost at the checksum", ocLineLost, epChecksumSent, kBoth, unconfirmed + "\n" + lost,
       kNoAnswer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.clear();
    dialogs_.errors.clear();
    Load([&](TfrmTrans& w) {
      w.Progress("COM3", 64, 128);
      if (c.log == kTold || c.log == kBoth)
        w.LogFailed("/opt/orvix/out.txt", "No space left on device");
      TRunResult result;
      result.Outcome = c.outcome;
      result.Phase = c.phase;
      result.Port = "COM3";
      // The system's text, worded by no catalogue of ours.
      if (c.outcome == ocLineLost) result.Cause.Tail = "Input/output error";
      if (c.log == kInResult || c.log == kBoth) result.LogError = log_error;
      w.RunEnded(result);
      return true;
    });
    const bool finished = c.outcome == ocFinished;
    EXPECT_EQ(result_, finished ? 1 : 2);
    ASSERT_EQ(messages_.size(), c.message.isEmpty() ? 0u : 1u);
    if (!c.message.isEmpty()) {
      EXPECT_EQ(messages_[0].text, c.message);
      EXPECT_EQ(messages_[0].errors_before, 0);  // the outcome first
      EXPECT_TRUE(messages_[0].window_open);
    }
    EXPECT_EQ(Panel(2), c.panel);
    ASSERT_TRUE(watch_.ending);
    EXPECT_EQ(watch_.ending->progress, finished ? 50 : 0);
    EXPECT_EQ(errors_,
              c.log == kNone ? QStringList{} : QStringList{QString::fromStdString(log_error)});
  }
  // The close box leaves the run unfinished, but the user still learns that its log is incomplete.
  messages_.clear();
  dialogs_.errors.clear();
  Load([](TfrmTrans& w) {
    w.LogFailed("/opt/orvix/out.txt", "No space left on device");
    w.close();
    return true;
  });
  EXPECT_EQ(result_, 2);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Panel(2), kNoAnswer);
  EXPECT_EQ(errors_, QStringList{QString::fromStdString(log_error)});
}

// Each waits out two reply time-outs of 5 s: separate tests, so that they run side by side.
TEST_F(ExchangeWindow, SlowGivesUpWhenABlockIsUnansweredTwice) {
  SimulatedPorts ports;
  SimOptions o;
  o.drop.push_back(devsim::ParseFrameSelector("block:2+"));
  auto& device = ports.Add("COM1", o);
  LoadImage(Random(1024));
  Load();
  EXPECT_EQ(result_, 2);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kNoAnswer);
  EXPECT_TRUE(messages_[0].window_open);
  EXPECT_EQ(messages_[0].progress, 0);
  EXPECT_EQ(Panel(2), kNoAnswer);
  EXPECT_EQ(device.BlockCount(0x0080), 2);
  EXPECT_EQ(device.BlockCount(0x0100), 0);
  EXPECT_TRUE(QTest::qWaitForWindowActive(main_.get()));
}

TEST_F(ExchangeWindow, SlowGivesUpWhenTheChecksumIsNeverConfirmed) {
  SimulatedPorts ports;
  SimOptions o;
  o.drop.push_back(devsim::ParseFrameSelector("checksum"));
  auto& device = ports.Add("COM1", o);
  LoadImage(Random(200));
  Load();
  EXPECT_EQ(result_, 2);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, kNoChecksumConfirmation);
  EXPECT_TRUE(messages_[0].window_open);
  EXPECT_EQ(Panel(2), kNoAnswer);
  EXPECT_EQ(device.FrameCount(cmdChecksum), 2);
}

// One test for everything that touches out.txt beside the program, so no two runs share it.
TEST_F(ExchangeWindow, SlowFrameLogOnlyWithTheSwitch) {
  const fs::path out = fs::path(QCoreApplication::applicationDirPath().toStdString()) / "out.txt";
  fs::remove(out);
  const Bytes image(3, 0x01);
  {
    SimulatedPorts ports;
    ports.Add("COM1");
    LoadImage(image);
    Load();
    ASSERT_EQ(result_, 1);
    EXPECT_FALSE(fs::exists(out));
    std::ofstream(out, std::ios::binary) << "earlier";
    Load();
    ASSERT_EQ(result_, 1);
    std::ifstream kept(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "earlier");
  }

  SimulatedPorts ports;
  SimOptions o;
  o.corrupt_checksum.push_back(devsim::ParseFrameSelector("block:1"));
  ports.Add("COM1", o);
  MakeMain({"/l"});
  LoadImage(image);
  Child<QSpinBox>(*main_, "seNumberDevice").setValue(5);
  Load();
  ASSERT_EQ(result_, 1);
  ASSERT_TRUE(watch_.ending);
  EXPECT_EQ(watch_.ending->status, QString::fromUtf8(kTextChecksumError));  // it stays
  std::string block = "-> D1 85 05 02 00 00 01 01 01";
  for (int i = 0; i < 125; ++i) block += " FF";
  block += " 8D";
  std::ifstream in(out, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            block + "\r\n<- D1 05 05 02 00 00 F8\r\nError CS!\r\n" + block +
                "\r\n<- D1 05 05 02 00 00 07\r\n-> D1 07 05 03 00 00 03 00 0B\r\n"
                "<- D1 05 05 03 00 00 08\r\n");
  fs::remove(out);

  // A log that can no longer be written (the disk filled up) costs the log, not the programming:
  // the device holds the whole image, and the error is told once, after the run.
  {
    SimulatedPorts fresh;
    auto& device = fresh.Add("COM1");
    const Bytes big = Random(4096, 7);
    LoadImage(big);
    messages_.clear();
    dialogs_.errors.clear();
    {
      const FileSizeLimit full_disk(2000);  // a few frames' lines
      Load();
    }
    EXPECT_EQ(result_, 1);
    EXPECT_EQ(Panel(2), kFinished);
    ExpectMemoryHolds(device, big);
    EXPECT_TRUE(messages_.empty());
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_[0].contains("out.txt")) << errors_[0].toStdString();
    EXPECT_LE(fs::file_size(out), 2000u);
  }
  fs::remove(out);
}

}  // namespace
}  // namespace orvix

namespace orvix {
namespace {

// A run that cannot start says why: the ports that refuse to open are listed as they are met,
// and once none is left one box names them all. With a port left the run goes on.
TEST_F(ExchangeWindow, RefusedPortsAreListedAndARunWithNoPortLeftEndsWithOneBox) {
  struct Case {
    bool with_device;
    int result;
  } cases[] = {{false, 2}, {true, 1}};
  QStringList listed_at_box;
  dialogs_.on_message = [&, record = dialogs_.on_message](QWidget& w, const QString& text) {
    listed_at_box << Child<QPlainTextEdit>(w, "mmRefusedPorts").toPlainText();
    record(w, text);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.with_device);
    SimulatedPorts ports;
    ports.Map("COM5", "/dev/nonexistent");
    devsim::DeviceSimulator* device = c.with_device ? &ports.Add("COM7") : nullptr;
    const Bytes image = Random(4000, 7);  // long enough a run for the list to be seen during it
    LoadImage(image);
    messages_.clear();
    listed_at_box.clear();
    QString listed;
    Load([&](TfrmTrans& w) {
      const auto& list = Child<QPlainTextEdit>(w, "mmRefusedPorts");
      if (!list.isVisible()) return false;
      listed = list.toPlainText();
      EXPECT_EQ(w.height(), 172);
      return true;
    });
    const QString refused =
        QStringLiteral("COM5 (/dev/nonexistent): не удаётся открыть: No such file or directory");
    EXPECT_EQ(result_, c.result);
    if (c.with_device) {
      EXPECT_EQ(listed, refused);
      EXPECT_TRUE(messages_.empty());
      EXPECT_EQ(Panel(0), "COM7");
      EXPECT_EQ(Panel(2), kFinished);
      ExpectMemoryHolds(*device, image);
    } else {
      EXPECT_EQ(listed_at_box, QStringList{refused});
      ASSERT_EQ(messages_.size(), 1u);
      EXPECT_EQ(messages_[0].text, kNoAnswer + "\n" + refused);
      EXPECT_TRUE(messages_[0].window_open);
      EXPECT_EQ(Panel(2), kNoAnswer);
    }
    EXPECT_TRUE(errors_.isEmpty());
  }
}

// The chosen port alone is pinged, though a device answers on another; a file rewritten after
// it was loaded is what the device gets; panel 1 shows the run's figures until the next run.
TEST_F(ExchangeWindow, TheChosenPortGetsTheFileAsItIsNowAndPanel1TheFigures) {
  SimulatedPorts ports;
  auto& other = ports.Add("COM1");
  auto& chosen = ports.Add("COM4");
  LoadImage(Random(200, 1));
  const Bytes rebuilt = Random(0x300, 2);
  std::ofstream(dir_ / "image.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(rebuilt.data()),
             static_cast<std::streamsize>(rebuilt.size()));
  auto& chooser = Child<TPortChooser>(*main_, "cbPort");
  chooser.showPopup();
  chooser.hidePopup();
  chooser.setCurrentIndex(chooser.findData(QStringLiteral("COM4")));
  ASSERT_EQ(chooser.ChosenPort(), "COM4");

  Load([&](TfrmTrans& w) {
    EXPECT_EQ(w.Exchange().PortList().size(), 1u);
    EXPECT_EQ(w.Exchange().PortList().front().first, "COM4");
    return true;
  });
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(Panel(0), "COM4");
  ExpectMemoryHolds(chosen, rebuilt);
  EXPECT_FALSE(other.LastChecksum());
  EXPECT_EQ(Child<QComboBox>(*main_, "cbStopAddress").currentText(), "02FF");
  const QRegularExpression figures(QStringLiteral("^768 байт, \\d+,\\d с, [0-9A-F]{4}$"));
  EXPECT_TRUE(figures.match(Panel(1)).hasMatch()) << Panel(1).toStdString();
  uint16_t sum = 0;
  for (uint8_t b : rebuilt) sum = static_cast<uint16_t>(sum + b);
  EXPECT_TRUE(Panel(1).endsWith(QString::fromStdString(HexText(sum, 4))));

  // Cleared as the next run starts.
  QString panel1_during_run = QStringLiteral("?");
  Load([&](TfrmTrans& w) {
    panel1_during_run = Panel(1);
    Child<QPushButton>(w, "bbStop").click();
    return true;
  });
  EXPECT_EQ(panel1_during_run, "");
}

// A rebuild that lands while a run is writing does not touch the bytes under way: the run writes
// what it started with, and the new file is read once it has ended.
TEST_F(ExchangeWindow, AFileChangedDuringARunIsReadAfterIt) {
  SimulatedPorts ports;
  SimOptions slow;
  slow.delay.push_back({{2, 2, false}, 1500});  // the second block's reply, late
  auto& device = ports.Add("COM2", slow);
  const Bytes image = Random(600, 3);
  LoadImage(image);
  const Bytes rebuilt = Random(900, 4);
  bool written = false;
  Load([&](TfrmTrans&) {
    if (!written) {
      written = true;
      std::ofstream(dir_ / "image.bin", std::ios::binary)
          .write(reinterpret_cast<const char*>(rebuilt.data()),
                 static_cast<std::streamsize>(rebuilt.size()));
    }
    return false;  // the run ends by itself
  });
  EXPECT_EQ(result_, 1);
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(main_->ImageSize(), 600);  // not yet: the change is taken up after the run
  ASSERT_TRUE(QTest::qWaitFor([&] { return main_->ImageSize() == 900; }, 5000));
  EXPECT_EQ(Panel(2), QStringLiteral("Файл изменён, образ перечитан"));
  EXPECT_TRUE(errors_.isEmpty());
}

}  // namespace
}  // namespace orvix
