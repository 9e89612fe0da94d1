// Gang mode (--all) and the JSON run output (--json), as a production line runs the flasher:
// several simulated devices on pseudo-terminals, each programmed by its own run in one process.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "link/frame.h"
#include "tests/support/child_process.h"
#include "tests/support/simulated_ports.h"
#include "tests/support/temp_folder.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using devsim::DeviceSimulator;
using devsim::SimOptions;
using Json = nlohmann::ordered_json;  // keeps the keys in the order written: "event" comes first
using testing::ChildProcess;
using testing::ProcessResult;
using testing::SimulatedPorts;
using Bytes = std::vector<uint8_t>;

const std::string kProgramming = "Программирование";
const std::string kFinished = "Программирование завершено";
const std::string kNoAnswer = "Нет ответа от устройства";
const std::string kUnconfirmed = "Нет подтверждения контрольной суммы";
const std::string kStopped = "Прграммирование прервано";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string LastLine(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  return lines.empty() ? "" : lines.back();
}

// Frames of every kind the device has handled.
int Frames(const DeviceSimulator& sim) {
  return sim.FrameCount(cmdPing) + sim.FrameCount(cmdWriteBlock) + sim.FrameCount(cmdChecksum);
}

void ExpectProgrammed(const DeviceSimulator& sim, const Bytes& image, const std::string& port) {
  SCOPED_TRACE(port);
  const Bytes memory = sim.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  ASSERT_TRUE(sim.LastChecksum());
  EXPECT_TRUE(sim.LastChecksum()->matched);
  EXPECT_EQ(sim.RunsCompleted(), 1);
}

// What sha256sum makes of the file: the digest the start line must carry.
std::string Sha256sum(const std::string& path) {
  const ProcessResult r = testing::RunProcess({"/usr/bin/sha256sum", path});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  return r.out.substr(0, r.out.find(' '));
}

// The 16-bit sum the run sends for a range that starts at 0.
int RangeSum(const Bytes& bytes) {
  int sum = 0;
  for (uint8_t b : bytes) sum = (sum + b) & 0xFFFF;
  return sum;
}

// ---- Reading the JSON lines.

// The line's "time" is written as whole seconds with at most three decimals.
bool TimeInMilliseconds(const std::string& line) {
  size_t at = line.find("\"time\":");
  if (at == std::string::npos) return false;
  at = line.find_first_not_of(' ', at + 7);
  const size_t whole = line.find_first_not_of("0123456789", at);
  if (whole == at || whole == std::string::npos) return false;
  size_t end = whole;
  if (line[whole] == '.') {
    end = line.find_first_not_of("0123456789", whole + 1);
    if (end == std::string::npos || end == whole + 1 || end - whole - 1 > 3) return false;
  }
  end = line.find_first_not_of(' ', end);
  return end != std::string::npos && (line[end] == ',' || line[end] == '}');
}

// Every stdout line of a run, parsed; checks what holds for every line of every run: one object
// a line, "event" first, "time" in seconds with at most millisecond digits and never going back,
// "start" first and "summary" last, each once, and the summary's exit status the process's own.
std::vector<Json> Events(const ProcessResult& r) {
  std::vector<Json> events;
  EXPECT_TRUE(r.out.empty() || r.out.back() == '\n') << "the last line is cut short";
  double last_time = 0;
  for (const std::string& line : Lines(r.out)) {
    Json event;
    try {
      event = Json::parse(line);
    } catch (const Json::exception& error) {
      ADD_FAILURE() << "not JSON: " << line << " (" << error.what() << ")";
      continue;
    }
    if (!event.is_object() || event.empty() || event.begin().key() != "event" ||
        !event["event"].is_string()) {
      ADD_FAILURE() << "not an object that starts with \"event\": " << line;
      continue;
    }
    EXPECT_TRUE(event.contains("time") && event["time"].is_number()) << line;
    EXPECT_TRUE(TimeInMilliseconds(line)) << line;
    const double time = event.value("time", 0.0);
    EXPECT_GE(time, last_time) << line;
    last_time = time;
    events.push_back(std::move(event));
  }
  if (events.empty()) {
    ADD_FAILURE() << "no JSON lines; stderr:\n" << r.err;
    return events;
  }
  EXPECT_EQ(events.front()["event"], "start") << events.front();
  EXPECT_EQ(events.back()["event"], "summary") << events.back();
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const Json& e) { return e["event"] == "start"; }),
            1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const Json& e) { return e["event"] == "summary"; }),
            1);
  EXPECT_EQ(events.back().value("exit_status", -1), r.exit_code) << events.back();
  return events;
}

