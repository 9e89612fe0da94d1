// The gang run and discovery on the plain loop against simulated devices: one transfer a device,
// side by side, and the ports that discovery lets go of.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "channel/com_ping.h"
#include "channel/discovery.h"
#include "exchange/gang.h"
#include "runtime/plain_loop.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/run_until.h"
#include "tools/devsim/device_simulator.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;
using devsim::DeviceSimulator;
using devsim::ParseFrameSelector;
using devsim::ReplyFault;
using devsim::SimOptions;
using testing::RecordingFrontEnd;
using Bytes = std::vector<uint8_t>;

// Hands each port's events to that port's recorder, as the flasher keeps a line per port.
class PerPort final : public TRunEvents {
 public:
  explicit PerPort(std::map<std::string, RecordingFrontEnd>& fronts) : fronts_(fronts) {}
  void DeviceFound(const std::string& port) override { Front(port).DeviceFound(port); }
  void Progress(const std::string& port, int done, int total) override {
    Front(port).Progress(port, done, total);
  }
  void FrameResent(const std::string& port, TResent what, uint16_t address) override {
    Front(port).FrameResent(port, what, address);
  }
  void RunEnded(const TRunResult& result) override { Front(result.Port).RunEnded(result); }

 private:
  RecordingFrontEnd& Front(const std::string& port) {
    RecordingFrontEnd& front = fronts_[port];
    front.pump = false;
    return front;
  }
  std::map<std::string, RecordingFrontEnd>& fronts_;
};

class Gang : public ::testing::Test {
 protected:
  void TearDown() override { gang.reset(); }

  DeviceSimulator& AddDevice(SimOptions options = {}) {
    devices.push_back(std::make_unique<DeviceSimulator>(std::move(options)));
    return *devices.back();
  }

  void Start(size_t image_size, int expect, int reply_timeout_ms = kReplyTimeOut) {
    image.resize(image_size);
    for (size_t i = 0; i < image_size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    TExchangeSettings settings;
    settings.DeviceNumber = 5;
    settings.StopAddress = static_cast<uint16_t>(image_size - 1);
    settings.ImageData = image.data();
    settings.ImageSize = static_cast<int>(image_size);
    settings.ReplyTimeOut = reply_timeout_ms;
    for (const auto& device : devices) settings.Ports.push_back(device->PortPath());
    gang = std::make_unique<TGangRun>(settings, expect, per_port);
    gang->Start();
  }

  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    return testing::RunLoopUntil(loop, done, limit);
  }

  void ExpectProgrammed(const DeviceSimulator& device) {
    SCOPED_TRACE(device.PortPath());
    ASSERT_EQ(fronts.count(device.PortPath()), 1u);
    EXPECT_TRUE(fronts[device.PortPath()].Finished());
    EXPECT_EQ(fronts[device.PortPath()].results.size(), 1u);
    const Bytes memory = device.Memory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    ASSERT_TRUE(device.LastChecksum());
    EXPECT_TRUE(device.LastChecksum()->matched);
  }

  TPlainMessageLoop loop;
  Bytes image;
  std::vector<std::unique_ptr<DeviceSimulator>> devices;
  std::map<std::string, RecordingFrontEnd> fronts;
  PerPort per_port{fronts};
  std::unique_ptr<TGangRun> gang;  // last: it goes before the front ends, devices and loop
};

// Three devices and an empty port: once the third answers, the empty port is pinged no more and
// closed, while the three runs go on to their end.
TEST_F(Gang, EveryDeviceIsProgrammedAndTheExpectedCountReleasesTheOtherPorts) {
  SimOptions silent;
  silent.silent = true;
  DeviceSimulator& empty = AddDevice(silent);
  DeviceSimulator& a = AddDevice();
  DeviceSimulator& b = AddDevice();
  DeviceSimulator& c = AddDevice();
  Start(0x1000, 3);
  ASSERT_TRUE(RunUntil([&] { return gang->Done(); }));
  EXPECT_EQ(gang->Devices(), 3);
  EXPECT_FALSE(gang->DiscoveryOpen());
  for (DeviceSimulator* device : {&a, &b, &c}) ExpectProgrammed(*device);
  EXPECT_EQ(fronts.count(empty.PortPath()), 0u);
  // The empty port was released, not merely left alone: its pings have stopped.
  const int pings = empty.Pings();
  loop.RunUntil([] { return false; }, 300ms);
  EXPECT_EQ(empty.Pings(), pings);
  for (const auto& [name, ping] : gang->Discovery().PortList())
    EXPECT_NE(name, empty.PortPath()) << "still held";
}

// Devices that answer together are counted one by one, answers reported while a port is being
// handed over included: no more runs than expected, and the ports left over hear no block.
TEST_F(Gang, NoMoreRunsThanExpectedWhenDevicesAnswerTogether) {
  for (int i = 0; i < 6; ++i) AddDevice();
  Start(0x400, 2);
  ASSERT_TRUE(RunUntil([&] { return gang->Done(); }));
  EXPECT_EQ(gang->Devices(), 2);
  int programmed = 0;
  for (const auto& device : devices) {
    if (device->FrameCount(cmdWriteBlock) == 0) continue;
    ++programmed;
    ExpectProgrammed(*device);
  }
  EXPECT_EQ(programmed, 2);
  EXPECT_TRUE(gang->Discovery().PortList().size() <= 2u);  // the others released
}

