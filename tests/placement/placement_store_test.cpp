// The placement store on a real window (offscreen platform) and real ini files.
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/placement/form_position.h"
#include "app/placement/ini_file.h"
#include "app/placement/window_placement.h"
#include "runtime/message_loop.h"
#include "tests/placement/placement_test_support.h"
#include "tests/placement/stand_in_window.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using testing::Settle;
using testing::Slurp;
using testing::WorkArea;

const char* const kSavedKeys[] = {"FormVersion", "Flags",   "ShowCmd", "PixelsPerInch", "MinMaxPos",
                                  "MinMaxPos",   "NormPos", "NormPos", "Visible"};

std::string Suffix() {
  const QSize size = QGuiApplication::primaryScreen()->size();
  return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height()).toStdString();
}

int PixelsPerInch() {
  return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
}

class PlacementStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-placement-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    ini_ = dir_ / "orvix.ini";
    SetExceptionHandler([this](std::exception_ptr error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        errors_.push_back(e.what());
      }
    });
  }
  void TearDown() override {
    SetExceptionHandler(nullptr);
    fs::remove_all(dir_);
  }

  void WriteIni(const std::string& text) { std::ofstream(ini_, std::ios::binary) << text; }
  // A file as the program would leave it, with the given lines in its section.
  void WriteSection(const std::string& lines) { WriteIni("[TfmMain]\n" + lines); }

  std::unique_ptr<TfmMain> Open() { return testing::OpenWindow<TfmMain>(ini_); }
  void Close(std::unique_ptr<TfmMain> window) { testing::CloseWindow(std::move(window)); }

  std::optional<std::string> Saved(const std::string& key) {
    return FindIniValue(Slurp(ini_), "TfmMain", key);
  }
  static QPoint Place(const QWidget& w) {
    return w.frameGeometry().topLeft() - WorkArea().topLeft();
  }
  static bool Centred(const QWidget& w) {
    return (w.frameGeometry().center() - WorkArea().center()).manhattanLength() <= 1;
  }

  fs::path dir_;
  fs::path ini_;
  std::vector<std::string> errors_;
};