// The events of each port, in order: port ... found ... progress (rising) ... result, with
// resends and damaged replies only between found and result; or a port given up by discovery
// after it opened, with its second port line. Checks the order and returns them.
std::map<std::string, std::vector<Json>> ByPort(const std::vector<Json>& events) {
  std::map<std::string, std::vector<Json>> ports;
  for (const Json& event : events) {
    const std::string kind = event["event"];
    if (kind == "start" || kind == "summary") continue;
    if (!event.contains("port") || !event["port"].is_string()) {
      ADD_FAILURE() << "no port: " << event;
      continue;
    }
    ports[event["port"]].push_back(event);
  }
  for (const auto& [port, list] : ports) {
    SCOPED_TRACE(port);
    EXPECT_EQ(list.front()["event"], "port") << list.front();
    if (list.size() > 1 && list[1]["event"] == "port") {
      // Opened, then given up by discovery: nothing more of that port.
      EXPECT_EQ(list[0]["state"], "opened") << list[0];
      EXPECT_EQ(list[1]["state"], "failed") << list[1];
      EXPECT_EQ(list.size(), 2u) << list.back();
      continue;
    }
    if (list.size() > 1) {
      EXPECT_EQ(list[1]["event"], "found") << list[1];
    }
    int percent = -1;
    for (size_t i = 2; i < list.size(); ++i) {
      const std::string kind = list[i]["event"];
      if (kind == "result") {
        EXPECT_EQ(i, list.size() - 1) << "events after the result: " << list.back();
      } else if (kind == "progress") {
        EXPECT_TRUE(list[i]["percent"].is_number_integer()) << list[i];
        const int now = list[i].value("percent", -1);
        EXPECT_GT(now, percent) << list[i];
        EXPECT_LE(now, 100) << list[i];
        percent = now;
      } else {
        EXPECT_TRUE(kind == "resend" || kind == "bad_reply") << list[i];
      }
    }
  }
  return ports;
}

// The port's result, or null when it has none.
Json ResultOf(const std::vector<Json>& list) {
  return !list.empty() && list.back()["event"] == "result" ? list.back() : Json();
}

// The summary counts what the results say.
void ExpectSummaryAddsUp(const std::vector<Json>& events,
                         const std::map<std::string, std::vector<Json>>& ports) {
  int found = 0, finished = 0, failed = 0, stopped = 0;
  for (const auto& [port, list] : ports) {
    if (list.size() > 1 && list[1]["event"] == "found") ++found;
    const Json result = ResultOf(list);
    if (result.is_null()) continue;
    const std::string status = result["status"];
    finished += status == "finished";
    failed += status == "no_answer" || status == "checksum_unconfirmed" || status == "line_lost";
    stopped += status == "stopped";
  }
  const Json& summary = events.back();
  EXPECT_EQ(summary.value("devices", -1), found) << summary;
  EXPECT_EQ(summary.value("finished", -1), finished) << summary;
  EXPECT_EQ(summary.value("failed", -1), failed) << summary;
  EXPECT_EQ(summary.value("stopped", -1), stopped) << summary;
}

// A result line and what its device saw.
void ExpectResult(const std::vector<Json>& list, const std::string& status,
                  const std::string& text, const DeviceSimulator& sim, int image_bytes) {
  const Json result = ResultOf(list);
  ASSERT_FALSE(result.is_null()) << "no result";
  EXPECT_EQ(result["status"], status) << result;
  EXPECT_EQ(result["text"], text) << result;
  EXPECT_EQ(result["blocks"], sim.FrameCount(cmdWriteBlock)) << result;
  EXPECT_EQ(result["bytes"], image_bytes) << result;
  ASSERT_TRUE(result["seconds"].is_number()) << result;
  EXPECT_GE(result["seconds"].get<double>(), 0) << result;
  EXPECT_LE(result["seconds"].get<double>(), result["time"].get<double>()) << result;
  if (status == "finished") {
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[list.size() - 2]["event"], "progress");
    EXPECT_EQ(list[list.size() - 2]["percent"], 100);
  }
}

