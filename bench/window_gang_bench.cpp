// The window's gang run against the flasher's --all, on the same paced simulators: the main
// window's Load with "Все устройства" set and the real gang window (offscreen, painting and all),
// from the click to the count, against one orvix-flash --all --expect N process, start to exit.
//
//   window_gang_bench [--devices N] [--size BYTES] [--baud B] [--runs R]
//
// The two alternate, so that the load of a shared machine falls on both alike.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/gang_window.h"
#include "app/main_window.h"
#include "app/translators.h"
#include "app/user_dialogs.h"
#include "bench/bench_support.h"
#include "runtime/qt/qt_loop.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::bench {
namespace {

struct Options {
  int devices = 8;
  size_t size = 65536;
  int baud = 57600;
  int runs = 3;
};

// The real gang window, with the moment its count reaches the status bar noted and the window
// closed then, as a technician would once the count shows.
class TimedGangWindow final : public TScreenDialogs, public TStatusSink {
 public:
  int RunGang(QWidget& owner, TStatusSink& status, TSettingsSource settings, int expect) override {
    status_ = &status;
    ended_.reset();
    return TScreenDialogs::RunGang(owner, *this, std::move(settings), expect);
  }
  void SetStatusPanel(TStatusPanel panel, const QString& text) override {
    status_->SetStatusPanel(panel, text);
    if (panel != TStatusPanel::spStatusText) return;
    ended_ = Clock::now();
    count_ = text;
    QTimer::singleShot(0, [] {
      if (auto* window = qobject_cast<TfrmGang*>(QApplication::activeModalWidget()))
        window->close();
    });
  }
  std::optional<Clock::time_point> ended_;
  QString count_;

 private:
  TStatusSink* status_ = nullptr;
};

std::string Map(const std::vector<std::unique_ptr<devsim::DeviceSimulator>>& sims) {
  std::string map;
  for (size_t n = 0; n < sims.size(); ++n)
    map += (map.empty() ? "" : ";") + ("COM" + std::to_string(n + 1)) + "=" + sims[n]->PortPath();
  return map;
}

// Every memory holds the image, and each device confirmed one more checksum than before.
void CheckDevices(const std::vector<std::unique_ptr<devsim::DeviceSimulator>>& sims,
                  const ImageFile& image, int runs_so_far, const char* who) {
  for (size_t n = 0; n < sims.size(); ++n) {
    const std::vector<uint8_t> memory = sims[n]->Memory();
    if (!std::equal(image.Bytes().begin(), image.Bytes().end(), memory.begin()) ||
        sims[n]->FrameCount(cmdChecksum) != runs_so_far)
      Fail(std::string(who) + ": COM" + std::to_string(n + 1) + " was not programmed");
  }
}

void Measure(const Options& o, int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  TQtMessageLoop loop;
  InstallTranslators(TLanguage::lgRussian);
  ImageFile image("window-gang.bin", o.size);

  devsim::SimOptions options;
  options.baud = o.baud;
  // Each device is hardware of its own: its timing must not suffer from this machine's load.
  options.realtime = true;
  std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
  for (int n = 0; n < o.devices; ++n)
    sims.push_back(std::make_unique<devsim::DeviceSimulator>(options));
  const std::string map = Map(sims);
  qputenv("ORVIX_PORTS", QByteArray::fromStdString(map));

  const std::string pace = o.baud > 0 ? std::to_string(o.baud) + " baud" : "unpaced";
  std::printf(
      "%zu-byte image at %s, %d devices: the window's gang run (Load to the count) vs "
      "orvix-flash --all --expect %d (whole process), %d runs each\n",
      o.size, pace.c_str(), o.devices, o.devices, o.runs);
  std::vector<double> window_s, flasher_s;
  int programmed = 0;
  {
    TimedGangWindow dialogs;
    TfmMain window(dialogs);
    window.FormCreate({QString::fromStdString(image.Path())});
    window.PlacementStore.SetIniFileName(image.Path() + ".ini");
    window.show();
    window.findChild<QCheckBox*>(QStringLiteral("chAllDevices"))->setChecked(true);
    window.findChild<QSpinBox*>(QStringLiteral("seExpect"))->setValue(o.devices);
    QApplication::processEvents();
    for (int i = 0; i < o.runs; ++i) {
      const auto started = Clock::now();
      window.bbStartClick();
      if (!dialogs.ended_) Fail("the gang window closed without a count");
      window_s.push_back(Seconds(*dialogs.ended_ - started));
      const QString expected = TfrmGang::CountText(o.devices, o.devices);
      if (dialogs.count_ != expected)
        Fail("the window counted \"" + dialogs.count_.toStdString() + "\"");
      CheckDevices(sims, image, ++programmed, "window");

      const ProcessResult flash = RunProcess({BuiltProgram("cli/orvix-flash"), "--all", "--expect",
                                              std::to_string(o.devices), image.Path()},
                                             {"ORVIX_PORTS=" + map}, kNoLimit);
      if (flash.exit_code != 0)
        Fail("orvix-flash ended with " + std::to_string(flash.exit_code) + ": " + flash.err);
      flasher_s.push_back(Seconds(flash.elapsed));
      CheckDevices(sims, image, ++programmed, "orvix-flash");
      std::printf("  run %d: window %.3f s, orvix-flash --all %.3f s\n", i + 1, window_s.back(),
                  flasher_s.back());
    }
    window.close();
  }
  std::remove((image.Path() + ".ini").c_str());
  const double ratio = Median(window_s) / Median(flasher_s);
  std::printf("medians: window %.3f s vs orvix-flash --all %.3f s = %.4f x\n", Median(window_s),
              Median(flasher_s), ratio);
  std::printf(
      "reproduce: build/bench/window_gang_bench --devices %d --size %zu --baud %d --runs %d\n",
      o.devices, o.size, o.baud, o.runs);
  Result("window_gang.devices", o.devices, "%.0f");
  Result("window_gang.window_s", Median(window_s), "%.3f");
  Result("window_gang.flash_s", Median(flasher_s), "%.3f");
  Result("window_gang.ratio", ratio);
}

}  // namespace
}  // namespace orvix::bench

int main(int argc, char** argv) {
  using namespace orvix::bench;
  Options o;
  CLI::App line{"The window's gang run against orvix-flash --all on the same devices.",
                "window_gang_bench"};
  line.add_option("--devices", o.devices, "devices (default 8)")->check(CLI::Range(1, 64));
  line.add_option("--size", o.size, "image bytes (default 65536)")->check(CLI::Range(1, 65536));
  line.add_option("--baud", o.baud, "line rate (default 57600); 0: unpaced")
      ->check(CLI::Range(0, 1 << 30));
  line.add_option("--runs", o.runs, "runs of each (default 3)")->check(CLI::Range(1, 1 << 30));
  ReadCommandLine(line, argc, argv);
  Measure(o, argc, argv);
  return 0;
}
