// The main window keeps its place: the real window with its placement store, on the offscreen
// platform. The store's own rules are tested with a stand-in window under tests/placement; these
// cover what only the real window shows: its section name, the exit button's close path, its
// fixed size and its centring.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/placement/ini_file.h"
#include "runtime/message_loop.h"
#include "tests/placement/placement_test_support.h"
#include "tests/support/recording_dialogs.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using testing::Settle;
using testing::Slurp;
using testing::WorkArea;

std::string Suffix() {
  const QSize size = QGuiApplication::primaryScreen()->size();
  return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height()).toStdString();
}

class MainWindowPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-window-placement-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    ini_ = dir_ / "orvix.ini";
    InstallErrorBox(dialogs_);
  }
  void TearDown() override {
    SetExceptionHandler(nullptr);
    fs::remove_all(dir_);
  }

  // Started as the program starts it, with the placement file in the test's folder instead of
  // beside the test program.
  std::unique_ptr<TfmMain> Open() {
    auto window = std::make_unique<TfmMain>(dialogs_);
    window->FormCreate({});
    window->PlacementStore.SetIniFileName(ini_.string());
    window->show();
    Settle();
    return window;
  }
  void Exit(std::unique_ptr<TfmMain> window) {
    testing::Child<QPushButton>(*window, "BitBtn2").click();
    Settle();
    EXPECT_FALSE(window->isVisible());
    window.reset();
  }

  static QPoint Place(const QWidget& w) {
    return w.frameGeometry().topLeft() - WorkArea().topLeft();
  }
  static bool Centred(const QWidget& w) {
    return (w.frameGeometry().center() - WorkArea().center()).manhattanLength() <= 1;
  }

  // The errors the box showed, as text.
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const QString& error : dialogs_.errors) texts.push_back(error.toStdString());
    return texts;
  }

  fs::path dir_, ini_;
  testing::RecordingDialogs dialogs_;
};

TEST_F(MainWindowPlacement, FirstRunOpensCentredAndExitWritesSectionTfmMainOnce) {
  auto window = Open();
  EXPECT_TRUE(Centred(*window));
  const QRect frame = window->frameGeometry().translated(-WorkArea().topLeft());
  testing::Child<QPushButton>(*window, "BitBtn2").click();
  Settle();
  EXPECT_FALSE(window->isVisible());
  const std::string at_close = Slurp(ini_);
  window.reset();
  EXPECT_EQ(Slurp(ini_), at_close) << "saved again as the window went";

  std::istringstream lines(at_close);
  std::string line;
  std::vector<std::string> keys;
  std::getline(lines, line);
  EXPECT_EQ(line, "[TfmMain]");
  while (std::getline(lines, line)) keys.push_back(line.substr(0, line.find('=')));
  const std::vector<std::string> expected = {"FormVersion",
                                             "Flags",
                                             "ShowCmd",
                                             "PixelsPerInch",
                                             "MinMaxPos" + Suffix(),
                                             "MinMaxPos",
                                             "NormPos" + Suffix(),
                                             "NormPos",
                                             "Visible"};
  EXPECT_EQ(keys, expected);
  const auto saved = [&](const std::string& key) { return FindIniValue(at_close, "TfmMain", key); };
  EXPECT_EQ(saved("FormVersion"), "0");
  EXPECT_EQ(saved("ShowCmd"), "1");
  EXPECT_EQ(saved("Visible"), "0");
  EXPECT_EQ(saved("NormPos"), std::to_string(frame.left()) + "," + std::to_string(frame.top()) +
                                  "," + std::to_string(frame.right() + 1) + "," +
                                  std::to_string(frame.bottom() + 1));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MainWindowPlacement, TheNextWindowOpensWhereTheLastOneWasClosedWithItsDesignedSize) {
  auto window = Open();
  window->move(WorkArea().topLeft() + QPoint(123, 77));
  Settle();
  Exit(std::move(window));

  window = Open();
  EXPECT_EQ(Place(*window), QPoint(123, 77));
  EXPECT_EQ(window->size(), QSize(385, 167));
  Exit(std::move(window));

  // A size in the file does not resize the fixed window.
  std::ofstream(ini_) << "[TfmMain]\nNormPos" << Suffix() << "=40,30,900,700\n";
  window = Open();
  EXPECT_EQ(Place(*window), QPoint(40, 30));
  EXPECT_EQ(window->size(), QSize(385, 167));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(MainWindowPlacement, AFileThatCannotBeWrittenIsShownAtExitAndAgainAsTheWindowGoes) {
  std::ofstream(dir_ / "plain-file") << "not a folder";
  ini_ = dir_ / "plain-file" / "orvix.ini";
  auto window = Open();
  testing::Child<QPushButton>(*window, "BitBtn2").click();
  Settle();
  EXPECT_FALSE(window->isVisible());
  const std::string error = "Unable to write to " + ini_.string();
  EXPECT_EQ(Errors(), std::vector<std::string>{error});
  window.reset();
  EXPECT_EQ(Errors(), (std::vector<std::string>{error, error}));
}

}  // namespace
}  // namespace orvix

namespace orvix {
namespace {

// A saved place partly off the screen comes back wholly on it, frame included, so that its
// buttons and status bar can be reached; one that fits stays exactly where it was.
TEST_F(MainWindowPlacement, APlacePartlyOffTheScreenIsBroughtWhollyOnIt) {
  const QRect area = WorkArea();
  struct Case {
    QPoint stored;  // top-left, relative to the work area
    bool kept;
  } cases[] = {
      {{area.width() - 180, area.height() - 74}, false},  // "1100,950" on 1280x1024
      {{-150, -40}, false},
      {{area.width() - 20, 20}, false},
      {{60, 50}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.stored.x()) + "," + std::to_string(c.stored.y()));
    std::ofstream(ini_) << "[TfmMain]\nNormPos" << Suffix() << "=" << c.stored.x() << ","
                        << c.stored.y() << "," << c.stored.x() + 387 << "," << c.stored.y() + 135
                        << "\n";
    auto window = Open();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(area.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width()
                                      << "x" << frame.height();
    if (c.kept) {
      EXPECT_EQ(Place(*window), c.stored);
    }
    Exit(std::move(window));
  }
  EXPECT_TRUE(Errors().empty());
}

// Started maximised and closed, twice: the normal place the file holds is what it holds after.
TEST_F(MainWindowPlacement, AMaximisedStartAndCloseKeepTheNormalPlace) {
  const std::string place = "150,150,537,320";
  std::ofstream(ini_) << "[TfmMain]\nShowCmd=3\nNormPos" << Suffix() << "=" << place
                      << "\nNormPos=" << place << "\n";
  for (int run = 0; run < 2; ++run) {
    auto window = Open();
    EXPECT_TRUE(window->isMaximized());
    Exit(std::move(window));
    const std::string saved = Slurp(ini_);
    EXPECT_EQ(FindIniValue(saved, "TfmMain", "NormPos" + Suffix()), place) << run;
    EXPECT_EQ(FindIniValue(saved, "TfmMain", "NormPos"), place) << run;
    EXPECT_EQ(FindIniValue(saved, "TfmMain", "ShowCmd"), "3") << run;
  }
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace orvix
