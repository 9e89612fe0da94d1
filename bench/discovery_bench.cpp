// Discovery over 32 ports, each a simulated line; only the last has a device, or none has.
//
//   discovery_bench [--idle SECONDS]
//
// 1. orvix-flash as a process: from its start to the device receiving the first block, with the
//    device on COM32; and its whole run, teardown of 32 ports included.
// 2. orvix-flash pinging 32 silent ports: the CPU it uses over SECONDS (default 10), sampled
//    from /proc once discovery is under way, and how long it takes to end once it gives up.
// 3. The engine in this process: descriptors and threads before a run and after its teardown,
//    for a run that finds the device and for one stopped with no device.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/recording_front_end.h"
#include "link/frame.h"
#include "runtime/plain_loop.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::bench {
namespace {

constexpr int kPorts = 32;

// kPorts simulated lines named COM1.. in ORVIX_PORTS; with a device on the last one or on none.
class Lines {
 public:
  explicit Lines(bool device_on_last) {
    devsim::SimOptions silent;
    silent.silent = true;
    for (int i = 1; i <= kPorts; ++i) {
      const bool device = device_on_last && i == kPorts;
      sims_.push_back(
          std::make_unique<devsim::DeviceSimulator>(device ? devsim::SimOptions{} : silent));
      if (!map_.empty()) map_ += ';';
      map_ += "COM";
      map_ += std::to_string(i);
      map_ += '=';
      map_ += sims_.back()->PortPath();
    }
  }
  const std::string& Map() const { return map_; }
  devsim::DeviceSimulator& Last() { return *sims_.back(); }
  int Pings() const {
    int pings = 0;
    for (const auto& sim : sims_) pings += sim->Pings();
    return pings;
  }

 private:
  std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims_;
  std::string map_;
};

void FirstBlock() {
  Lines lines(true);
  ImageFile image("discovery.bin", 128);
  ChildProcess flash({BuiltProgram("cli/orvix-flash"), "-q", image.Path()},
              {"ORVIX_PORTS=" + lines.Map()});
  const bool got = lines.Last().WaitUntil(
      [&] { return lines.Last().FrameCount(cmdWriteBlock) >= 1; }, std::chrono::seconds(30));
  const double first_block = Seconds(Clock::now() - flash.Started());
  const ProcessResult f = flash.Wait(kNoLimit);
  if (!got || f.exit_code != 0) Fail("the run with the device on COM32 failed: " + f.err);
  std::printf(
      "device on COM%d of %d (unpaced lines): first block %.1f ms after the start; the whole "
      "run %.3f s\n",
      kPorts, kPorts, first_block * 1e3, Seconds(f.elapsed));
  Result("discovery.first_block_ms", first_block * 1e3, "%.1f");
  Result("discovery.found_run_s", Seconds(f.elapsed), "%.3f");
}

void Idle(int seconds) {
  Lines lines(false);
  ImageFile image("idle.bin", 128);
  // --wait ends the run a second after the sampling window.
  ChildProcess flash(
      {BuiltProgram("cli/orvix-flash"), "-q", "--wait", std::to_string(seconds + 2), image.Path()},
      {"ORVIX_PORTS=" + lines.Map()});
  const std::string pid = std::to_string(flash.Pid());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int pings_before = lines.Pings();
  const double cpu_before = CpuSecondsOf(pid);
  const auto from = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double cpu = CpuSecondsOf(pid) - cpu_before;
  const double span = Seconds(Clock::now() - from);
  const int pings = lines.Pings() - pings_before;
  const int threads = ThreadsOf(pid), fds = OpenDescriptorsOf(pid);
  const auto gave_up = flash.Started() + std::chrono::seconds(seconds + 2);
  const ProcessResult f = flash.Wait(kNoLimit);
  if (f.exit_code != 3) Fail("the run with no device did not give up as asked: " + f.err);
  const double ending = Seconds(Clock::now() - gave_up);
  std::printf(
      "no device on %d ports: %.3f s CPU over %.1f s = %.2f%% of one core (%d pings, %.1f a "
      "second a port; %d threads, %d descriptors open); ended %.3f s after its --wait\n",
      kPorts, cpu, span, cpu / span * 100, pings, pings / span / kPorts, threads, fds, ending);
  Result("discovery.idle_cpu_pct", cpu / span * 100, "%.2f");
  Result("discovery.idle_pings_per_s", pings / span, "%.1f");
  Result("discovery.stop_s", ending, "%.3f");
}

struct Counts {
  int fds, threads;
};
Counts Now() {
  return {OpenDescriptorsOf("self"), ThreadsOf("self")};
}

// One engine run in this process; returns the time its teardown took.
double EngineRun(const std::string& map, const std::vector<uint8_t>& image, bool device) {
  setenv("ORVIX_PORTS", map.c_str(), 1);
  testing::RecordingFrontEnd out;
  TExchangeSettings settings;
  settings.StopAddress = static_cast<uint16_t>(image.size() - 1);
  settings.ImageData = image.data();
  settings.ImageSize = static_cast<int>(image.size());
  auto exchange = std::make_unique<TExchange>(out, settings);
  exchange->StartNegotiation();
  auto& loop = static_cast<TPlainMessageLoop&>(CurrentLoop());
  if (device) {
    if (!loop.RunUntil([&] { return out.Ended(); }, std::chrono::seconds(30)) || !out.Finished())
      Fail("the in-process run did not complete");
  } else {
    loop.RunUntil([] { return false; }, std::chrono::seconds(1));
    exchange->AbortExchange();
  }
  const auto start = Clock::now();
  exchange.reset();
  return Seconds(Clock::now() - start);
}

void InProcess() {
  TPlainMessageLoop loop;
  const std::vector<uint8_t> image(1000, 0x5A);
  for (const bool device : {true, false}) {
    Lines lines(device);
    const Counts before = Now();
    const double teardown = EngineRun(lines.Map(), image, device);
    const Counts after = Now();
    const std::string what = device ? "found" : "stopped";
    std::printf(
        "in process, a run %s on %d ports: descriptors %d before, %d after; threads %d before, "
        "%d after; teardown %.3f s\n",
        device ? "that found the device" : "stopped with no device", kPorts, before.fds, after.fds,
        before.threads, after.threads, teardown);
    Result("discovery." + what + ".fds_before_after",
           std::to_string(before.fds) + "/" + std::to_string(after.fds));
    Result("discovery." + what + ".threads_before_after",
           std::to_string(before.threads) + "/" + std::to_string(after.threads));
    Result("discovery." + what + ".teardown_s", teardown, "%.3f");
  }
}

}  // namespace
}  // namespace orvix::bench

int main(int argc, char** argv) {
  using namespace orvix::bench;
  int idle = 10;
  CLI::App line{"Discovery over 32 simulated ports.", "discovery_bench"};
  line.add_option("--idle", idle, "seconds of sampling with no device (default 10)")
      ->check(CLI::Range(1, 3600));
  ReadCommandLine(line, argc, argv);
  FirstBlock();
  Idle(idle);
  InProcess();
  return 0;
}
