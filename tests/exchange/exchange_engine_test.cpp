// The exchange engine on the plain loop against simulated devices: what the flasher's process
// tests cannot see from outside.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
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
             int reply_timeout_ms = TTransfer::kReplyTimeOut) {
    image = Image(image_size);
    std::vector<std::string> ports;
    for (DeviceSimulator* device : on) ports.push_back(device->PortPath());
    engine = std::make_unique<TExchange>(
        front, TExchangeSettings{5, start, stop, image.data(), static_cast<int>(image.size()),
                                 (log_dir / "out.txt").string(), ports, reply_timeout_ms});
    engine->StartNegotiation();
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
    front.OnClose = [this] {
      arrivals_at_close = arrivals;
      lines_at_close = engine->FrameLog().Lines().size();
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
    std::vector<int> progress;
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
    TExchangeSettings settings{5, c.start, c.stop, run_image.data(), 0, "", {device.PortPath()}};
    settings.ImageSize = static_cast<int>(run_image.size());
    TExchange run(run_front, settings);
    run.StartNegotiation();
    ASSERT_TRUE(RunUntil([&] { return run_front.Closed(); }));
    EXPECT_EQ(run_front.closes, std::vector<TModalResult>{mrOk});
    EXPECT_EQ(run_front.progress, c.progress);
  }
}

// ---- A range that starts above 0000, as a record file gives.

using ExchangeEngineRange = Engine;

TEST_F(ExchangeEngineRange, BlocksStartAtTheStartAddressAndTheChecksumCoversTheRangeOnly) {
  DeviceSimulator& device = AddDevice();
  // Address i at byte i, as the loader gives; the bytes below the range must not be sent.
  Start(0x1000, 0x10C7, 0x10C8, {&device});
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});

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
  EXPECT_EQ(front.progress, (std::vector<int>{64, 129}));  // 128 and 256 bytes of C7 (199)
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
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_TRUE(handled_in_pump);
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});

  ASSERT_TRUE(device.WaitRunComplete(2s));
  EXPECT_EQ(device.BlockCounts(), (std::map<uint16_t, int>{{0x000, 2}, {0x080, 1}, {0x100, 1}}));
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(device.LastChecksum()->matched);
}

// ---- Ping answers still on their way at the hand-over (the window runs this engine too).

using ExchangeEngineSettle = Engine;

// A device that answers each ping twice and 120 ms late and, like a microcontroller writing its
// flash, loses what arrives while it is busy after a block: no answer still on its way may send
// the next block into that busy time.
TEST_F(ExchangeEngineSettle, LateAndRepeatedPingAnswersAcknowledgeNoBlock) {
  SimOptions options;
  options.delay = {ReplyFault{ParseFrameSelector("ping"), 120}};
  options.twice = {ReplyFault{ParseFrameSelector("ping"), 2}};
  options.busy_after_block_ms = 20;
  DeviceSimulator& device = AddDevice(options);
  Start(0x0000, 0x07FF, 0x800, {&device});
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});
  ASSERT_TRUE(device.WaitRunComplete(2s));
  EXPECT_EQ(device.LostBytes(), 0);
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 16);
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(device.LastChecksum()->matched);
}

// Inside the settle time a command-1 reply cannot be told from a ping answer and counts for
// nothing: a device that acknowledges blocks with command 1 gets its first block again when the
// reply timer fires, and is then programmed as the reply rules say.
TEST_F(ExchangeEngineSettle, ADeviceThatRepliesWithCommandOneIsStillProgrammed) {
  SimOptions options;
  options.reply_command = {ReplyFault{ParseFrameSelector("block"), cmdPing}};
  DeviceSimulator& device = AddDevice(options);
  Start(0x0000, 0x017F, 0x180, {&device}, 1000);
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});
  ASSERT_TRUE(device.WaitRunComplete(2s));
  EXPECT_EQ(device.BlockCount(0x080), 1);
  EXPECT_EQ(device.BlockCount(0x100), 1);
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(device.LastChecksum()->matched);
}

// The checksum frame of a short image waits for the end of the settle time, so its reply counts
// whatever its command: a device that confirms with command 1 once and then answers no more (it
// has started its new firmware) is done, not "not confirmed".
TEST_F(ExchangeEngineSettle, AShortImagesChecksumWaitsForTheSettleTime) {
  SimOptions options;
  options.reply_command = {ReplyFault{ParseFrameSelector("checksum"), cmdPing}};
  options.drop = {ParseFrameSelector("checksum:2+")};
  DeviceSimulator& device = AddDevice(options);
  Start(0x0000, 0x007F, 0x80, {&device}, 1000);
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});
  EXPECT_EQ(front.Panel(2), kTextFinished);
  EXPECT_EQ(device.FrameCount(cmdChecksum), 1);
}

