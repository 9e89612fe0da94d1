// Discovery on pseudo-terminals: the simulator or a far end the test plays answers the pings.
#include "channel/com_ping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "serial/serial_port.h"
#include "tests/channel/line.h"
#include "tests/support/far_end.h"
#include "tests/support/process_counts.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::testing {
namespace {

using devsim::DeviceSimulator;
using devsim::FrameSelector;
using devsim::SimOptions;

const Bytes kAnswer = Frame(5, cmdPing, 0);  // D1 05 05 01 00 00 06

struct Report {
  TComPing* ping;
  TCustomSerialPort* port;
  bool connected;
};

// Records each report and hands the port over as the exchange does, so that later bytes no
// longer reach discovery.
void Watch(TComPing& ping, std::vector<Report>& reports) {
  ping.OnDeviceFound = [&reports, &ping](TCustomSerialPort* port) {
    reports.push_back({&ping, port, port->Connected()});
    port->OnRxChar = nullptr;
  };
}

SimOptions Silent() {
  SimOptions options;
  options.silent = true;
  return options;
}

class Discovery : public ::testing::Test {
 protected:
  // Waits for the thread's first ping at the far end: the port is then open and pinging.
  static void AwaitFirstPing(FarEnd& far) { ASSERT_EQ(far.Read(8).size(), 8u); }

  MainLoop loop;
  std::vector<Report> reports;
};

// ---- The answer.

using ComPingAnswer = Discovery;

TEST_F(ComPingAnswer, ADeviceOnOneOfThreePortsIsReportedOnceWithItsOpenPort) {
  SimOptions answers_once;  // so no second answer can share a chunk with the first
  answers_once.drop = {FrameSelector{cmdPing, 2, true}};
  DeviceSimulator quiet1(Silent()), device(answers_once), quiet2(Silent());
  std::vector<std::unique_ptr<TComPing>> pings;
  for (auto* sim : {&quiet1, &device, &quiet2}) {
    pings.push_back(StartThread<TComPing>(sim->PortPath(), 5));
    Watch(*pings.back(), reports);
  }

  ASSERT_TRUE(loop.RunUntil([&] { return !reports.empty(); }));
  // The answering port's loop ends; one ping may already have been past its test.
  ASSERT_TRUE(loop.RunUntil([&] { return pings[1]->Finished(); }));
  loop.Idle(50ms);
  const int device_pings = device.Pings();
  const int quiet_pings[] = {quiet1.Pings(), quiet2.Pings()};
  loop.Idle(300ms);

  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].ping, pings[1].get());
  EXPECT_EQ(reports[0].port, pings[1]->SerialPort());
  EXPECT_TRUE(reports[0].connected);
  EXPECT_TRUE(pings[1]->SerialPort()->Connected());  // left open for the packet channel
  EXPECT_EQ(device.Pings(), device_pings);
  EXPECT_GT(quiet1.Pings(), quiet_pings[0]);
  EXPECT_GT(quiet2.Pings(), quiet_pings[1]);
  EXPECT_TRUE(pings[0]->Pinging());
  EXPECT_TRUE(pings[2]->Pinging());
}

TEST_F(ComPingAnswer, TwoAnswersInOneChunkReportTwiceWithTheSamePort) {
  FarEnd far;
  TStarted<TComPing> ping(far.SlavePath(), 5);
  Watch(ping, reports);
  AwaitFirstPing(far);
  far.Write(Concat({kAnswer, kAnswer}));
  ASSERT_TRUE(loop.RunUntil([&] { return reports.size() >= 2; }));
  loop.Idle(100ms);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].port, ping.SerialPort());
  EXPECT_EQ(reports[1].port, ping.SerialPort());
}

TEST_F(ComPingAnswer, AnyDeviceNumberAndAnyChecksumAreTaken) {
  Bytes bad_checksum = kAnswer;
  bad_checksum.back() ^= 0xFF;
  const Bytes other_device = Frame(9, cmdPing, 0);
  for (const Bytes& answer : {bad_checksum, other_device}) {
    SCOPED_TRACE(::testing::PrintToString(answer));
    reports.clear();
    FarEnd far;
    TStarted<TComPing> ping(far.SlavePath(), 5);
    Watch(ping, reports);
    AwaitFirstPing(far);
    far.Write(answer);
    ASSERT_TRUE(loop.RunUntil([&] { return !reports.empty(); }));
    EXPECT_EQ(reports[0].port, ping.SerialPort());
  }
}

// ---- What is not an answer.

using ComPingIgnored = Discovery;

TEST_F(ComPingIgnored, AnEchoingLineIsNotAnAnswerAndPingingGoesOn) {
  SimOptions loop_back = Silent();
  loop_back.echo = true;
  DeviceSimulator line(loop_back);
  TStarted<TComPing> ping(line.PortPath(), 5);
  Watch(ping, reports);
  ASSERT_TRUE(loop.RunUntil([&] { return line.Pings() >= 1; }));
  const int before = line.Pings();
  loop.Idle(400ms);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(ping.Pinging());
  EXPECT_GT(line.Pings(), before);
}

