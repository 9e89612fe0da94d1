// The soak: many programming runs with random faults, first in this one process (the exchange
// engine on the plain loop, with a front end that records what it is told), then as orvix-flash
// processes. Each run's outcome is checked, and descriptors, threads and resident memory must
// stay flat across the runs. Prints its figures; exits 1 on any broken rule.
//
//   orvix_soak [--runs N] [--processes N] [--seed N] [--fast]
// --fast leaves out the faults that cost a reply time-out (5 s each).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "exchange/exchange.h"
#include "runtime/plain_loop.h"
#include "tests/support/child_process.h"
#include "tests/support/process_counts.h"
#include "tests/support/recording_front_end.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::soak {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using devsim::DeviceSimulator;
using devsim::ParseFrameSelector;
using devsim::SimOptions;
using Bytes = std::vector<uint8_t>;

enum class Outcome { kFinished, kNoReply, kNoDevice };

const char* Name(Outcome o) {
  switch (o) {
    case Outcome::kFinished:
      return "finished";
    case Outcome::kNoReply:
      return "no reply";
    case Outcome::kNoDevice:
      return "no device";
  }
  return "?";
}

// One run's faults and what they must lead to.
struct Scenario {
  std::string description;
  SimOptions device;
  bool echo_port = false;  // a looped-back line beside the device
  Outcome expected = Outcome::kFinished;
  Bytes image;
};

class ScenarioMaker {
 public:
  ScenarioMaker(unsigned seed, bool fast) : random_(seed), fast_(fast) {}

  Scenario Next() {
    Scenario s;
    s.image.resize(Between(1, 8192));
    for (auto& b : s.image) b = static_cast<uint8_t>(random_());
    const int blocks = (static_cast<int>(s.image.size()) + 127) / 128;
    const std::string k = std::to_string(Between(1, blocks));
    SimOptions& d = s.device;
    // Faults that cost a reply time-out are drawn a third as often as the quick ones.
    const int quick = 12, slow = fast_ ? 0 : 6;
    int kind = Between(0, quick * 3 + slow - 1);
    kind = kind < quick * 3 ? kind / 3 : quick + kind - quick * 3;
    switch (kind) {
      case 0:
        s.description = "no fault";
        break;
      case 1:
        s.description = "ping reply dropped";
        d.drop.push_back(ParseFrameSelector("ping:" + std::to_string(Between(1, 3))));
        break;
      case 2:
        s.description = "ping reply corrupt";
        d.corrupt_checksum.push_back(ParseFrameSelector("ping"));
        break;
      case 3:
        s.description = "ping and checksum replies from another device";
        d.other_device.push_back({ParseFrameSelector("ping"), -1});
        d.other_device.push_back({ParseFrameSelector("checksum"), -1});
        break;
      case 4:
        s.description = "blocks acknowledged with command 1 or 3";
        // Command 1 costs a reply time-out: the first block's reply comes within the settle
        // time after the hand-over, where it cannot be told from a ping answer.
        d.reply_command.push_back({ParseFrameSelector("block"), Between(0, 1) && !fast_ ? 1 : 3});
        break;
      case 5:
        d.split_bytes = Between(1, 7);
        d.split_gap_ms = Between(0, 10);
        s.description = "replies in pieces of " + std::to_string(d.split_bytes) + " bytes";
        break;
      case 6:
        s.description = "replies late";
        d.delay.push_back({ParseFrameSelector("any"), Between(0, 300)});
        break;
      case 7:
        s.description = "line paced at 57,600 baud";
        d.baud = 57600;
        s.image.resize(std::min<size_t>(s.image.size(), 4096));
        break;
      case 8:
        s.description = "silent: no device";
        d.silent = true;
        s.expected = Outcome::kNoDevice;
        break;
      case 9:
        s.description = "echoing line beside the device";
        s.echo_port = true;
        break;
      case 10:
        s.description = "device frame time-out short";
        d.frame_timeout_ms = Between(20, 50);
        break;
      case 11:
        s.description = "ping answers late or twice, device busy after each block";
        if (Between(0, 1))
          d.delay.push_back({ParseFrameSelector("ping"), Between(0, 200)});
        else
          d.twice.push_back({ParseFrameSelector("ping"), Between(0, 10)});
        d.busy_after_block_ms = Between(1, 20);
        break;
      case 12:
        s.description = "block reply dropped once";
        d.drop.push_back(ParseFrameSelector("block:" + k));
        break;
      case 13:
        s.description = "block reply dropped twice";
        d.drop.push_back(ParseFrameSelector("block:" + k));
        d.drop.push_back(ParseFrameSelector("block:" + std::to_string(std::stoi(k) + 1)));
        s.expected = Outcome::kNoReply;
        break;
      case 14:
        s.description = "block reply corrupt once";
        d.corrupt_checksum.push_back(ParseFrameSelector("block:" + k));
        break;
      case 15:
        s.description = "garbage instead of a block reply";
        d.garbage.push_back({ParseFrameSelector("block:" + k), Between(1, 300)});
        break;
      case 16:
        s.description = "checksum reply dropped once";
        d.drop.push_back(ParseFrameSelector("checksum:1"));
        break;
      default:
        s.description = "hang-up mid-run";
        d.hang_up_after_blocks = Between(0, blocks - 1);
        s.expected = Outcome::kNoReply;
        break;
    }
    return s;
  }

