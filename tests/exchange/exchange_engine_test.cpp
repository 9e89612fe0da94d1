// The exchange engine on the plain loop against simulated devices: what the flasher's process
// tests cannot see from outside.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <memory>

#include "channel/com_ping.h"
#include "channel/rs_pack.h"
#include "exchange/exchange.h"
#include "runtime/plain_loop.h"
#include "serial/serial_port.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/run_until.h"
#include "tools/devsim/device_simulator.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using devsim::DeviceSimulator;
using devsim::ParseFrameSelector;
using devsim::ReplyFault;
using devsim::SimOptions;
using testing::RecordingFrontEnd;
using Bytes = std::vector<uint8_t>;

Bytes Image(size_t size) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 31 + 11);
  return image;
}

SimOptions LateReplies(const char* frames, int delay_ms) {
  SimOptions options;
  options.delay = {ReplyFault{ParseFrameSelector(frames), delay_ms}};
  return options;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    log_dir = fs::temp_directory_path() /
              ("orvix-engine-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(log_dir);
  }
  void TearDown() override {
    engine.reset();
    fs::remove_all(log_dir);
  }

  DeviceSimulator& AddDevice(SimOptions options = {}) {
    devices.push_back(std::make_unique<DeviceSimulator>(std::move(options)));
    return *devices.back();
  }

  // Starts a run of device 5 over the range, on the given devices' ports.
  void Start(uint16_t start, uint16_t stop, size_t image_size,
             const std::vector<DeviceSimulator*>& on,
             int reply_timeout_ms = kReplyTimeOut, bool log = false) {
    image = Image(image_size);
    TExchangeSettings settings;
    settings.DeviceNumber = 5;
    settings.StartAddress = start;
    settings.StopAddress = stop;
    settings.ImageData = image.data();
    settings.ImageSize = static_cast<int>(image.size());
    if (log) settings.LogFileName = (log_dir / "out.txt").string();
    for (DeviceSimulator* device : on) settings.Ports.push_back(device->PortPath());
    settings.ReplyTimeOut = reply_timeout_ms;
    engine = std::make_unique<TExchange>(front, settings);
    engine->StartNegotiation();
  }

  void ExpectProgrammed(DeviceSimulator& device) {
    ASSERT_TRUE(device.WaitRunComplete(2s));
    const Bytes memory = device.Memory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    ASSERT_TRUE(device.LastChecksum());
    EXPECT_TRUE(device.LastChecksum()->matched);
  }

  // A fresh run of a 2 KiB image on the device alone: finished, and programmed in 16 block frames.
  void ProgramSixteenBlocks(DeviceSimulator& device) {
    front = RecordingFrontEnd();
    Start(0x0000, 0x07FF, 0x800, {&device});
    ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
    EXPECT_TRUE(front.Finished());
    ExpectProgrammed(device);
    EXPECT_EQ(device.FrameCount(cmdWriteBlock), 16);
  }

  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 8s) {
    return testing::RunLoopUntil(loop, done, limit);
  }
  void Idle(std::chrono::milliseconds time) {
    loop.RunUntil([] { return false; }, time);
  }

  // From the hand-over on, counts the frames that reach the engine, then passes them on.
  void CountArrivals() {
    front.OnPump = [this] {
      if (counting || !engine->Pack()) return;
      counting = true;
      TRSPack& pack = *engine->Pack();
      pack.OnPacket = [this, engine_handler = pack.OnPacket](const uint8_t* frame, int count) {
        ++arrivals;
        engine_handler(frame, count);
      };
    };
    front.OnEnd = [this](const TRunResult&) {
      arrivals_at_close = arrivals;
      lines_at_close = engine->FrameLog()->Lines().size();
    };
  }

  TPlainMessageLoop loop;
  RecordingFrontEnd front;
  Bytes image;
  int arrivals = 0;
  int arrivals_at_close = -1;
  size_t lines_at_close = 0;
  bool counting = false;
  fs::path log_dir;
  std::vector<std::unique_ptr<DeviceSimulator>> devices;
  std::unique_ptr<TExchange> engine;  // last: it goes before the devices and the loop
};