// ---- Frames that come after the run has ended.

using ExchangeEngineLateFrames = Engine;

TEST_F(ExchangeEngineLateFrames, AReplyAfterCompletionIsDroppedAndNotLogged) {
  // The checksum goes out twice; the first reply completes the run, the second comes after.
  DeviceSimulator& device = AddDevice(LateReplies("checksum", 750));
  front.log_frames = true;
  CountArrivals();
  Start(0x0000, 0x007F, 0x80, {&device}, 500);
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});
  ASSERT_TRUE(RunUntil([&] { return arrivals > arrivals_at_close; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog().Lines().size(), lines_at_close);
  EXPECT_EQ(front.Panel(2), kTextFinished);
  EXPECT_EQ(front.status.back(), kTextProgramming);
  EXPECT_EQ(device.FrameCount(cmdChecksum), 2);
}

TEST_F(ExchangeEngineLateFrames, RepliesAfterGivingUpAreDroppedAndNotLogged) {
  DeviceSimulator& device = AddDevice(LateReplies("block", 1000));
  front.log_frames = true;
  CountArrivals();
  Start(0x0000, 0x00FF, 0x100, {&device}, 200);
  ASSERT_TRUE(RunUntil([&] { return front.Closed(); }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrCancel});
  EXPECT_EQ(front.messages, std::vector<std::string>{kTextNoAnswer});
  EXPECT_EQ(lines_at_close, 2u);  // the block and its resend
  ASSERT_TRUE(RunUntil([&] { return arrivals >= arrivals_at_close + 2; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog().Lines().size(), lines_at_close);
  EXPECT_EQ(device.FrameCount(cmdWriteBlock), 2);
  EXPECT_EQ(front.progress.back(), 0);
}

TEST_F(ExchangeEngineLateFrames, AReplyAfterStopIsDroppedAndNotLogged) {
  DeviceSimulator& device = AddDevice(LateReplies("block", 400));
  front.log_frames = true;
  CountArrivals();
  Start(0x0000, 0x00FF, 0x100, {&device});
  ASSERT_TRUE(RunUntil([&] { return engine->Pack() != nullptr; }));
  engine->AbortExchange();  // the stop button
  const size_t lines = engine->FrameLog().Lines().size();
  ASSERT_TRUE(RunUntil([&] { return arrivals >= 1; }));
  Idle(100ms);
  EXPECT_EQ(engine->FrameLog().Lines().size(), lines);
  EXPECT_EQ(front.Panel(2), kTextAborted);
  EXPECT_EQ(front.progress.back(), 0);
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
  ASSERT_TRUE(RunUntil([&] { return front.Closed() && reports.size() >= 2; }));
  EXPECT_EQ(front.closes, std::vector<TModalResult>{mrOk});
  EXPECT_EQ(reports_after_end, 0);

  DeviceSimulator& programmed = a.FrameCount(cmdWriteBlock) > 0 ? a : b;
  DeviceSimulator& other = &programmed == &a ? b : a;
  EXPECT_EQ(other.FrameCount(cmdWriteBlock), 0);
  EXPECT_EQ(other.FrameCount(cmdChecksum), 0);
  EXPECT_EQ(programmed.FrameCount(cmdWriteBlock), 4);
  EXPECT_EQ(engine->Pack()->Port()->Port(), programmed.PortPath());
  int port_names_shown = 0;
  for (const auto& [panel, text] : front.panels) port_names_shown += panel == 0;
  EXPECT_EQ(port_names_shown, 1);
}

// ---- Stop.

using ExchangeEngineStop = Engine;

TEST_F(ExchangeEngineStop, AStopWhileNegotiatingLeavesALateAnswerUnused) {
  DeviceSimulator& device = AddDevice(LateReplies("ping", 300));
  Start(0x0000, 0x00FF, 0x100, {&device});
  engine->AbortExchange();
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(front.Panel(2), kTextAborted);
  EXPECT_EQ(front.progress, std::vector<int>{0});

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
  EXPECT_EQ(front.Panel(0), "");
  EXPECT_EQ(front.status, std::vector<std::string>{kTextNegotiation});
}

}  // namespace
}  // namespace orvix