 private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::mt19937 random_;
  bool fast_;
};

// A sanitizer's shadow memory and quarantine grow with the work done: resident memory says
// nothing about leaks there (LeakSanitizer does), so it is only judged in a plain build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kJudgeResidentMemory = false;
#else
constexpr bool kJudgeResidentMemory = true;
#endif

// What the process holds now.
struct Resources {
  int descriptors = 0;
  int threads = 0;
  long resident_kib = 0;
};

Resources Measure() {
  Resources r;
  r.descriptors = testing::OpenDescriptorsOf("self") - 1;  // less the one reading the folder
  r.threads = testing::ThreadsOf("self");
  r.resident_kib = testing::ResidentKibOf("self");
  return r;
}

// Resident memory is flat when the last quarter of the samples averages no more than `slack`
// above the first quarter (after a warm-up).
bool Flat(const std::vector<long>& samples, long slack, long& growth) {
  const size_t quarter = samples.size() / 4;
  if (quarter == 0) {
    growth = 0;
    return true;
  }
  auto mean = [](auto first, auto last) {
    double sum = 0;
    for (auto it = first; it != last; ++it) sum += static_cast<double>(*it);
    return sum / static_cast<double>(last - first);
  };
  growth = static_cast<long>(mean(samples.end() - quarter, samples.end()) -
                             mean(samples.begin(), samples.begin() + quarter));
  return growth <= slack;
}

using testing::RecordingFrontEnd;

struct Devices {
  std::unique_ptr<DeviceSimulator> device;
  std::unique_ptr<DeviceSimulator> echo;
  std::vector<std::string> ports;
};

Devices StartDevices(const Scenario& s) {
  Devices d;
  d.device = std::make_unique<DeviceSimulator>(s.device);
  d.ports.push_back(d.device->PortPath());
  if (s.echo_port) {
    SimOptions loop;
    loop.echo = true;
    loop.silent = true;
    d.echo = std::make_unique<DeviceSimulator>(loop);
    d.ports.push_back(d.echo->PortPath());
  }
  return d;
}

// Success may be reported only when the device holds the image and its checksum matched.
std::string CheckOutcome(const Scenario& s, Outcome got, const DeviceSimulator& device) {
  if (got == Outcome::kFinished) {
    const std::vector<devsim::RunResult> runs = device.Runs();
    if (runs.empty() || !runs.back().checksum.matched)
      return "success reported without a matching checksum at the device";
    const Bytes memory = device.Memory();
    if (!std::equal(s.image.begin(), s.image.end(), memory.begin()))
      return "success reported but the device's memory differs from the image";
  }
  if (got != s.expected)
    return std::string("ended ") + Name(got) + ", expected " + Name(s.expected);
  return "";
}