std::vector<Json> Select(const std::vector<Json>& list, const std::string& kind) {
  std::vector<Json> chosen;
  for (const Json& event : list)
    if (event["event"] == kind) chosen.push_back(event);
  return chosen;
}

// ---- The fixture.

class GangTest : public ::testing::Test {
 protected:
  // A file of `size` pseudo-random bytes; the bytes stay in image_.
  std::string Image(size_t size, unsigned seed = 1) {
    std::mt19937 random(seed);
    image_.resize(size);
    for (auto& byte : image_) byte = static_cast<uint8_t>(random());
    const fs::path path = dir_ / "image.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image_.data()),
               static_cast<std::streamsize>(image_.size()));
    return path.string();
  }
  // COM1 to COMn, each a device of its own; `options` by number, the rest plain.
  std::vector<DeviceSimulator*> Devices(int count, std::map<int, SimOptions> options = {}) {
    std::vector<DeviceSimulator*> devices;
    for (int n = 1; n <= count; ++n)
      devices.push_back(&ports_.Add("COM" + std::to_string(n), options[n]));
    return devices;
  }
  static std::unique_ptr<ChildProcess> Start(std::vector<std::string> args) {
    args.insert(args.begin(), testing::BuiltProgram("cli/orvix-flash"));
    return std::make_unique<ChildProcess>(std::move(args));
  }
  static ProcessResult Run(std::vector<std::string> args) { return Start(std::move(args))->Wait(60s); }

  testing::TempFolder dir_{"orvix-gang"};
  Bytes image_;
  SimulatedPorts ports_;
};

// ---- Gang mode.

TEST_F(GangTest, FourDevicesAreAllProgrammed) {
  const std::vector<DeviceSimulator*> devices = Devices(4);
  const ProcessResult r = Run({"--all", "--expect", "4", Image(4096)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  for (int n = 1; n <= 4; ++n) {
    const std::string port = "COM" + std::to_string(n);
    ExpectProgrammed(*devices[n - 1], image_, port);
    EXPECT_EQ(Count(r.err, port + ": " + kProgramming + "\n"), 1u) << r.err;
    EXPECT_EQ(Count(r.err, port + ": " + kFinished + " ("), 1u) << r.err;
    // Each device's run starts before it ends.
    EXPECT_LT(r.err.find(port + ": " + kProgramming + "\n"), r.err.find(port + ": " + kFinished))
        << r.err;
  }
  EXPECT_EQ(LastLine(r.err), "4 из 4 устройств запрограммированы");
  EXPECT_TRUE(r.out.empty()) << r.out;
}

// Without --expect the ports are pinged until --wait ends, and the summary counts the devices
// that answered; one device out of one takes the singular.
TEST_F(GangTest, WithoutExpectDiscoveryEndsAtTheWait) {
  SimOptions silent;
  silent.silent = true;
  const std::vector<DeviceSimulator*> devices = Devices(2, {{2, silent}});
  const ProcessResult r = Run({"--all", "-w", "2", Image(2048)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectProgrammed(*devices[0], image_, "COM1");
  EXPECT_EQ(devices[1]->FrameCount(cmdWriteBlock), 0);
  EXPECT_EQ(Count(r.err, "COM2: "), 0u) << r.err;  // pinged, never answered: no result line
  EXPECT_EQ(LastLine(r.err), "1 из 1 устройства запрограммированы");
}

TEST_F(GangTest, NoDeviceAnsweringWithinTheWait) {
  SimOptions silent;
  silent.silent = true;
  const std::vector<DeviceSimulator*> devices = Devices(2, {{1, silent}, {2, silent}});
  const ProcessResult r = Run({"--all", "-w", "1", Image(300)});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(LastLine(r.err), kNoAnswer);
  for (const DeviceSimulator* device : devices) EXPECT_GT(device->Pings(), 0);
}

// One run's failure never disturbs the others. Quiet: only the result lines and the summary.
TEST_F(GangTest, ADeviceThatStopsAnsweringFailsAlone) {
  SimOptions stops;
  stops.drop.push_back({cmdWriteBlock, 5, true});
  const std::vector<DeviceSimulator*> devices = Devices(4, {{3, stops}});
  const ProcessResult r = Run({"--all", "--expect", "4", "-q", Image(4096)});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  for (int n : {1, 2, 4}) ExpectProgrammed(*devices[n - 1], image_, "COM" + std::to_string(n));
  // The fifth block went out twice, then the run gave up.
  EXPECT_EQ(devices[2]->BlockCount(0x0200), 2);
  EXPECT_EQ(devices[2]->BlockCount(0x0280), 0);
  EXPECT_EQ(devices[2]->FrameCount(cmdChecksum), 0);

  std::vector<std::string> lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 5u) << r.err;
  EXPECT_EQ(lines.back(), "3 из 4 устройств запрограммированы");
  lines.pop_back();
  // Each port's line ends with its seconds and checksum: "COM1: ... (0,6 с, 1A2B)".
  for (std::string& line : lines) {
    EXPECT_TRUE(std::regex_search(line, std::regex(" \\([0-9]+,[0-9] с, [0-9A-F]{4}\\)$"))) << line;
    line = line.substr(0, line.rfind(" ("));
  }
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"COM1: " + kFinished, "COM2: " + kFinished,
                                             "COM3: " + kNoAnswer, "COM4: " + kFinished}));
}