// ---- Progress.

using ExchangeEngineProgress = Engine;

TEST_F(ExchangeEngineProgress, TheBarShowsTheBytesSentOverStopMinusStart) {
  struct Case {
    uint16_t start, stop;
    size_t image_size;
    std::vector<int> positions;
  };
  const Case cases[] = {
      {0x0000, 0x00FF, 0x100, {50, 100}},
      {0x0100, 0x01FF, 0x200, {50, 100}},
      // 12.5, 37.5, 62.5, 87.5 and 112.5 go to the even neighbour.
      {0x0000, 0x0400, 0x401, {12, 25, 38, 50, 62, 75, 88, 100, 112}},
      {0x0010, 0x0010, 0x020, {0}},  // a total of 0 keeps the bar at 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.start << ".." << c.stop);
    DeviceSimulator& device = AddDevice();
    RecordingFrontEnd run_front;
    const Bytes run_image = Image(c.image_size);
    TExchangeSettings settings;
    settings.DeviceNumber = 5;
    settings.StartAddress = c.start;
    settings.StopAddress = c.stop;
    settings.ImageData = run_image.data();
    settings.ImageSize = static_cast<int>(run_image.size());
    settings.Ports = {device.PortPath()};
    TExchange run(run_front, settings);
    run.StartNegotiation();
    ASSERT_TRUE(RunUntil([&] { return run_front.Ended(); }));
    EXPECT_TRUE(run_front.Finished());
    EXPECT_EQ(run_front.Positions(), c.positions);
  }
}

// ---- A range that starts above 0000, as a record file gives.

using ExchangeEngineRange = Engine;

TEST_F(ExchangeEngineRange, BlocksStartAtTheStartAddressAndTheChecksumCoversTheRangeOnly) {
  DeviceSimulator& device = AddDevice();
  // Address i at byte i, as the loader gives; the bytes below the range must not be sent.
  Start(0x1000, 0x10C7, 0x10C8, {&device});
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_TRUE(front.Finished());

  const std::map<uint16_t, int> blocks = device.BlockCounts();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks.begin()->first, 0x1000);
  EXPECT_EQ(std::next(blocks.begin())->first, 0x1080);
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(image.begin() + 0x1000, image.end(), memory.begin() + 0x1000));
  ASSERT_TRUE(device.LastChecksum());
  EXPECT_EQ(device.LastChecksum()->received,
            TTransfer::RangeSum(image.data(), 0x10C8, 0x1000, 0x10C7));
  EXPECT_TRUE(device.LastChecksum()->matched);
  EXPECT_EQ(device.LastChecksum()->covered_end, 0x10C7);
  EXPECT_EQ(front.Positions(), (std::vector<int>{64, 129}));  // 128 and 256 bytes of C7 (199)
  EXPECT_EQ(front.Result().Figures.Checksum, device.LastChecksum()->received);
  EXPECT_EQ(front.Result().Figures.Bytes, 0xC8);
  EXPECT_EQ(front.Result().Figures.BlocksSent, 2);
}

// ---- A reply handled inside the progress pump.

using ExchangeEngineNesting = Engine;

// The first block's reply comes late: the resend's progress pump handles it, which sends the
// second block from inside the pump. The resend then goes out for the address it was built for.
TEST_F(ExchangeEngineNesting, AReplyInsideThePumpSendsTheNextBlockAndTheResendKeepsItsAddress) {
  DeviceSimulator& device = AddDevice(LateReplies("block:1", 800));
  bool handled_in_pump = false;
  front.OnPump = [&] {
    if (handled_in_pump || engine->RetryCount() != 1) return;
    RunUntil([&] { return engine->RetryCount() == 0; }, 5s);
    handled_in_pump = engine->RetryCount() == 0;
  };
  Start(0x0000, 0x017F, 0x180, {&device}, 200);
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_TRUE(handled_in_pump);
  EXPECT_TRUE(front.Finished());

  ASSERT_TRUE(device.WaitRunComplete(2s));
  EXPECT_EQ(device.BlockCounts(), (std::map<uint16_t, int>{{0x000, 2}, {0x080, 1}, {0x100, 1}}));
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(device.LastChecksum()->matched);
}