class Soak {
 public:
  Soak(int runs, int processes, unsigned seed, bool fast)
      : runs_(runs), processes_(processes), scenarios_(seed, fast) {}

  int Run() {
    EngineRuns();
    FlashProcesses();
    std::printf("soak: %d engine runs and %d orvix-flash processes, %d failures\n", runs_,
                processes_, failures_);
    return failures_ == 0 ? 0 : 1;
  }

 private:
  void Fail(int index, const Scenario& s, const std::string& why) {
    ++failures_;
    std::printf("  FAIL run %d (%s, %zu bytes): %s\n", index, s.description.c_str(), s.image.size(),
                why.c_str());
  }

  Outcome EngineRun(const Scenario& s, const Devices& devices) {
    RecordingFrontEnd front;
    TExchangeSettings settings;
    settings.DeviceNumber = static_cast<uint8_t>(s.image[0]);
    settings.StopAddress = static_cast<uint16_t>(s.image.size() - 1);
    settings.ImageData = s.image.data();
    settings.ImageSize = static_cast<int>(s.image.size());
    settings.Ports = devices.ports;
    settings.WaitMs = 3000;
    TExchange exchange(front, settings);
    exchange.StartNegotiation();
    auto& loop = static_cast<TPlainMessageLoop&>(CurrentLoop());
    if (!loop.RunUntil([&] { return front.Ended(); }, 60s)) return Outcome::kNoReply;
    if (front.Finished()) return Outcome::kFinished;
    return front.Outcome() == TOutcome::ocNoDevice ? Outcome::kNoDevice : Outcome::kNoReply;
  }

