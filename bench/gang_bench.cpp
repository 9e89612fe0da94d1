// Gang mode against a single run: one orvix-flash process programming N paced devices at once,
// against one process programming one, timed as a user would time them (whole process, wall
// and CPU), with the CPU each device costs.
//
//   gang_bench [--devices N] [--size BYTES] [--baud B] [--runs R]
//
// Single and gang runs alternate, so that the load of a shared machine falls on both alike.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::bench {
namespace {

struct Options {
  int devices = 32;
  size_t size = 65536;
  int baud = 57600;
  int runs = 3;
};

// One orvix-flash process over `devices` simulators on COM1..COMn; checks every memory.
ProcessResult Flash(const ImageFile& image, const Options& o, int devices) {
  devsim::SimOptions options;
  options.baud = o.baud;
  // Each device is hardware of its own: its timing must not suffer from this machine's load.
  options.realtime = true;
  std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
  std::string map;
  for (int n = 1; n <= devices; ++n) {
    sims.push_back(std::make_unique<devsim::DeviceSimulator>(options));
    map += (map.empty() ? "" : ";") + ("COM" + std::to_string(n)) + "=" + sims.back()->PortPath();
  }
  std::vector<std::string> argv{BuiltProgram("cli/orvix-flash")};
  if (devices > 1) argv.insert(argv.end(), {"--all", "--expect", std::to_string(devices)});
  argv.push_back(image.Path());
  // As a user runs it: progress and result lines and all, to a pipe.
  const ProcessResult run = RunProcess(argv, {"ORVIX_PORTS=" + map}, kNoLimit);
  if (run.exit_code != 0)
    Fail("orvix-flash ended with " + std::to_string(run.exit_code) + ": " + run.err);
  for (int n = 0; n < devices; ++n) {
    const std::vector<uint8_t> memory = sims[n]->Memory();
    if (!std::equal(image.Bytes().begin(), image.Bytes().end(), memory.begin()))
      Fail("the memory of COM" + std::to_string(n + 1) + " differs from the image");
  }
  return run;
}

void Measure(const Options& o) {
  ImageFile image("gang.bin", o.size);
  const std::string pace = o.baud > 0 ? std::to_string(o.baud) + " baud" : "unpaced";
  std::printf("%zu-byte image at %s: one device vs %d at once (--all --expect %d), %d runs each, "
              "whole orvix-flash process\n",
              o.size, pace.c_str(), o.devices, o.devices, o.runs);
  std::vector<double> single_wall, single_cpu, gang_wall, gang_cpu;
  for (int i = 0; i < o.runs; ++i) {
    const ProcessResult single = Flash(image, o, 1);
    const ProcessResult gang = Flash(image, o, o.devices);
    single_wall.push_back(Seconds(single.elapsed));
    single_cpu.push_back(single.cpu_seconds);
    gang_wall.push_back(Seconds(gang.elapsed));
    gang_cpu.push_back(gang.cpu_seconds);
    std::printf("  run %d: single %.3f s (CPU %.3f s), gang %.3f s (CPU %.3f s, peak RSS %ld KiB)\n",
                i + 1, single_wall.back(), single_cpu.back(), gang_wall.back(), gang_cpu.back(),
                gang.max_rss_kib);
  }
  const double wall_ratio = Median(gang_wall) / Median(single_wall);
  const double cpu_ratio = Median(gang_cpu) / Median(single_cpu);
  // Start-up and teardown are paid once a process: a device's share falls as the gang grows.
  const double cpu_per_device_ms = Median(gang_cpu) * 1e3 / o.devices;
  std::printf("medians: wall %.3f s vs %.3f s = %.4f x single; CPU %.3f s vs %.3f s = %.2f x "
              "single, %.1f ms a device in the gang against %.1f ms alone\n",
              Median(gang_wall), Median(single_wall), wall_ratio, Median(gang_cpu),
              Median(single_cpu), cpu_ratio, cpu_per_device_ms, Median(single_cpu) * 1e3);
  std::printf("reproduce: build/bench/gang_bench --devices %d --size %zu --baud %d --runs %d\n",
              o.devices, o.size, o.baud, o.runs);
  Result("gang.devices", o.devices, "%.0f");
  Result("gang.single_s", Median(single_wall), "%.3f");
  Result("gang.gang_s", Median(gang_wall), "%.3f");
  Result("gang.wall_ratio", wall_ratio);
  Result("gang.single_cpu_s", Median(single_cpu), "%.3f");
  Result("gang.gang_cpu_s", Median(gang_cpu), "%.3f");
  Result("gang.cpu_ratio", cpu_ratio, "%.2f");
  Result("gang.cpu_per_device_ms", cpu_per_device_ms, "%.1f");
}

}  // namespace
}  // namespace orvix::bench

int main(int argc, char** argv) {
  using namespace orvix::bench;
  Options o;
  CLI::App line{"orvix-flash programming N paced devices at once against one.", "gang_bench"};
  line.add_option("--devices", o.devices, "devices in the gang run (default 32)")
      ->check(CLI::Range(2, 64));
  line.add_option("--size", o.size, "image bytes (default 65536)")->check(CLI::Range(1, 65536));
  line.add_option("--baud", o.baud, "line rate (default 57600); 0: unpaced")
      ->check(CLI::Range(0, 1 << 30));
  line.add_option("--runs", o.runs, "runs of each (default 3)")->check(CLI::Range(1, 1 << 30));
  ReadCommandLine(line, argc, argv);
  Measure(o);
  return 0;
}