// ---- The quiet start after the hand-over (the window runs this engine too).

using ExchangeEngineQuietStart = Engine;

// Ping answers still on their way when the device's port is handed over never count as a reply:
// a device that, like a microcontroller writing its flash, loses what arrives while it is busy
// after a block must not get the next block in that busy time.
TEST_F(ExchangeEngineQuietStart, LateAndRepeatedPingAnswersAcknowledgeNoBlock) {
  struct Case {
    const char* name;
    int delay_ms;
    int copies;
  };
  const Case cases[] = {{"120 ms late, twice", 120, 2}, {"200 ms late", 200, 1},
                        {"at once, twice", 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimOptions options;
    if (c.delay_ms > 0) options.delay = {ReplyFault{ParseFrameSelector("ping"), c.delay_ms}};
    if (c.copies > 1) options.twice = {ReplyFault{ParseFrameSelector("ping"), 2}};
    options.busy_after_block_ms = 20;
    DeviceSimulator& device = AddDevice(options);
    ProgramSixteenBlocks(device);
    EXPECT_EQ(device.LostBytes(), 0);
    engine.reset();
  }
}

// Every reply the reply rules accept counts from the first block on: a device whose firmware
// acknowledges with command 1 gets each block once, with no resend.
TEST_F(ExchangeEngineQuietStart, EveryAcceptedReplyCountsFromTheFirstBlockOn) {
  SimOptions command_one;
  command_one.reply_command = {ReplyFault{ParseFrameSelector("block"), cmdPing},
                               ReplyFault{ParseFrameSelector("checksum"), cmdPing}};
  SimOptions alternating;  // 3, 1, 3, 1, ...
  for (int n = 1; n <= 16; ++n)
    alternating.reply_command.push_back(ReplyFault{
        ParseFrameSelector("block:" + std::to_string(n)), n % 2 ? cmdChecksum : cmdPing});
  alternating.reply_command.push_back(ReplyFault{ParseFrameSelector("checksum"), cmdPing});
  SimOptions late = command_one;
  late.delay = {ReplyFault{ParseFrameSelector("block"), 20},
                ReplyFault{ParseFrameSelector("checksum"), 20}};
  const std::pair<const char*, SimOptions> cases[] = {
      {"command 1", command_one}, {"3 and 1 in turn", alternating}, {"command 1, 20 ms late", late}};
  for (const auto& [name, options] : cases) {
    SCOPED_TRACE(name);
    DeviceSimulator& device = AddDevice(options);
    ProgramSixteenBlocks(device);
    for (const auto& [address, count] : device.BlockCounts()) EXPECT_EQ(count, 1) << address;
    EXPECT_TRUE(front.resends.empty());
    EXPECT_EQ(front.Result().Figures.Resends, 0);
    engine.reset();
  }
}

// The first block waits for the last ping's answers, and no longer than that bound needs.
TEST_F(ExchangeEngineQuietStart, TheFirstBlockLeavesBetween200And300MsAfterTheLastPing) {
  DeviceSimulator& device = AddDevice();
  std::optional<std::chrono::steady_clock::time_point> last_ping;
  std::chrono::steady_clock::time_point first_block{};
  front.OnPump = [&] {
    if (first_block != std::chrono::steady_clock::time_point{}) return;
    first_block = std::chrono::steady_clock::now();
    last_ping = engine->PortList()[0].second->LastPingWritten();
  };
  Start(0x0000, 0x00FF, 0x100, {&device});
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_TRUE(front.Finished());
  ASSERT_TRUE(last_ping);
  const auto quiet = first_block - *last_ping;
  EXPECT_GE(quiet, 200ms);
  EXPECT_LE(quiet, 300ms);
}

// ---- A line that fails, a log that fails.

using ExchangeEngineFailures = Engine;

// Unplugged mid-run: the run ends at once as a lost line, naming the port and the system's
// error, instead of waiting out two reply times as if the device had gone silent.
TEST_F(ExchangeEngineFailures, ALineLostMidRunEndsTheRunAtOnce) {
  SimOptions options;
  options.hang_up_after_blocks = 3;
  DeviceSimulator& device = AddDevice(options);
  Start(0x0000, 0x07FF, 0x800, {&device});
  ASSERT_TRUE(RunUntil([&] { return device.HungUp(); }));
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }, 2s));
  EXPECT_EQ(front.Outcome(), TOutcome::ocLineLost);
  EXPECT_EQ(front.Result().Port, device.PortPath());
  EXPECT_EQ(front.Result().Phase, TExchangePhase::epBlockTransfer);
  EXPECT_FALSE(EnglishText(front.Result().Cause).empty());
  EXPECT_TRUE(front.resends.empty());
  Idle(200ms);
  EXPECT_EQ(front.results.size(), 1u);
}

