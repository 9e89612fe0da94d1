// Resident memory over ten full-image programming runs in one process, against the simulator
// running as a process of its own (so that its memory is not counted here).
//
//   memory_bench [--runs N] [--size BYTES]
//
// Built with the window program's parts, the runs start from the main window's Load button, on
// the Qt message loop, offscreen, with the status going into the main window's status bar; the
// engine stands in for the exchange window with a front end that shows nothing of its own, so
// that the figure is the run's and not the painting's. Without Qt the engine runs on the plain
// loop.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "exchange/exchange.h"
#include "tests/support/recording_front_end.h"

#ifdef ORVIX_BENCH_WINDOW
#include <QCoreApplication>
#include <QFile>

#include "app/application.h"
#include "app/main_window.h"
#include "app/run_texts.h"
#include "app/user_dialogs.h"
#include "runtime/qt/qt_loop.h"
#else
#include "runtime/plain_loop.h"
#endif

namespace orvix::bench {
namespace {

// One run, modal as the exchange window's: a loop of its own until the run ends. `on_end` sees the
// result before the loop is left.
void RunModal(const TExchangeSettings& settings, testing::RecordingFrontEnd& out) {
  const auto on_end = std::move(out.OnEnd);
  out.OnEnd = [&](const TRunResult& result) {
    if (on_end) on_end(result);
    CurrentLoop().Quit();
  };
  TExchange exchange(out, settings);
  TTimer limit;  // a device that stops answering must not hang the benchmark
  limit.SetInterval(60000);
  limit.OnTimer = [&] {
    limit.SetEnabled(false);
    exchange.AbortExchange();
  };
  limit.SetEnabled(true);
  exchange.StartNegotiation();
  if (!out.Ended()) CurrentLoop().Run();
  if (!out.Finished())
    Fail("run failed: outcome " + std::to_string(static_cast<int>(out.Outcome())) + " " +
         EnglishText(out.Result().Cause));
}

#ifdef ORVIX_BENCH_WINDOW
// Load in the main window runs the engine in place of the exchange window, writing the status
// bar as the window would on the way to a finished run.
class EngineInPlaceOfTheWindow final : public TScreenDialogs {
 public:
  int RunExchange(QWidget& /*owner*/, TStatusSink& status, TExchangeSettings settings) override {
    testing::RecordingFrontEnd out;
    out.OnEnd = [&](const TRunResult& result) {
      status.SetStatusPanel(TStatusPanel::spPortName, QString::fromStdString(result.Port));
      if (result.Outcome == TOutcome::ocFinished)
        status.SetStatusPanel(TStatusPanel::spStatusText, Worded(kTextFinished));
    };
    RunModal(settings, out);
    return mrOk;
  }
};
#endif

void Report(const std::vector<long>& rss, const char* what) {
  for (size_t i = 0; i < rss.size(); ++i)
    std::printf("  after run %zu: %ld KiB resident\n", i + 1, rss[i]);
  const long growth = rss.back() - rss[std::min<size_t>(1, rss.size() - 1)];
  std::printf("%s: %ld KiB after run 2, %ld KiB after run %zu: growth %+ld KiB\n", what,
              rss[std::min<size_t>(1, rss.size() - 1)], rss.back(), rss.size(), growth);
  Result("memory.runs_rss_run2_kib", static_cast<double>(rss[std::min<size_t>(1, rss.size() - 1)]),
         "%.0f");
  Result("memory.runs_rss_last_kib", static_cast<double>(rss.back()), "%.0f");
  Result("memory.runs_growth_kib", static_cast<double>(growth), "%.0f");
  Result("memory.runs_driver", what);
}

}  // namespace
}  // namespace orvix::bench

int main(int argc, char** argv) {
  using namespace orvix;
  using namespace orvix::bench;
  int runs = 10;
  size_t size = 65536;
  CLI::App line{"Resident memory over programming runs in one process.", "memory_bench"};
  line.add_option("--runs", runs, "runs (default 10)")->check(CLI::Range(2, 1 << 20));
  line.add_option("--size", size, "image bytes (default 65536)")->check(CLI::Range(1, 65536));
  ReadCommandLine(line, argc, argv);

  ImageFile image("memory.bin", size);
  ChildProcess device({BuiltProgram("tools/devsim/orvix-devsim"), "--serve", "--timeout", "600"});
  const std::string entry = device.ReadLine();
  if (entry.find('=') == std::string::npos) Fail("the simulator did not start");
  setenv("ORVIX_PORTS", entry.c_str(), 1);
  std::vector<long> rss;

#ifdef ORVIX_BENCH_WINDOW
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  TQtMessageLoop loop;
  QString ini;
  {
    EngineInPlaceOfTheWindow dialogs;
    TfmMain window(dialogs);
    window.FormCreate({QString::fromStdString(image.Path())});
    window.show();
    for (int i = 0; i < runs; ++i) {
      window.bbStartClick();
      QCoreApplication::processEvents();
      if (window.StatusPanel(TStatusPanel::spStatusText) != Worded(kTextFinished))
        Fail("run " + std::to_string(i + 1) + " did not finish");
      rss.push_back(ResidentKibOf("self"));
    }
    ini = QCoreApplication::applicationFilePath() + ".ini";
    window.close();
  }
  QFile::remove(ini);  // the placement the window saved beside this benchmark
  const char* what = "window program (main window, Qt loop, offscreen) with the engine";
#else
  TPlainMessageLoop loop;
  TExchangeSettings settings;
  settings.StopAddress = static_cast<uint16_t>(size - 1);
  settings.ImageData = image.Bytes().data();
  settings.ImageSize = static_cast<int>(size);
  for (int i = 0; i < runs; ++i) {
    testing::RecordingFrontEnd out;
    RunModal(settings, out);
    rss.push_back(ResidentKibOf("self"));
  }
  const char* what = "engine on the plain loop";
#endif

  device.Signal(SIGTERM);
  device.Wait(kNoLimit);
  Report(rss, what);
  return 0;
}