// One of three boards pulled out mid-run: its run ends at once as a lost line, with the
// system's error; the two others finish.
TEST_F(GangTest, ALostLineFailsItsPortAlone) {
  SimOptions pulled;
  pulled.hang_up_after_blocks = 4;
  const std::vector<DeviceSimulator*> devices = Devices(3, {{2, pulled}});
  const ProcessResult r = Run({"--all", "--expect", "3", "--json", Image(8192)});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  ExpectProgrammed(*devices[0], image_, "COM1");
  ExpectProgrammed(*devices[2], image_, "COM3");
  EXPECT_EQ(Count(r.err, "orvix-flash: COM2: связь потеряна: Input/output error\n"), 1u) << r.err;
  EXPECT_EQ(Count(r.err, "COM2: " + kNoAnswer + " ("), 1u) << r.err;
  EXPECT_EQ(LastLine(r.err), "2 из 3 устройств запрограммированы");

  const std::vector<Json> events = Events(r);
  ASSERT_FALSE(events.empty());
  const auto ports = ByPort(events);
  ASSERT_TRUE(ports.count("COM2"));
  const Json lost = ResultOf(ports.at("COM2"));
  ASSERT_FALSE(lost.is_null()) << r.out;
  EXPECT_EQ(lost["status"], "line_lost") << lost;
  EXPECT_EQ(lost["error"], "Input/output error") << lost;
  // Ended with the failed write, not two reply times later.
  EXPECT_LT(lost["seconds"].get<double>(), 5) << lost;
  ExpectSummaryAddsUp(events, ports);
  EXPECT_EQ(events.back()["failed"], 1);
}

// Fewer devices than expected: the runs that started still end, then the status says so.
TEST_F(GangTest, FewerDevicesThanExpectedExitWithThreeOnceTheRunsHaveEnded) {
  const std::vector<DeviceSimulator*> devices = Devices(4);
  const ProcessResult r = Run({"--all", "--expect", "5", "-w", "2", Image(4096)});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  for (int n = 1; n <= 4; ++n) {
    const std::string port = "COM" + std::to_string(n);
    ExpectProgrammed(*devices[n - 1], image_, port);
    EXPECT_EQ(Count(r.err, port + ": " + kFinished + " ("), 1u) << r.err;
  }
  EXPECT_EQ(LastLine(r.err), "4 из 5 устройств запрограммированы");
}