TEST_F(PlacementStoreTest, FirstRunOpensCentredAndClosingWritesTheNineKeysInOrder) {
  auto window = Open();
  EXPECT_TRUE(Centred(*window));
  EXPECT_EQ(window->size(), QSize(385, 114));
  const QRect frame = window->frameGeometry().translated(-WorkArea().topLeft());
  Close(std::move(window));

  std::istringstream lines(Slurp(ini_));
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "[TfmMain]");
  for (size_t i = 0; i < std::size(kSavedKeys); ++i) {
    ASSERT_TRUE(std::getline(lines, line));
    std::string key = kSavedKeys[i];
    if (i == 4 || i == 6) key += Suffix();
    EXPECT_EQ(line.substr(0, line.find('=')), key);
  }
  EXPECT_FALSE(std::getline(lines, line));
  EXPECT_EQ(Saved("FormVersion"), "0");
  EXPECT_EQ(Saved("ShowCmd"), "1");
  EXPECT_EQ(Saved("PixelsPerInch"), std::to_string(PixelsPerInch()));
  EXPECT_EQ(Saved("Visible"), "0");
  const std::string normal = std::to_string(frame.left()) + "," + std::to_string(frame.top()) +
                             "," + std::to_string(frame.right() + 1) + "," +
                             std::to_string(frame.bottom() + 1);
  EXPECT_EQ(Saved("NormPos"), normal);
  EXPECT_EQ(Saved("NormPos" + Suffix()), normal);
  EXPECT_EQ(Saved("MinMaxPos"), Saved("MinMaxPos" + Suffix()));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(PlacementStoreTest, SecondRunReturnsToTheSavedPlaceWithTheDesignedSize) {
  auto window = Open();
  window->move(WorkArea().topLeft() + QPoint(123, 77));
  Settle();
  Close(std::move(window));

  window = Open();
  EXPECT_EQ(Place(*window), QPoint(123, 77));
  EXPECT_EQ(window->size(), QSize(385, 114));
  EXPECT_FALSE(window->isMinimized());
  Close(std::move(window));

  // A size in the file does not resize a fixed-size window; two numbers are enough.
  WriteSection("NormPos" + Suffix() + "=40,30,900,700\n");
  window = Open();
  EXPECT_EQ(Place(*window), QPoint(40, 30));
  EXPECT_EQ(window->size(), QSize(385, 114));
  window.reset();
  WriteSection("NormPos" + Suffix() + "=120, 80\n");
  window = Open();
  EXPECT_EQ(Place(*window), QPoint(120, 80));
  EXPECT_EQ(window->size(), QSize(385, 114));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(PlacementStoreTest, ThePlaceForThisScreenSizeWinsAndThePlainOneIsTheFallback) {
  WriteSection("NormPos(1x1)=10,10,20,20\nNormPos" + Suffix() + "=200,100,585,214\n" +
               "NormPos=50,60,435,174\n");
  EXPECT_EQ(Place(*Open()), QPoint(200, 100));
  WriteSection("NormPos(9999x9999)=10,10,395,124\nNormPos=50,60,435,174\n");
  EXPECT_EQ(Place(*Open()), QPoint(50, 60));
  // Saved on a larger screen, wholly off this one: brought back into view.
  WriteSection("NormPos=5000,4000,5385,4114\n");
  auto window = Open();
  EXPECT_TRUE(WorkArea().contains(window->frameGeometry()));
}

// Centred is the outer frame, title bar included, also for a frame the window manager adds only
// after the window was placed (here: placed before the window exists).
TEST_F(PlacementStoreTest, CentringCountsAFrameKnownOnlyAfterShowing) {
  QWidget late;
  late.setFixedSize(385, 114);
  CentreOnWorkArea(late);
  late.show();
  Settle();
  ASSERT_TRUE(IsFramed(late));
  EXPECT_TRUE(Centred(late)) << late.frameGeometry().center().x() << ","
                             << late.frameGeometry().center().y();
}

// The store asks for a second placement from inside its show-event filter: each filter must still
// see each event once.
TEST_F(PlacementStoreTest, ASecondPlacementAskedForFromAnEventFilterRunsOnceWhenFramed) {
  QWidget late;
  late.setFixedSize(385, 114);
  struct AsksFromFilter : QObject {
    QWidget* window = nullptr;
    int seen = 0, placed = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() != QEvent::User || ++seen > 3) return false;
      AgainWhenFramed(*window, [this] { ++placed; });
      return false;
    }
  } filter;
  filter.window = &late;
  late.installEventFilter(&filter);
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&late, &event);
  EXPECT_EQ(filter.seen, 1);
  late.show();
  Settle();
  EXPECT_EQ(filter.placed, 1);
}

// A place wholly off screen comes back with the whole outer frame in the work area, also when
// the frame is known only after the place was applied (here: applied before the window exists).
TEST_F(PlacementStoreTest, APlaceOffScreenComesBackWithTheWholeFrameInTheWorkArea) {
  QWidget late;
  late.setFixedSize(385, 114);
  TWindowPlacement placement;
  placement.ShowCmd = swShowNormal;
  const TPlacementPoint far = {5000, 4000};  // beyond any screen here
  placement.NormalPosition = {far.X, far.Y, far.X + 385,
                              far.Y + 114};
  SetWindowPlacement(late, placement);
  late.show();
  Settle();
  ASSERT_TRUE(IsFramed(late));
  EXPECT_TRUE(WorkArea().contains(late.frameGeometry()));
  // Pushed against the edges it came from.
  EXPECT_EQ(late.frameGeometry().bottomRight(), WorkArea().bottomRight());
}