TEST_F(Gang, OneDeviceThatStopsAnsweringLeavesTheOthersUndisturbed) {
  DeviceSimulator& a = AddDevice();
  SimOptions dropping;
  dropping.drop = {ParseFrameSelector("block:3+")};
  DeviceSimulator& failing = AddDevice(dropping);
  DeviceSimulator& c = AddDevice();
  Start(0x0800, 3, 400);
  ASSERT_TRUE(RunUntil([&] { return gang->Done(); }));
  ExpectProgrammed(a);
  ExpectProgrammed(c);
  RecordingFrontEnd& lost = fronts[failing.PortPath()];
  EXPECT_EQ(lost.Outcome(), TOutcome::ocNoAnswer);
  EXPECT_EQ(lost.Result().Address, 0x100);
  // Block 3 went out twice, at its own address, and nothing after it.
  ASSERT_EQ(lost.resends.size(), 1u);
  EXPECT_EQ(lost.resends[0], std::make_pair(TResent::rsBlock, uint16_t{0x100}));
  EXPECT_EQ(failing.FrameCount(cmdWriteBlock), 4);
  EXPECT_EQ(failing.FrameCount(cmdChecksum), 0);
}

// Each port has its own quiet start: answers to pings still on their way acknowledge no block
// on any of them (a busy device would lose a block sent too early).
TEST_F(Gang, LatePingAnswersAcknowledgeNoBlockOnAnyPort) {
  SimOptions options;
  options.delay = {ReplyFault{ParseFrameSelector("ping"), 120}};
  options.twice = {ReplyFault{ParseFrameSelector("ping"), 2}};
  options.busy_after_block_ms = 20;
  DeviceSimulator& a = AddDevice(options);
  DeviceSimulator& b = AddDevice(options);
  Start(0x0800, 2);
  ASSERT_TRUE(RunUntil([&] { return gang->Done(); }));
  for (DeviceSimulator* device : {&a, &b}) {
    ExpectProgrammed(*device);
    EXPECT_EQ(device->LostBytes(), 0);
    EXPECT_EQ(device->FrameCount(cmdWriteBlock), 16);
    EXPECT_TRUE(fronts[device->PortPath()].resends.empty());
  }
}

TEST_F(Gang, AbortStopsEveryRunAndNothingIsSentAfterwards) {
  SimOptions paced;
  paced.baud = 57600;
  DeviceSimulator& a = AddDevice(paced);
  DeviceSimulator& b = AddDevice(paced);
  Start(0x8000, 0);
  ASSERT_TRUE(RunUntil([&] {
    return a.FrameCount(cmdWriteBlock) >= 5 && b.FrameCount(cmdWriteBlock) >= 5;
  }));
  gang->Abort();
  EXPECT_FALSE(gang->DiscoveryOpen());
  ASSERT_TRUE(RunUntil([&] { return gang->Done(); }, 2s));
  for (DeviceSimulator* device : {&a, &b}) {
    RecordingFrontEnd& front = fronts[device->PortPath()];
    EXPECT_EQ(front.Outcome(), TOutcome::ocStopped);
    EXPECT_EQ(front.results.size(), 1u);
  }
  loop.RunUntil([] { return false; }, 300ms);  // a frame on the line may still arrive
  const int blocks_a = a.FrameCount(cmdWriteBlock), blocks_b = b.FrameCount(cmdWriteBlock);
  loop.RunUntil([] { return false; }, 600ms);
  EXPECT_EQ(a.FrameCount(cmdWriteBlock), blocks_a);
  EXPECT_EQ(b.FrameCount(cmdWriteBlock), blocks_b);
  EXPECT_EQ(a.FrameCount(cmdChecksum) + b.FrameCount(cmdChecksum), 0);
}

// What a front end names of each port: an open before the device's answer, a port that cannot
// be opened with why.
TEST(Discovery, ReportsEachPortOpenedBeforeItsAnswerAndAFailedOneWithItsCause) {
  TPlainMessageLoop loop;
  DeviceSimulator device;
  TDiscovery discovery(5);
  std::vector<std::string> events;
  discovery.OnPortOpened = [&](const std::string& name) { events.push_back("opened " + name); };
  discovery.OnPortFailed = [&](const std::string& name, const TComPing& ping) {
    events.push_back("failed " + name + (ping.OpenFailed() ? " at open" : ""));
  };
  bool found = false;
  discovery.OnDeviceFound = [&](TCustomSerialPort* port) {
    events.push_back("found");
    found = true;
    discovery.HandOver(port);
  };
  discovery.Start({"/nonexistent/tty", device.PortPath()});
  ASSERT_TRUE(loop.RunUntil([&] { return found && events.size() >= 3; }, 10s));
  const auto at = [&](const std::string& event) {
    return std::find(events.begin(), events.end(), event) - events.begin();
  };
  EXPECT_LT(at("opened " + device.PortPath()), at("found"));
  EXPECT_LT(at("failed /nonexistent/tty at open"), static_cast<long>(events.size()));
  EXPECT_FALSE(discovery.AnyPinging());  // the one port left was handed over
  discovery.Stop();
  EXPECT_TRUE(discovery.PortList().empty());
}

}  // namespace
}  // namespace orvix