// Once --expect devices have answered, the other ports hear nothing more, while the runs go on
// and the flasher ends with them, not at --wait.
TEST_F(GangTest, OnceTheExpectedDevicesAnsweredTheOtherPortsAreLeftAlone) {
  SimOptions paced;
  paced.baud = 57600;  // 32 KiB take about six seconds
  SimOptions silent;
  silent.silent = true;
  const std::vector<DeviceSimulator*> devices = Devices(3, {{1, paced}, {2, paced}, {3, silent}});
  std::unique_ptr<ChildProcess> flasher = Start({"--all", "--expect", "2", "-w", "60", Image(32768)});
  ASSERT_TRUE(flasher->WaitForStderr("COM1: " + kProgramming + "\n", 30s));
  ASSERT_TRUE(flasher->WaitForStderr("COM2: " + kProgramming + "\n", 30s));
  std::this_thread::sleep_for(500ms);
  // It may have heard a ping or none: the two devices may answer before its first one.
  const int pings = devices[2]->Pings();
  std::this_thread::sleep_for(1000ms);  // twenty ping periods
  EXPECT_EQ(devices[2]->Pings(), pings);
  EXPECT_EQ(devices[0]->RunsCompleted() + devices[1]->RunsCompleted(), 0)
      << "the runs ended before the silent port was watched";
  const ProcessResult r = flasher->Wait(60s);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_LT(r.elapsed, 50s);
  ExpectProgrammed(*devices[0], image_, "COM1");
  ExpectProgrammed(*devices[1], image_, "COM2");
  EXPECT_EQ(LastLine(r.err), "2 из 2 устройств запрограммированы");
}