TEST_F(ComPingIgnored, SevenByteFramesOfAnotherCommandAreNotAnswers) {
  FarEnd far;
  TStarted<TComPing> ping(far.SlavePath(), 5);
  Watch(ping, reports);
  AwaitFirstPing(far);
  far.Write(Concat({Frame(5, cmdWriteBlock, 0), Frame(5, cmdChecksum, 0)}));
  loop.Idle(300ms);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(ping.Pinging());
  EXPECT_GE(far.Read(16, 1s).size(), 16u);  // still pinging
}

TEST_F(ComPingIgnored, AStraySyncByteGivesThePortUpAfterTheFrameTimeOut) {
  FarEnd far;
  TStarted<TComPing> ping(far.SlavePath(), 5);
  Watch(ping, reports);
  AwaitFirstPing(far);
  far.Write(Bytes{0xD1, 0x05, 0x05});
  loop.Idle(100ms);  // the 200 ms count starts at the chunk: not over yet
  EXPECT_TRUE(ping.Pinging());
  ASSERT_TRUE(loop.RunUntil([&] { return ping.Finished(); }));
  EXPECT_FALSE(ping.Pinging());
  EXPECT_TRUE(reports.empty());
  far.Read(4096, 100ms);
  EXPECT_TRUE(far.Read(1, 300ms).empty());      // no more pings
  EXPECT_TRUE(ping.SerialPort()->Connected());  // closing it is the owner's business
}

TEST_F(ComPingIgnored, BytesAfterRequestStopAreReadAndDroppedEvenAWholeAnswer) {
  FarEnd far;
  TStarted<TComPing> ping(far.SlavePath(), 5);
  Watch(ping, reports);
  AwaitFirstPing(far);
  ping.RequestStop();
  ASSERT_TRUE(loop.RunUntil([&] { return ping.Finished(); }));
  far.Write(kAnswer);
  loop.Idle(300ms);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(ping.SerialPort()->BytesWaiting(), 0);
}

// ---- Ports and the wire.

using ComPingPorts = Discovery;

TEST_F(ComPingPorts, APortThatCannotBeOpenedIsSkippedSilently) {
  FarEnd held;
  const int holder = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

  for (const std::string& path : {std::string("/dev/orvix-no-such-port"), held.SlavePath()}) {
    SCOPED_TRACE(path);
    TStarted<TComPing> ping(path, 5);
    Watch(ping, reports);
    ASSERT_TRUE(loop.RunUntil([&] { return ping.Finished(); }));
    EXPECT_FALSE(ping.Pinging());
    EXPECT_FALSE(ping.SerialPort()->Connected());
    EXPECT_FALSE(EnglishText(ping.FailureCause()).empty());
  }
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(held.Read(1, 100ms).empty());
  // The other opener keeps the port.
  const int second = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(second, 0);
  EXPECT_NE(flock(second, LOCK_EX | LOCK_NB), 0);
  close(second);
  close(holder);
}

TEST_F(ComPingPorts, ThePingFrameGoesOutAgainAndAgainAt57600Baud) {
  for (const auto& [device, ping_bytes] :
       {std::pair<uint8_t, Bytes>{5, {0xD1, 0x06, 0x05, 0x01, 0x00, 0x00, 0x00, 0x06}},
        std::pair<uint8_t, Bytes>{255, {0xD1, 0x06, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00}}}) {
    FarEnd far;
    TStarted<TComPing> ping(far.SlavePath(), device);
    EXPECT_EQ(far.Read(24), Concat({ping_bytes, ping_bytes, ping_bytes}));
    EXPECT_EQ(far.BitRate(), 57600u);
  }
}

// ---- Lifetime.

using ComPingLifetime = Discovery;

// Destruction may come at any point of the body: opening, writing, sleeping. It must end the
// thread before the port goes, and received bytes still on their way to the main thread must
// not reach a discovery object that is being torn down.
TEST_F(ComPingLifetime, DestructionEndsTheThreadBeforeReleasingThePort) {
  std::thread([] {}).join();  // a sanitizer's runtime adds a helper thread at the first thread
  const int tasks = ThreadsOf("self");
  const int descriptors = OpenDescriptorsOf("self");
  for (int round = 0; round < 20; ++round) {
    FarEnd far;
    std::atomic<bool> streaming{true};
    std::thread noise([&] {
      while (streaming) {
        far.Write(Bytes{0x00});
        std::this_thread::sleep_for(200us);
      }
    });
    {
      TStarted<TComPing> ping(far.SlavePath(), 5);
      if (round % 2 == 1) AwaitFirstPing(far);
      loop.Idle(std::chrono::milliseconds(round * 3));
    }
    streaming = false;
    noise.join();
  }
  EXPECT_EQ(ThreadsOf("self"), tasks);
  EXPECT_EQ(OpenDescriptorsOf("self"), descriptors);
}

}  // namespace
}  // namespace orvix::testing