  void EngineRuns() {
    if (runs_ == 0) return;
    TPlainMessageLoop loop;
    SetExceptionHandler([](std::exception_ptr) {});  // a hung-up line throws on its resend
    std::vector<long> resident;
    Resources first{};
    const auto started = std::chrono::steady_clock::now();
    for (int i = 1; i <= runs_; ++i) {
      const Scenario s = scenarios_.Next();
      Outcome got;
      std::string why;
      {
        Devices devices = StartDevices(s);
        got = EngineRun(s, devices);
        if (got == Outcome::kFinished) devices.device->WaitRunComplete(2s);
        why = CheckOutcome(s, got, *devices.device);
      }
      if (!why.empty()) Fail(i, s, why);
      const Resources now = Measure();
      if (i == 1) first = now;
      resident.push_back(now.resident_kib);
      if (now.descriptors != first.descriptors || now.threads != first.threads) {
        Fail(i, s,
             "after the run " + std::to_string(now.descriptors) + " descriptors and " +
                 std::to_string(now.threads) + " threads, after the first " +
                 std::to_string(first.descriptors) + " and " + std::to_string(first.threads));
        first = now;  // report each change once
      }
      ++outcomes_[static_cast<int>(got)];
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    long growth = 0;
    const bool flat = Flat(resident, 4096, growth);
    std::printf("engine: %d runs in %.0f s: %d finished, %d no reply, %d no device\n", runs_,
                seconds, outcomes_[0], outcomes_[1], outcomes_[2]);
    std::printf(
        "engine: descriptors %d, threads %d throughout; resident %ld KiB after the "
        "first run, %ld KiB after the last (last quarter %+ld KiB on the first)\n",
        first.descriptors, first.threads, resident.front(), resident.back(), growth);
    if (!flat && runs_ >= 40 && kJudgeResidentMemory) {
      ++failures_;
      std::printf("  FAIL resident memory grew by %ld KiB\n", growth);
    }
  }

  void FlashProcesses() {
    if (processes_ == 0) return;
    const fs::path dir = fs::temp_directory_path() / ("orvix-soak-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<long> peak;
    int counts[3] = {};
    const Resources before = Measure();
    const auto started = std::chrono::steady_clock::now();
    for (int i = 1; i <= processes_; ++i) {
      const Scenario s = scenarios_.Next();
      const fs::path image = dir / "image.bin";
      std::ofstream(image, std::ios::binary)
          .write(reinterpret_cast<const char*>(s.image.data()),
                 static_cast<std::streamsize>(s.image.size()));
      Outcome got = Outcome::kNoReply;
      std::string why;
      long peak_kib = 0;
      {
        Devices devices = StartDevices(s);
        std::string map;
        for (size_t p = 0; p < devices.ports.size(); ++p)
          map += (p ? ";COM" : "COM") + std::to_string(p + 1) + "=" + devices.ports[p];
        const int status = RunFlash(map, image.string(), peak_kib);
        if (status == 0) got = Outcome::kFinished;
        if (status == 3) got = Outcome::kNoDevice;
        if (status != 0 && status != 1 && status != 3)
          why = "orvix-flash ended with status " + std::to_string(status);
        if (got == Outcome::kFinished) devices.device->WaitRunComplete(2s);
        if (why.empty()) why = CheckOutcome(s, got, *devices.device);
      }
      if (!why.empty()) Fail(runs_ + i, s, why);
      peak.push_back(peak_kib);
      ++counts[static_cast<int>(got)];
    }
    const Resources after = Measure();
    fs::remove_all(dir);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    long growth = 0;
    const bool flat = Flat(peak, 2048, growth);
    std::printf("orvix-flash: %d processes in %.0f s: %d finished, %d no reply, %d no device\n",
                processes_, seconds, counts[0], counts[1], counts[2]);
    std::printf(
        "orvix-flash: peak resident %ld..%ld KiB (last quarter %+ld KiB on the first); "
        "this process: descriptors %d -> %d, threads %d -> %d\n",
        *std::min_element(peak.begin(), peak.end()), *std::max_element(peak.begin(), peak.end()),
        growth, before.descriptors, after.descriptors, before.threads, after.threads);
    if ((!flat && processes_ >= 20 && kJudgeResidentMemory) ||
        after.descriptors != before.descriptors || after.threads != before.threads) {
      ++failures_;
      std::printf("  FAIL the flasher runs did not stay flat\n");
    }
  }

  // Runs orvix-flash to its end (60 s at most); returns its exit status, -1 when killed.
  static int RunFlash(const std::string& map, const std::string& image, long& peak_kib) {
    const testing::ProcessResult r = testing::RunProcess(
        {ORVIX_FLASH_PROGRAM, "-q", "-w", "3", image}, {"ORVIX_PORTS=" + map}, 60s);
    peak_kib = r.max_rss_kib;
    return r.exit_code;
  }

  int runs_;
  int processes_;
  ScenarioMaker scenarios_;
  int failures_ = 0;
  int outcomes_[3] = {};
};

}  // namespace
}  // namespace orvix::soak

int main(int argc, char** argv) {
  int runs = 200, processes = 50;
  unsigned seed = 1;
  bool fast = false;
  CLI::App line{"The soak: many programming runs with random faults.", "orvix_soak"};
  line.add_option("--runs", runs, "engine runs in this process (default 200)");
  line.add_option("--processes", processes, "orvix-flash processes (default 50)");
  line.add_option("--seed", seed, "the faults' random seed (default 1)");
  line.add_flag("--fast", fast, "leave out the faults that cost a reply time-out");
  try {
    line.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(line.help().c_str(), stdout);
    return 0;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "orvix_soak: %s\nusage: orvix_soak [--runs N] [--processes N] [--seed N] [--fast]\n", e.what());
    return 64;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a failure shows as it happens, also in a log file
  std::printf("soak: seed %u%s\n", seed, fast ? ", quick faults only" : "");
  return orvix::soak::Soak(std::max(runs, 0), std::max(processes, 0), seed, fast).Run();
}