// Devices that answer together count one by one: with --expect 1 one of six gets the image,
// even when the others answer while the first is being handed over, and the rest hear no block.
TEST_F(GangTest, NoMoreDevicesThanExpectedAreTaken) {
  const std::vector<DeviceSimulator*> devices = Devices(6);
  const ProcessResult r = Run({"--all", "--expect", "1", "-q", Image(1024)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  int programmed = 0;
  for (const DeviceSimulator* device : devices) {
    if (device->FrameCount(cmdWriteBlock) == 0) continue;
    ++programmed;
    ExpectProgrammed(*device, image_, device->PortPath());
  }
  EXPECT_EQ(programmed, 1);
  EXPECT_EQ(LastLine(r.err), "1 из 1 устройства запрограммированы");
}

// A board put into the fixture only after another was done is still found and programmed.
TEST_F(GangTest, ADeviceThatAnswersAfterAnotherHasFinishedIsStillProgrammed) {
  SimOptions late;
  late.answer_after_ms = 5000;
  const std::vector<DeviceSimulator*> devices = Devices(3, {{3, late}});
  const ProcessResult r = Run({"--all", "--expect", "3", "-w", "40", Image(1024)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  for (int n = 1; n <= 3; ++n) ExpectProgrammed(*devices[n - 1], image_, "COM" + std::to_string(n));
  const size_t late_found = r.err.find("COM3: " + kProgramming + "\n");
  ASSERT_NE(late_found, std::string::npos) << r.err;
  EXPECT_LT(r.err.find("COM1: " + kFinished), late_found) << r.err;
  EXPECT_LT(r.err.find("COM2: " + kFinished), late_found) << r.err;
  EXPECT_EQ(LastLine(r.err), "3 из 3 устройств запрограммированы");
}

// SIGINT stops every run as the stop button stops one, and ends discovery on the other ports:
// nothing more reaches any device.
TEST_F(GangTest, AnInterruptStopsEveryRunAndTheSearch) {
  SimOptions paced;
  paced.baud = 57600;  // a full image takes seconds: slow enough to interrupt in the middle
  SimOptions silent;
  silent.silent = true;
  const std::vector<DeviceSimulator*> devices =
      Devices(5, {{1, paced}, {2, paced}, {3, paced}, {4, paced}, {5, silent}});
  std::unique_ptr<ChildProcess> flasher = Start({"--all", "-w", "60", "--json", Image(65536)});
  for (int n = 1; n <= 4; ++n) {
    ASSERT_TRUE(flasher->WaitForStderr("COM" + std::to_string(n) + ": " + kProgramming + "\n", 30s));
    ASSERT_TRUE(devices[n - 1]->WaitUntil(
        [&] { return devices[n - 1]->FrameCount(cmdWriteBlock) >= 3; }, 30s));
  }
  flasher->Signal(SIGINT);
  const ProcessResult r = flasher->Wait(30s);
  EXPECT_EQ(r.exit_code, 2) << r.err;

  std::vector<int> frames;
  for (const DeviceSimulator* device : devices) frames.push_back(Frames(*device));
  std::this_thread::sleep_for(1500ms);  // longer than a block's round trip and a ping's period
  for (int n = 1; n <= 5; ++n) {
    SCOPED_TRACE("COM" + std::to_string(n));
    EXPECT_EQ(Frames(*devices[n - 1]), frames[n - 1]);
    EXPECT_EQ(devices[n - 1]->FrameCount(cmdChecksum), 0);
    if (n <= 4) {
      EXPECT_LT(devices[n - 1]->FrameCount(cmdWriteBlock), 512);
      EXPECT_EQ(Count(r.err, "COM" + std::to_string(n) + ": " + kStopped + " ("), 1u) << r.err;
    }
  }
  EXPECT_EQ(LastLine(r.err), "0 из 4 устройств запрограммированы");

  const std::vector<Json> events = Events(r);
  ASSERT_FALSE(events.empty());
  const auto ports = ByPort(events);
  for (int n = 1; n <= 4; ++n) {
    const std::string port = "COM" + std::to_string(n);
    ASSERT_TRUE(ports.count(port)) << port;
    ExpectResult(ports.at(port), "stopped", kStopped, *devices[n - 1], 65536);
  }
  ASSERT_TRUE(ports.count("COM5"));
  EXPECT_EQ(ports.at("COM5").size(), 1u);  // never answered: its port line alone
  ExpectSummaryAddsUp(events, ports);
  EXPECT_EQ(events.back()["stopped"], 4);
}

TEST_F(GangTest, UsageErrorsTouchNoPort) {
  const std::vector<DeviceSimulator*> devices = Devices(1);
  const std::string image = Image(300);
  const std::string log = (dir_ / "frames.txt").string();
  // Each with the option its message must name.
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--all", image}, "--wait"},                              // neither --wait nor --expect
      {{"--expect", "2", "-w", "5", image}, "--all"},            // --expect without --all
      {{"--all", "--expect", "0", image}, "--expect"},           // below 1
      {{"--all", "--expect", "4097", image}, "--expect"},        // above 4096
      {{"--all", "--expect", "two", image}, "--expect"},
      {{"--all", "-w", "5", "--log", log, image}, "--log"},      // one log for many runs
      {{"--all", "--list-ports"}, "--list-ports"}};
  for (const auto& [args, named] : cases) {
    std::string command;
    for (const std::string& arg : args) command += arg + " ";
    SCOPED_TRACE(command);
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.exit_code, 64) << r.err;
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  EXPECT_FALSE(fs::exists(log));
  EXPECT_EQ(devices[0]->Pings(), 0);
  // --expect stands in for --wait.
  const ProcessResult r = Run({"--all", "--expect", "1", image});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectProgrammed(*devices[0], image_, "COM1");
}

// ---- JSON lines.

TEST_F(GangTest, JsonLinesOfASingleRun) {
  SimOptions silent;
  silent.silent = true;
  const std::vector<DeviceSimulator*> devices = Devices(2, {{1, silent}});
  const std::string gone = (dir_ / "no-such-tty").string();
  ports_.Map("COM3", gone);
  const std::string image = Image(4096);
  const ProcessResult r = Run({"--json", "-d", "7", image});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectProgrammed(*devices[1], image_, "COM2");
  // Human text stays on stderr: the verdict, then the figures.
  const std::vector<std::string> lines = Lines(r.err);
  ASSERT_GE(lines.size(), 2u) << r.err;
  EXPECT_EQ(lines[lines.size() - 2], kFinished);

  const std::vector<Json> events = Events(r);
  ASSERT_FALSE(events.empty());
  const Json& start = events.front();
  EXPECT_EQ(start["image"], image) << start;
  EXPECT_EQ(start["format"], "bin") << start;
  EXPECT_EQ(start["start"], 0) << start;
  EXPECT_EQ(start["stop"], 4095) << start;
  EXPECT_EQ(start["bytes"], 4096) << start;
  EXPECT_EQ(start["device"], 7) << start;
  EXPECT_EQ(start["mode"], "single") << start;
  EXPECT_EQ(start["sha256"], Sha256sum(image)) << start;
  EXPECT_FALSE(start.contains("expect")) << start;
  EXPECT_FALSE(start.contains("wait")) << start;
  ASSERT_TRUE(start["ports"].is_array()) << start;
  const std::set<std::string> pinged(start["ports"].begin(), start["ports"].end());
  EXPECT_TRUE(pinged.count("COM1") && pinged.count("COM2")) << start;

  const auto ports = ByPort(events);
  ASSERT_TRUE(ports.count("COM1") && ports.count("COM2") && ports.count("COM3"));
  for (const auto& [port, list] : ports) {
    SCOPED_TRACE(port);
    const Json& opened = list.front();
    if (port == "COM3") {
      EXPECT_EQ(opened["state"], "failed") << opened;
      EXPECT_EQ(opened["path"], gone) << opened;
      EXPECT_NE(opened.value("error", "").find("No such file or directory"), std::string::npos)
          << opened;
      EXPECT_EQ(list.size(), 1u);
    } else {
      EXPECT_EQ(opened["state"], "opened") << opened;
      EXPECT_EQ(opened["path"], devices[port == "COM1" ? 0 : 1]->PortPath()) << opened;
      EXPECT_FALSE(opened.contains("error")) << opened;
    }
  }
  EXPECT_EQ(ports.at("COM1").size(), 1u);
  ExpectResult(ports.at("COM2"), "finished", kFinished, *devices[1], 4096);
  EXPECT_TRUE(Select(ports.at("COM2"), "resend").empty());
  const Json result = ResultOf(ports.at("COM2"));
  EXPECT_EQ(result["checksum"], RangeSum(image_)) << result;
  EXPECT_EQ(result["resends"], 0) << result;
  EXPECT_FALSE(result.contains("address")) << result;
  ExpectSummaryAddsUp(events, ports);
}

// No device: a single run has no result, and the summary says none answered.
TEST_F(GangTest, JsonLinesOfASingleRunThatFoundNoDevice) {
  SimOptions silent;
  silent.silent = true;
  Devices(1, {{1, silent}});
  const ProcessResult r = Run({"--json", "-w", "1", Image(300)});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  const std::vector<Json> events = Events(r);
  ASSERT_EQ(events.size(), 3u) << r.out;
  EXPECT_EQ(events[1]["event"], "port");
  EXPECT_EQ(events[0]["wait"], 1) << events[0];
  EXPECT_EQ(events[2]["devices"], 0);
  EXPECT_EQ(events[2]["finished"], 0);
}

// A fraction of a second is kept, single or gang: the search ends at --wait, not at the next tick
// of a watch that looks now and then. The lines' times are the flasher's own clock.
TEST_F(GangTest, AFractionalWaitEndsTheSearchOnTime) {
  SimOptions silent;
  silent.silent = true;
  Devices(1, {{1, silent}});
  const std::string image = Image(300);
  for (const char* mode : {"--quiet", "--all"}) {
    SCOPED_TRACE(mode);
    const ProcessResult r = Run({mode, "--json", "-w", "0.3", image});
    EXPECT_EQ(r.exit_code, 3) << r.err;
    const std::vector<Json> events = Events(r);
    ASSERT_GE(events.size(), 2u) << r.out;
    const double searched =
        events.back().value("time", 0.0) - events.front().value("time", 0.0);
    EXPECT_GE(searched, 0.299) << r.out;
    EXPECT_LT(searched, 0.45) << r.out;
  }
}

// A gang run with a damaged reply, a checksum never confirmed and a port that cannot be opened.
TEST_F(GangTest, JsonLinesOfAGangRun) {
  SimOptions damaged;
  damaged.corrupt_checksum.push_back({cmdWriteBlock, 2, false});
  SimOptions unconfirmed;
  unconfirmed.drop.push_back({cmdChecksum, 1, true});
  const std::vector<DeviceSimulator*> devices = Devices(4, {{2, damaged}, {3, unconfirmed}});
  ports_.Map("COM5", (dir_ / "no-such-tty").string());
  const std::string image = Image(2048);
  const ProcessResult r = Run({"--all", "--expect", "4", "-w", "30", "--json", image});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(LastLine(r.err), "3 из 4 устройств запрограммированы");

  const std::vector<Json> events = Events(r);
  ASSERT_FALSE(events.empty());
  const Json& start = events.front();
  EXPECT_EQ(start["mode"], "gang") << start;
  EXPECT_EQ(start["expect"], 4) << start;
  EXPECT_EQ(start["wait"], 30) << start;
  EXPECT_EQ(start["bytes"], 2048) << start;

  const auto ports = ByPort(events);
  ASSERT_EQ(ports.size(), 5u) << r.out;
  EXPECT_EQ(ports.at("COM5").front()["state"], "failed");
  ExpectResult(ports.at("COM1"), "finished", kFinished, *devices[0], 2048);
  ExpectResult(ports.at("COM2"), "finished", kFinished, *devices[1], 2048);
  ExpectResult(ports.at("COM3"), "checksum_unconfirmed", kUnconfirmed, *devices[2], 2048);
  ExpectResult(ports.at("COM4"), "finished", kFinished, *devices[3], 2048);

  // The damaged reply to the second block, then that block once more.
  const std::vector<Json> bad = Select(ports.at("COM2"), "bad_reply");
  ASSERT_EQ(bad.size(), 1u) << r.out;
  EXPECT_EQ(bad[0]["text"], "Error CS!");
  const std::vector<Json> again = Select(ports.at("COM2"), "resend");
  ASSERT_EQ(again.size(), 1u) << r.out;
  EXPECT_EQ(again[0]["address"], 0x0080);
  EXPECT_EQ(again[0]["what"], "block");
  // The checksum frame sent once more before giving up.
  const std::vector<Json> checksum_again = Select(ports.at("COM3"), "resend");
  ASSERT_EQ(checksum_again.size(), 1u) << r.out;
  EXPECT_EQ(checksum_again[0]["what"], "checksum");
  EXPECT_TRUE(checksum_again[0]["address"].is_number_integer());
  EXPECT_TRUE(Select(ports.at("COM1"), "resend").empty());

  ExpectSummaryAddsUp(events, ports);
  EXPECT_EQ(events.back()["expect"], 4);
  EXPECT_EQ(events.back()["failed"], 1);
}

// Lines are written as things happen, not when a buffer fills: the found line can be read while
// the device has had only a few of its blocks. (A pipe's buffer of 4 KiB holds some 60 lines, a
// full image's run over half its blocks.)
TEST_F(GangTest, JsonLinesComeAsTheRunGoes) {
  SimOptions paced;
  paced.baud = 57600;  // 512 blocks in about twelve seconds
  const std::vector<DeviceSimulator*> devices = Devices(1, {{1, paced}});
  std::unique_ptr<ChildProcess> flasher = Start({"--all", "--expect", "1", "--json", Image(65536)});
  std::string line;
  do {
    line = flasher->ReadLine(30s);
  } while (!line.empty() && line.find("\"found\"") == std::string::npos);
  ASSERT_FALSE(line.empty()) << "no found line";
  EXPECT_LT(devices[0]->FrameCount(cmdWriteBlock), 256) << "the line came late";
  line = flasher->ReadLine(30s);
  EXPECT_NE(line.find("\"progress\""), std::string::npos) << line;
  EXPECT_LT(devices[0]->FrameCount(cmdWriteBlock), 256) << "the line came late";
  flasher->Signal(SIGINT);
  EXPECT_EQ(flasher->Wait(30s).exit_code, 2);
}

}  // namespace
}  // namespace orvix