// The maximised position is the frame's border, negated; the minimised one is -1, -1 (none)
// unless the flags of a restored record asked for one, as Windows keeps them.
TEST_F(PlacementStoreTest, MinimisedAndMaximisedPositionsAreThoseWindowsWouldWrite) {
  auto window = Open();
  const int border_x = window->geometry().left() - window->frameGeometry().left();
  const int border_y = window->frameGeometry().bottom() - window->geometry().bottom();
  ASSERT_GT(border_x, 0) << "the offscreen platform draws a frame";
  Close(std::move(window));
  EXPECT_EQ(Saved("MinMaxPos" + Suffix()),
            "-1,-1," + std::to_string(-border_x) + "," + std::to_string(-border_y));
  const std::string none_and_max = *Saved("MinMaxPos");

  // A file without the flag: the stored minimised position is not taken, nor are zeros for it.
  for (const char* lines : {"Flags=0\nMinMaxPos=0,0,0,0\nNormPos=10,20,395,134\n",
                            "NormPos=10,20,395,134\n", "Flags=0\nMinMaxPos=33,44,-9,-9\n"}) {
    WriteSection(lines);
    Close(Open());
    EXPECT_EQ(Saved("MinMaxPos"), none_and_max) << lines;
  }
  WriteSection("Flags=1\nMinMaxPos=33,44,-9,-9\nNormPos=10,20,395,134\n");
  Close(Open());
  EXPECT_EQ(Saved("MinMaxPos"),
            "33,44," + std::to_string(-border_x) + "," + std::to_string(-border_y));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(PlacementStoreTest, AnotherPixelDensityRestoresTheStateButNotThePlace) {
  WriteSection("ShowCmd=3\nPixelsPerInch=" + std::to_string(PixelsPerInch() + 48) + "\nNormPos" +
               Suffix() + "=200,100,585,214\n");
  auto window = Open();
  EXPECT_TRUE(window->isMaximized());
  // The window manager keeps the normal place of a maximised window.
  EXPECT_LE((window->normalGeometry().center() - WorkArea().center()).manhattanLength(), 4);
}

TEST_F(PlacementStoreTest, MinimisedShowCommandsStartTheApplicationMinimised) {
  for (const char* command : {"2", "6", "7"}) {
    WriteSection(std::string("ShowCmd=") + command + "\n");
    EXPECT_TRUE(Open()->isMinimized()) << "ShowCmd " << command;
  }
  for (const char* command : {"0", "1", "9", "12", "x"}) {
    WriteSection(std::string("ShowCmd=") + command + "\n");
    auto window = Open();
    EXPECT_FALSE(window->isMinimized() || window->isMaximized()) << "ShowCmd " << command;
  }
  WriteSection("Flags=0\n");
  auto window = Open();
  EXPECT_FALSE(window->isMinimized() || window->isMaximized());
  // A minimised application saves show command 2.
  window->showMinimized();
  Settle();
  Close(std::move(window));
  EXPECT_EQ(Saved("ShowCmd"), "2");
}

TEST_F(PlacementStoreTest, AnOlderFormVersionRestoresNothingButTheNextSaveHappens) {
  WriteSection("FormVersion=-1\nShowCmd=2\nNormPos" + Suffix() + "=200,100,585,214\n");
  int restores = 0;
  auto window = std::make_unique<TfmMain>(ini_.string());
  window->PlacementStore.OnRestorePlacement = [&] { ++restores; };
  window->show();
  Settle();
  EXPECT_TRUE(Centred(*window));
  EXPECT_FALSE(window->isMinimized());
  EXPECT_EQ(restores, 0);
  Close(std::move(window));
  EXPECT_EQ(Saved("FormVersion"), "0");
  EXPECT_EQ(Saved("ShowCmd"), "1");
  EXPECT_NE(Saved("NormPos" + Suffix()), "200,100,585,214");
}

TEST_F(PlacementStoreTest, OtherSectionsCommentsAndLineEndsAreKeptByteForByte) {
  const std::string others =
      "\xEF\xBB\xBF; Orvix\r\n[Other]\r\nKey = some value ; a note\r\nNormPos=1,1,1,1\r\n\r\n"
      "[TfmMain]\r\n; where the window was\r\nCustom=keep me\r\n";
  const std::string tail = "\r\n[Tail]\r\nLast=1";
  WriteIni(others + "NormPos=10,20,395,134\r\nShowCmd=1\r\n" + tail);
  Close(Open());

  const std::string saved = Slurp(ini_);
  ASSERT_EQ(saved.substr(0, others.size()), others);
  ASSERT_EQ(saved.substr(saved.size() - tail.size()), tail);
  std::istringstream ours(saved.substr(others.size(), saved.size() - others.size() - tail.size()));
  std::string line;
  std::vector<std::string> keys;
  while (std::getline(ours, line)) {
    ASSERT_TRUE(line.ends_with("\r")) << line;
    keys.push_back(line.substr(0, line.find('=')));
  }
  // Keys already in the file keep their places; the others follow in save order.
  const std::vector<std::string> expected = {"NormPos",       "ShowCmd",
                                             "FormVersion",   "Flags",
                                             "PixelsPerInch", "MinMaxPos" + Suffix(),
                                             "MinMaxPos",     "NormPos" + Suffix(),
                                             "Visible"};
  EXPECT_EQ(keys, expected);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(PlacementStoreTest, ClosingSavesOnceAndADestroyWithoutCloseSavesWithVisibleOne) {
  int saves = 0;
  auto window = Open();
  window->PlacementStore.OnSavePlacement = [&] { ++saves; };
  Close(std::move(window));
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(Saved("Visible"), "0");

  window = Open();
  window.reset();
  EXPECT_EQ(Saved("Visible"), "1");

  // A window that refuses to close saves nothing and stays up.
  fs::remove(ini_);
  window = Open();
  window->RefuseClose = true;
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(fs::exists(ini_));
  window->PlacementStore.SetActive(false);
}

TEST_F(PlacementStoreTest, AFileThatCannotBeWrittenIsReportedAtCloseAndAgainAtDestroy) {
  std::ofstream(dir_ / "plain-file") << "not a folder";
  ini_ = dir_ / "plain-file" / "orvix.ini";
  auto window = Open();
  EXPECT_TRUE(errors_.empty());
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  window.reset();
  const std::string error = "Unable to write to " + ini_.string();
  EXPECT_EQ(errors_, (std::vector<std::string>{error, error}));
}

// A user who cannot write to the program's folder: run the window as a program of its own,
// as an unprivileged user when the tests run as root.
TEST_F(PlacementStoreTest, AReadOnlyFolderShowsTheErrorTwiceAndTheProgramEnds) {
  const fs::path bin = dir_ / "bin";
  const fs::path folder = dir_ / "read-only";
  fs::create_directories(bin);
  fs::create_directories(folder);
  fs::copy_file(PLACEMENT_WINDOW_PROGRAM, bin / "orvix");
  fs::permissions(dir_, fs::perms(0755));
  fs::permissions(bin, fs::perms(0755));
  fs::permissions(folder, fs::perms(0555));
  const fs::path ini = folder / "orvix.ini";

  QProcess program;
  program.setProgram(QString::fromStdString((bin / "orvix").string()));
  program.setArguments({QString::fromStdString(ini.string()), "--close"});
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  const fs::path runtime = dir_ / "runtime";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms(0700));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
  program.setProcessEnvironment(env);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(runtime.c_str(), 65534, 65534), 0);
    program.setChildProcessModifier([] {
      if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
    });
  }
  program.start();
  ASSERT_TRUE(program.waitForFinished(60000)) << "the program did not end";
  fs::permissions(folder, fs::perms(0755));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  std::vector<std::string> reported;
  std::istringstream err(program.readAllStandardError().toStdString());
  for (std::string line; std::getline(err, line);)
    if (line.starts_with("Unable to write")) reported.push_back(line);
  const std::string error = "Unable to write to " + ini.string();
  EXPECT_EQ(reported, (std::vector<std::string>{error, error}));
  EXPECT_FALSE(fs::exists(ini));
}

}  // namespace
}  // namespace orvix

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