// The frame log is the user's aid, not part of the programming: a log that cannot be written is
// told once and closed, and the device is still programmed to the end.
TEST_F(ExchangeEngineFailures, AFrameLogThatCannotBeWrittenNeverCutsTheProgramming) {
  DeviceSimulator& device = AddDevice();
  image = Image(0x800);
  TExchangeSettings settings;
  settings.DeviceNumber = 5;
  settings.StopAddress = 0x7FF;
  settings.ImageData = image.data();
  settings.ImageSize = static_cast<int>(image.size());
  settings.LogFileName = "/dev/full";  // opens, then every write fails: no space left
  settings.Ports = {device.PortPath()};
  engine = std::make_unique<TExchange>(front, settings);
  engine->StartNegotiation();
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_TRUE(front.Finished());
  ExpectProgrammed(device);
  ASSERT_EQ(front.log_failures.size(), 1u);
  EXPECT_NE(front.log_failures[0].find("/dev/full"), std::string::npos);
  EXPECT_EQ(front.Result().LogError, front.log_failures[0]);
}

// ---- Frames that come after the run has ended.

using ExchangeEngineLateFrames = Engine;

TEST_F(ExchangeEngineLateFrames, AReplyAfterCompletionIsDroppedAndNotLogged) {
  // The checksum goes out twice; the first reply completes the run, the second comes after.
  DeviceSimulator& device = AddDevice(LateReplies("checksum", 750));
  CountArrivals();
  Start(0x0000, 0x007F, 0x80, {&device}, 500, true);
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_TRUE(front.Finished());
  ASSERT_TRUE(RunUntil([&] { return arrivals > arrivals_at_close; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog()->Lines().size(), lines_at_close);
  EXPECT_EQ(front.results.size(), 1u);
  EXPECT_EQ(front.Result().Figures.Resends, 1);
  EXPECT_EQ(device.FrameCount(cmdChecksum), 2);
}

TEST_F(ExchangeEngineLateFrames, RepliesAfterGivingUpAreDroppedAndNotLogged) {
  DeviceSimulator& device = AddDevice(LateReplies("block", 1000));
  CountArrivals();
  Start(0x0000, 0x00FF, 0x100, {&device}, 200, true);
  ASSERT_TRUE(RunUntil([&] { return front.Ended(); }));
  EXPECT_EQ(front.Outcome(), TOutcome::ocNoAnswer);
  EXPECT_EQ(front.Result().Address, 0x0000);  // the first block, sent twice
  EXPECT_EQ(front.Result().Port, device.PortPath());
  EXPECT_EQ(lines_at_close, 2u);  // the block and its resend
  ASSERT_TRUE(RunUntil([&] { return arrivals >= arrivals_at_close + 2; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog()->Lines().size(), lines_at_close);
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 2);
  EXPECT_EQ(front.results.size(), 1u);
}

TEST_F(ExchangeEngineLateFrames, AReplyAfterStopIsDroppedAndNotLogged) {
  DeviceSimulator& device = AddDevice(LateReplies("block", 400));
  CountArrivals();
  Start(0x0000, 0x00FF, 0x100, {&device}, kReplyTimeOut, true);
  ASSERT_TRUE(RunUntil([&] { return engine->Pack() != nullptr && !engine->Transfer()->Quiet(); }));
  engine->AbortExchange();  // the stop button
  const size_t lines = engine->FrameLog()->Lines().size();
  ASSERT_TRUE(RunUntil([&] { return arrivals >= 1; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog()->Lines().size(), lines);
  EXPECT_EQ(front.Outcome(), TOutcome::ocStopped);
  EXPECT_EQ(front.results.size(), 1u);
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 1);
}

// ---- More than one device.

using ExchangeEngineDevices = Engine;

TEST_F(ExchangeEngineDevices, ASecondDeviceReportDuringTheRunIsIgnored) {
  // Slow replies keep the run going while the second device answers its pings.
  DeviceSimulator& a = AddDevice(LateReplies("block", 100));
  DeviceSimulator& b = AddDevice(LateReplies("block", 100));
  Start(0x0000, 0x01FF, 0x200, {&a, &b});
  std::map<TComPing*, int> reports;
  int reports_after_end = 0;
  for (const auto& [name, ping] : engine->PortList()) {
    ping->OnDeviceFound = [&, p = ping.get(),
                           engine_handler = ping->OnDeviceFound](TCustomSerialPort* port) {
      if (engine->Running())
        ++reports[p];
      else
        ++reports_after_end;
      engine_handler(port);
    };
  }
  ASSERT_TRUE(RunUntil([&] { return front.Ended() && reports.size() >= 2; }));
  EXPECT_TRUE(front.Finished());
  EXPECT_EQ(reports_after_end, 0);

  DeviceSimulator& programmed = a.FrameCount(cmdWriteBlock) > 0 ? a : b;
  DeviceSimulator& other = &programmed == &a ? b : a;
  EXPECT_EQ(other.FrameCount(cmdWriteBlock), 0);
  EXPECT_EQ(other.FrameCount(cmdChecksum), 0);
  EXPECT_EQ(programmed.FrameCount(cmdWriteBlock), 4);
  EXPECT_EQ(engine->Pack()->Port()->Port(), programmed.PortPath());
  EXPECT_EQ(front.found, std::vector<std::string>{programmed.PortPath()});
}

// ---- Stop.

using ExchangeEngineStop = Engine;

TEST_F(ExchangeEngineStop, AStopWhileNegotiatingLeavesALateAnswerUnused) {
  DeviceSimulator& device = AddDevice(LateReplies("ping", 300));
  Start(0x0000, 0x00FF, 0x100, {&device});
  engine->AbortExchange();
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(front.Outcome(), TOutcome::ocStopped);

  int reports = 0;
  TComPing& ping = *engine->PortList()[0].second;
  ping.OnDeviceFound = [&, engine_handler = ping.OnDeviceFound](TCustomSerialPort* port) {
    ++reports;
    engine_handler(port);
  };
  ASSERT_TRUE(RunUntil([&] { return reports >= 1; }));
  Idle(100ms);
  EXPECT_EQ(engine->Pack(), nullptr);
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 0);
  EXPECT_TRUE(front.found.empty());
  EXPECT_EQ(front.results.size(), 1u);
}

}  // namespace
}  // namespace orvix
