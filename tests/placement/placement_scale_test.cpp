// The placement file under a scale Qt applies (QT_SCALE_FACTOR here, as QT_FONT_DPI=120 or a
// high-density screen gives it): it holds the screen's own density, its size and the window's
// place in device pixels, as the Windows build writes them, so that both read each other's files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/placement/ini_file.h"
#include "runtime/message_loop.h"
#include "tests/placement/placement_test_support.h"
#include "tests/placement/stand_in_window.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using testing::Settle;
using testing::Slurp;
using testing::WorkArea;

constexpr double kScale = 1.25;
// The offscreen platform's screen: 800 by 800 device pixels, whatever the scale. Its 96 pixels per
// inch, scaled by 1.25, are 120: what Windows reports for a screen at 125 %.
const std::string kScreen = "(800x800)";
constexpr int kPixelsPerInch = 120;

int Device(int logical) {
  return qRound(logical * kScale);
}

class ScaledPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), kScale);
    dir_ = fs::temp_directory_path() /
           ("orvix-placement-scaled-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    ini_ = dir_ / "orvix.ini";
    SetExceptionHandler([](std::exception_ptr error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
      }
    });
  }
  void TearDown() override {
    SetExceptionHandler(nullptr);
    fs::remove_all(dir_);
  }

  std::unique_ptr<TfmMain> Open() { return testing::OpenWindow<TfmMain>(ini_); }
  void Close(std::unique_ptr<TfmMain> window) { testing::CloseWindow(std::move(window)); }
  std::optional<std::string> Saved(const std::string& key) {
    return FindIniValue(Slurp(ini_), "TfmMain", key);
  }

  fs::path dir_, ini_;
};

TEST_F(ScaledPlacement, SavesTheScreensDensityItsSizeAndThePlaceInDevicePixels) {
  auto window = Open();
  window->move(WorkArea().topLeft() + QPoint(80, 40));  // 100, 50 in device pixels
  Settle();
  const QRect frame = window->frameGeometry();
  const int border_x = window->geometry().left() - frame.left();
  const int border_y = frame.bottom() - window->geometry().bottom();
  Close(std::move(window));

  EXPECT_EQ(Saved("PixelsPerInch"), std::to_string(kPixelsPerInch));
  const std::string place = "100,50," + std::to_string(100 + Device(frame.width())) + "," +
                            std::to_string(50 + Device(frame.height()));
  EXPECT_EQ(Saved("NormPos" + kScreen), place);
  EXPECT_EQ(Saved("NormPos"), place);
  EXPECT_EQ(Saved("MinMaxPos" + kScreen), "-1,-1," + std::to_string(-Device(border_x)) + "," +
                                              std::to_string(-Device(border_y)));
}

TEST_F(ScaledPlacement, RestoresAPlaceGivenInDevicePixels) {
  std::ofstream(ini_) << "[TfmMain]\nPixelsPerInch=120\nNormPos" << kScreen
                      << "=200,100,685,245\n";
  auto window = Open();
  EXPECT_EQ(window->frameGeometry().topLeft() - WorkArea().topLeft(), QPoint(160, 80));
  EXPECT_EQ(window->size(), QSize(385, 114));
  Close(std::move(window));
  EXPECT_EQ(Saved("NormPos").value_or("").substr(0, 8), "200,100,");
}

// Saved at another density (the same screen unscaled): the place would be wrong.
TEST_F(ScaledPlacement, APlaceSavedAtAnotherDensityIsNotRestored) {
  std::ofstream(ini_) << "[TfmMain]\nPixelsPerInch=96\nNormPos" << kScreen
                      << "=200,100,685,245\n";
  auto window = Open();
  EXPECT_LE((window->frameGeometry().center() - WorkArea().center()).manhattanLength(), 1);
}

}  // namespace
}  // namespace orvix

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_SCALE_FACTOR", "1.25");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
