// Whole orvix-flash runs against the simulated device, timed as a user would time them.
//
//   flash_bench wire [--size N] [--baud B] [--runs R]
//       the run time against the wire-time limit of the bytes the device actually exchanged:
//       the whole process, and from the first block on (the device's clock); the quiet start
//   flash_bench turnaround [--size N] [--runs R]
//       unpaced: the time each block costs, from the first block to the checksum at the device;
//       CPU from full-image runs less one-block runs (start-up and teardown cancel out)
//   flash_bench log [--size N] [--baud B] [--runs R]
//       runs with --log against runs without, alternating
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "link/frame.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::bench {
namespace {

constexpr int kPingBytes = 8, kBlockBytes = 135, kChecksumBytes = 9, kReplyBytes = 7;

struct Options {
  size_t size = 65536;
  int baud = 0;
  int runs = 0;
};

struct FlashRun {
  ProcessResult child;
  int pings = 0, blocks = 0, checksums = 0;
  long bytes = 0;  // both ways, every frame the device handled and its reply
  devsim::LineTimes times;
  devsim::RunTimes run_times;  // of the one run, with the first block and the ping answer
};

double SecondsBetween(devsim::RunTimes::TimePoint from, devsim::RunTimes::TimePoint to) {
  return Seconds(to - from);
}

FlashRun Flash(const ImageFile& image, int baud, const std::string& log_file = "") {
  devsim::SimOptions options;
  options.baud = baud;
  // The device is hardware of its own: its timing must not suffer from this machine's load.
  options.realtime = true;
  devsim::DeviceSimulator sim(options);
  // As a user runs it: progress lines and all (to a file, as stderr is not a terminal here).
  std::vector<std::string> argv{BuiltProgram("cli/orvix-flash")};
  if (!log_file.empty()) argv.insert(argv.end(), {"--log", log_file});
  argv.push_back(image.Path());

  FlashRun run;
  run.child = RunProcess(argv, {"ORVIX_PORTS=COM1=" + sim.PortPath()}, kNoLimit);
  if (run.child.exit_code != 0)
    Fail("orvix-flash ended with " + std::to_string(run.child.exit_code) + ": " + run.child.err);
  const std::vector<uint8_t> memory = sim.Memory();
  if (!std::equal(image.Bytes().begin(), image.Bytes().end(), memory.begin()))
    Fail("the device's memory differs from the image");
  run.times = sim.Times();
  const std::vector<devsim::RunResult> runs = sim.Runs();
  if (runs.size() != 1 || !runs[0].times.first_block_start || !runs[0].times.answered)
    Fail("the device saw " + std::to_string(runs.size()) + " runs, not one found by a ping");
  run.run_times = runs[0].times;
  run.pings = sim.FrameCount(cmdPing);
  run.blocks = sim.FrameCount(cmdWriteBlock);
  run.checksums = sim.FrameCount(cmdChecksum);
  run.bytes = static_cast<long>(run.pings) * (kPingBytes + kReplyBytes) +
              static_cast<long>(run.blocks) * (kBlockBytes + kReplyBytes) +
              static_cast<long>(run.checksums) * (kChecksumBytes + kReplyBytes);
  return run;
}

void Wire(const Options& o) {
  const int baud = o.baud > 0 ? o.baud : 57600;
  const int runs = o.runs > 0 ? o.runs : 3;
  ImageFile image("wire.bin", o.size);
  std::printf("full image of %zu bytes at %d baud, %d runs, whole orvix-flash process time\n",
              o.size, baud, runs);
  std::vector<double> ratios, times, turnarounds, lates, rests, block_ratios, block_spans, quiets;
  long max_rss = 0;
  for (int i = 0; i < runs; ++i) {
    const FlashRun run = Flash(image, baud);
    const double whole = Seconds(run.child.elapsed);
    const double limit = static_cast<double>(run.bytes) * 10.0 / baud;
    ratios.push_back(limit / whole);
    times.push_back(whole);
    max_rss = std::max(max_rss, run.child.max_rss_kib);
    std::printf(
        "  run %d: %.3f s measured, limit %.3f s (%ld bytes: %d pings, %d blocks, %d checksum "
        "frames, each with its reply), ratio %.4f, peak RSS %ld KiB\n",
        i + 1, whole, limit, run.bytes, run.pings, run.blocks, run.checksums, ratios.back(),
        run.child.max_rss_kib);
    // From the first block's first byte to the checksum reply's last, on the device's clock:
    // only block and checksum frames cross then.
    const devsim::RunTimes& t = run.run_times;
    const double span = SecondsBetween(*t.first_block_start, t.ended);
    const double block_limit =
        (static_cast<double>(run.blocks) * (kBlockBytes + kReplyBytes) +
         static_cast<double>(run.checksums) * (kChecksumBytes + kReplyBytes)) * 10.0 / baud;
    const double quiet = SecondsBetween(*t.answered, *t.first_block_start);
    block_ratios.push_back(block_limit / span);
    block_spans.push_back(span);
    quiets.push_back(quiet * 1e3);
    // Where the time beyond the line went: the device's replies leaving late (the simulator's
    // own error), the host's turnaround from a block's reply to its next frame, the quiet start
    // (ping answer to first block) and the rest (start-up, discovery, teardown).
    const double late = Seconds(run.times.late), gaps = Seconds(run.times.host_gap);
    const double turnaround_ms = run.times.host_gaps ? gaps * 1e3 / run.times.host_gaps : 0;
    const double rest = whole - limit - late - gaps - quiet;
    std::printf(
        "    from the first block on %.3f s, limit %.3f s, ratio %.4f; quiet start %.1f ms\n"
        "    beyond the line %.3f s: replies late %.3f s, host turnaround %.3f s (%.3f ms a frame "
        "over %d), quiet start %.3f s, the rest %.3f s\n",
        span, block_limit, block_ratios.back(), quiet * 1e3, whole - limit, late, gaps,
        turnaround_ms, run.times.host_gaps, quiet, rest);
    turnarounds.push_back(turnaround_ms);
    lates.push_back(late);
    rests.push_back(rest);
    if (i == 0) {
      Result("wire.limit_s", limit, "%.3f");
      Result("wire.blocks.limit_s", block_limit, "%.3f");
    }
  }
  std::printf("reproduce: build/bench/flash_bench wire --size %zu --baud %d --runs %d\n", o.size,
              baud, runs);
  Result("wire.host_turnaround_ms", Median(turnarounds));
  Result("wire.sim_late_s", Median(lates), "%.3f");
  Result("wire.rest_s", Median(rests), "%.3f");
  Result("wire.measured_s", Median(times), "%.3f");
  Result("wire.ratio", Median(ratios));
  Result("wire.blocks.measured_s", Median(block_spans), "%.3f");
  Result("wire.blocks.ratio", Median(block_ratios));
  Result("wire.quiet_start_ms", Median(quiets), "%.1f");
  Result("memory.flash_peak_rss_kib", static_cast<double>(max_rss), "%.0f");
}

void Turnaround(const Options& o) {
  const int runs = o.runs > 0 ? o.runs : 5;
  ImageFile full("full.bin", o.size), one("one.bin", 128);
  std::vector<double> per_block, full_wall, one_wall, full_cpu, one_cpu;
  int full_frames = 0, one_frames = 0;
  for (int i = 0; i < runs; ++i) {
    const FlashRun a = Flash(full, 0);
    const FlashRun b = Flash(one, 0);
    // The first block's arrival to the checksum's at the device: one reply and the next frame
    // for each block, the start (discovery, the quiet start) and the teardown left out.
    const devsim::RunTimes& t = a.run_times;
    per_block.push_back(SecondsBetween(*t.first_block_end, t.checksum_end) * 1e3 / a.blocks);
    full_wall.push_back(Seconds(a.child.elapsed));
    full_cpu.push_back(a.child.cpu_seconds);
    one_wall.push_back(Seconds(b.child.elapsed));
    one_cpu.push_back(b.child.cpu_seconds);
    full_frames = a.blocks + a.checksums;
    one_frames = b.blocks + b.checksums;
  }
  // CPU has no clock at the device to start from: the one-block run's start-up and teardown
  // cancel out instead.
  const double wall_ms = Median(per_block);
  const double cpu_ms = (Median(full_cpu) - Median(one_cpu)) * 1e3 / (full_frames - one_frames);
  std::printf(
      "unpaced, %d runs each: %zu-byte image %.3f s (CPU %.3f s), 128-byte image %.3f s (CPU "
      "%.3f s)\n  per block from the first block to the checksum at the device: %.4f ms wall "
      "(host, kernel and simulator together); %.4f ms CPU of orvix-flash beyond the one-block "
      "run\n",
      runs, o.size, Median(full_wall), Median(full_cpu), Median(one_wall), Median(one_cpu), wall_ms,
      cpu_ms);
  std::printf("reproduce: build/bench/flash_bench turnaround --size %zu --runs %d\n", o.size, runs);
  Result("turnaround.wall_ms_per_block", wall_ms);
  Result("turnaround.cpu_ms_per_block", cpu_ms);
  Result("turnaround.one_block_run_s", Median(one_wall), "%.3f");
  Result("turnaround.full_run_s", Median(full_wall), "%.3f");
}

void Log(const Options& o) {
  const int runs = o.runs > 0 ? o.runs : 5;
  ImageFile image("log.bin", o.size);
  const std::string log_file = image.Path() + ".frames.txt";
  std::vector<double> with, without;
  for (int i = 0; i < runs; ++i) {
    without.push_back(Seconds(Flash(image, o.baud).child.elapsed));
    with.push_back(Seconds(Flash(image, o.baud, log_file).child.elapsed));
  }
  std::remove(log_file.c_str());
  const double ratio = Median(with) / Median(without);
  const std::string pace = o.baud > 0 ? std::to_string(o.baud) + " baud" : "unpaced";
  std::printf("%s, %d runs each: without --log %.3f s, with --log %.3f s: %+.2f%%\n", pace.c_str(),
              runs, Median(without), Median(with), (ratio - 1) * 100);
  const std::string key = o.baud > 0 ? "log.paced" : "log.unpaced";
  Result(key + ".without_s", Median(without), "%.3f");
  Result(key + ".with_s", Median(with), "%.3f");
  Result(key + ".slower_pct", (ratio - 1) * 100, "%.2f");
}

}  // namespace
}  // namespace orvix::bench

int main(int argc, char** argv) {
  using namespace orvix::bench;
  std::string what;
  Options o;
  CLI::App line{"Whole orvix-flash runs against the simulated device.", "flash_bench"};
  line.add_option("BENCHMARK", what, "wire, turnaround or log")
      ->required()
      ->check(CLI::IsMember({"wire", "turnaround", "log"}));
  line.add_option("--size", o.size, "image bytes (default 65536)")->check(CLI::Range(1, 65536));
  line.add_option("--baud", o.baud, "line rate; 0: unpaced")->check(CLI::Range(0, 1 << 30));
  line.add_option("--runs", o.runs, "runs (default: the benchmark's own)")
      ->check(CLI::Range(1, 1 << 30));
  ReadCommandLine(line, argc, argv);
  if (what == "wire")
    Wire(o);
  else if (what == "turnaround")
    Turnaround(o);
  else
    Log(o);
  return 0;
}
