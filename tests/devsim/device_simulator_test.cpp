#include "tools/devsim/device_simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/far_end.h"
#include "tests/support/frames.h"
#include "tests/support/simulated_ports.h"

namespace orvix::devsim {
namespace {

using namespace std::chrono_literals;
using namespace orvix::testing;

Bytes Image(size_t size) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  return image;
}

// ---- What the programmer relies on.

TEST(DevSimAnswers, PingOfAnyLengthGetsTheSevenByteAnswerWithTheHostsNumber) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  ASSERT_TRUE(host.Open());
  host.Send(Ping(5));
  EXPECT_EQ(host.Read(7), (Bytes{0xD1, 0x05, 0x05, 0x01, 0x00, 0x00, 0x06}));
  host.Send(Frame(255, cmdPing, 0));
  EXPECT_EQ(host.Read(7), (Bytes{0xD1, 0x05, 0xFF, 0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(sim.Pings(), 2);
}

TEST(DevSimAnswers, WithADeviceNumberFramesForOtherNumbersAreIgnored) {
  SimOptions options;
  options.device = 7;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  host.Send(Concat({Ping(5), Block(5, 0, Image(128)), Ping(7)}));
  EXPECT_EQ(host.Read(7), Answer(7, cmdPing));
  EXPECT_EQ(sim.IgnoredFrames(), 2);
  EXPECT_EQ(sim.Pings(), 1);
  EXPECT_FALSE(sim.Written());
}

TEST(DevSimMemory, BlocksAreStoredAndTheChecksumOfAShortImageMatches) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  const Bytes image = Image(200);  // the second block is padded with 0xFF
  host.Send(Block(3, 0x0000, image));
  EXPECT_EQ(host.Read(7), Answer(3, cmdWriteBlock, 0x0000));
  host.Send(Block(3, 0x0080, image));
  EXPECT_EQ(host.Read(7), Answer(3, cmdWriteBlock, 0x0080));
  host.Send(Checksum(3, Sum(image)));
  EXPECT_EQ(host.Read(7), Answer(3, cmdChecksum));
  ASSERT_TRUE(sim.WaitRunComplete(5s));

  const Bytes memory = sim.Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_EQ(memory[200], 0xFF);
  EXPECT_EQ(memory[0x100], 0xFF);  // never written: erased
  ASSERT_TRUE(sim.Written());
  EXPECT_EQ(sim.Written()->lowest, 0x0000);
  EXPECT_EQ(sim.Written()->highest, 0x00FF);
  EXPECT_EQ(sim.BlockCount(0x0000), 1);
  EXPECT_EQ(sim.BlockCount(0x0080), 1);

  const std::vector<RunResult> runs = sim.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].block_frames, 2);
  EXPECT_EQ(runs[0].checksum.received, Sum(image));
  EXPECT_TRUE(runs[0].checksum.matched);
  EXPECT_EQ(runs[0].checksum.covered_end, 199);
  EXPECT_EQ(runs[0].checksum.memory_sum, static_cast<uint16_t>(Sum(image) + 56 * 0xFF));
}

TEST(DevSimMemory, AWrongChecksumIsAnsweredButReportedAsNotMatching) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  const Bytes image = Image(256);
  host.Send(Block(0, 0x0000, image));
  host.Send(Block(0, 0x0080, image));
  host.Read(14);
  host.Send(Checksum(0, static_cast<uint16_t>(Sum(image) + 1)));
  EXPECT_EQ(host.Read(7), Answer(0, cmdChecksum));
  ASSERT_TRUE(sim.WaitRunComplete(5s));
  const ChecksumReport report = *sim.LastChecksum();
  EXPECT_FALSE(report.matched);
  EXPECT_EQ(report.received, static_cast<uint16_t>(Sum(image) + 1));
  EXPECT_EQ(report.memory_sum, Sum(image));
}

TEST(DevSimMemory, ABlockAtTheTopWrapsToAddressZero) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  Bytes image(0x10040);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i % 251);
  Bytes block = Block(1, 0xFFC0, image);
  host.Send(block);
  EXPECT_EQ(host.Read(7), Answer(1, cmdWriteBlock, 0xFFC0));
  const Bytes memory = sim.Memory();
  EXPECT_EQ(memory[0xFFFF], block[6 + 63]);
  EXPECT_EQ(memory[0x0000], block[6 + 64]);
  EXPECT_EQ(memory[0x003F], block[6 + 127]);
  EXPECT_EQ(memory[0x0040], 0xFF);
  EXPECT_EQ(sim.Written()->lowest, 0x0000);
  EXPECT_EQ(sim.Written()->highest, 0xFFFF);
}

TEST(DevSimMemory, TheFirstBlockAfterACompletedRunStartsTheNextRun) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  const Bytes image = Image(128);
  host.Send(Block(2, 0, image));
  host.Read(7);
  host.Send(Checksum(2, Sum(image)));
  host.Read(7);
  ASSERT_TRUE(sim.WaitRunComplete(5s));
  host.Send(Checksum(2, Sum(image)));  // a resend, as when the reply was lost: the same run
  host.Read(7);

  host.Send(Block(2, 0x0200, image));
  host.Read(7);
  EXPECT_EQ(sim.Written()->lowest, 0x0200);
  EXPECT_EQ(sim.Written()->highest, 0x027F);
  EXPECT_EQ(sim.BlockCount(0), 0);
  EXPECT_FALSE(sim.LastChecksum());
  EXPECT_EQ(sim.Memory()[5], image[5]);  // memory outlives the run
  EXPECT_EQ(sim.RunsCompleted(), 1);
  EXPECT_EQ(sim.FrameCount(cmdWriteBlock), 2);
}

// ---- Frames the device does not take.

TEST(DevSimFrames, AFrameWithABadChecksumGetsNoReplyAndIsNotStored) {
  DeviceSimulator sim;
  FarEnd host(sim.PortPath());
  Bytes bad = Block(4, 0, Image(128));
  bad.back() ^= 0x01;
  host.Send(Concat({bad, Block(4, 0x0080, Image(256)), Ping(4)}));
  EXPECT_EQ(host.Read(14), Concat({Answer(4, cmdWriteBlock, 0x0080), Answer(4, cmdPing)}));
  EXPECT_EQ(sim.BadFrames(), 1);
  EXPECT_EQ(sim.BlockCount(0), 0);
}

TEST(DevSimFrames, APartialFrameIsDroppedAfterTheFrameTimeOut) {
  SimOptions options;
  options.frame_timeout_ms = 50;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes block = Block(4, 0, Image(128));
  host.Send(Bytes(block.begin(), block.begin() + 10));
  std::this_thread::sleep_for(200ms);
  // Without the time-out this ping would be taken as the rest of the block.
  host.Send(Ping(4));
  EXPECT_EQ(host.Read(7), Answer(4, cmdPing));
  EXPECT_EQ(sim.FrameCount(cmdWriteBlock), 0);
}

// ---- Faults.

TEST(DevSimFaults, DropOnceLosesOnlyTheReplyToThatFrame) {
  SimOptions options;
  options.drop = {ParseFrameSelector("block:2")};
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(256);
  host.Send(Block(1, 0x0000, image));
  host.Send(Block(1, 0x0080, image));
  host.Send(Block(1, 0x0080, image));  // the resend
  host.Send(Ping(1));
  EXPECT_EQ(host.Read(21), Concat({Answer(1, cmdWriteBlock, 0x0000),
                                   Answer(1, cmdWriteBlock, 0x0080), Answer(1, cmdPing)}));
  EXPECT_EQ(sim.BlockCount(0x0080), 2);
  EXPECT_EQ(sim.DroppedReplies(), 1);
}

TEST(DevSimFaults, ACorruptedChecksumReplyFailsTheCheckAndDoesNotEndTheRun) {
  SimOptions options;
  options.corrupt_checksum = {ParseFrameSelector("checksum:1")};
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(128);
  host.Send(Block(6, 0, image));
  host.Read(7);
  host.Send(Checksum(6, Sum(image)));
  const Bytes corrupted = host.Read(7);
  ASSERT_EQ(corrupted.size(), 7u);
  EXPECT_FALSE(CheckFrame(corrupted.data(), 7));
  EXPECT_EQ(sim.RunsCompleted(), 0);

  host.Send(Checksum(6, Sum(image)));
  EXPECT_EQ(host.Read(7), Answer(6, cmdChecksum));
  EXPECT_TRUE(sim.WaitRunComplete(5s));
}

TEST(DevSimFaults, RepliesCarryTheDeviceNumberAndCommandAskedFor) {
  SimOptions options;
  options.other_device = {{ParseFrameSelector("block:1"), -1}};
  options.reply_command = {{ParseFrameSelector("block:2"), cmdChecksum}};
  options.garbage = {{ParseFrameSelector("ping:1"), 5}};
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(256);
  host.Send(Block(8, 0x0000, image));
  EXPECT_EQ(host.Read(7), Answer(9, cmdWriteBlock, 0x0000));
  host.Send(Block(8, 0x0080, image));
  EXPECT_EQ(host.Read(7), Answer(8, cmdChecksum, 0x0080));
  host.Send(Ping(8));
  const Bytes noise = host.Read(5);
  ASSERT_EQ(noise.size(), 5u);
  EXPECT_EQ(noise.back(), kFrameSync);
  host.Send(Ping(8));
  EXPECT_EQ(host.Read(7), Answer(8, cmdPing));
}

TEST(DevSimFaults, EchoWithSilenceIsALoopedBackLine) {
  SimOptions options;
  options.echo = true;
  options.silent = true;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes block = Block(1, 0, Image(128));
  host.Send(Ping(1));
  EXPECT_EQ(host.Read(8), Ping(1));
  host.Send(block);
  EXPECT_EQ(host.Read(135), block);
  host.Send(Ping(2));
  EXPECT_EQ(host.Read(8), Ping(2));  // nothing came between the echoes
  EXPECT_EQ(sim.Pings(), 2);
  EXPECT_EQ(sim.BlockCount(0), 1);  // the device still hears
}

TEST(DevSimFaults, EchoAloneIsHeardBeforeTheDevicesReply) {
  SimOptions options;
  options.echo = true;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(15), Concat({Ping(3), Answer(3, cmdPing)}));
}

TEST(DevSimFaults, HangUpClosesTheLineWhenTheNextBlockArrives) {
  SimOptions options;
  options.hang_up_after_blocks = 1;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(256);
  host.Send(Block(1, 0x0000, image));
  EXPECT_EQ(host.Read(7), Answer(1, cmdWriteBlock, 0x0000));
  host.Send(Block(1, 0x0080, image));
  EXPECT_TRUE(host.Read(1).empty());
  EXPECT_TRUE(host.hung_up);
  EXPECT_TRUE(sim.WaitUntil([&] { return sim.Ended(); }, 5s));
  EXPECT_TRUE(sim.HungUp());
  EXPECT_EQ(sim.BlockCount(0x0080), 0);
  EXPECT_TRUE(sim.LineError().empty());
}

TEST(DevSimFaults, SplitRepliesArriveInPieces) {
  SimOptions options;
  options.split_bytes = 2;
  options.split_gap_ms = 40;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_GE(host.reads, 2);
}

TEST(DevSimFaults, ABusyDeviceLosesWhatArrivesAfterABlockAndRepliesOnceFree) {
  SimOptions options;
  options.busy_after_block_ms = 150;
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(256);
  const auto start = std::chrono::steady_clock::now();
  host.Send(Concat({Block(3, 0x0000, image), Block(3, 0x0080, image)}));
  EXPECT_EQ(host.Read(7), Answer(3, cmdWriteBlock, 0x0000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_EQ(sim.LostBytes(), 135);
  EXPECT_EQ(sim.BlockCount(0x0080), 0);
  // Free again once it has replied.
  host.Send(Block(3, 0x0080, image));
  EXPECT_EQ(host.Read(7), Answer(3, cmdWriteBlock, 0x0080));
  EXPECT_EQ(sim.BlockCount(0x0080), 1);
}

TEST(DevSimFaults, TwiceSendsTheReplyAgainInAWriteOfItsOwn) {
  SimOptions options;
  options.twice = {{ParseFrameSelector("ping"), 100}};
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const auto start = std::chrono::steady_clock::now();
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_EQ(sim.Pings(), 1);
  host.Send(Block(3, 0x0000, Image(128)));
  EXPECT_EQ(host.Read(7), Answer(3, cmdWriteBlock));
  EXPECT_TRUE(host.Read(1, 300ms).empty());  // only the selected frames' replies come twice
}

TEST(DevSimFaults, ABoardPutInLaterHearsNothingBeforeItsTime) {
  SimOptions options;
  options.answer_after_ms = 1500;
  const auto start = std::chrono::steady_clock::now();
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  host.Send(Concat({Ping(3), Block(3, 0x0000, Image(128)), Checksum(3, 0)}));
  EXPECT_TRUE(host.Read(1, 300ms).empty());
  std::this_thread::sleep_until(start + 1600ms);
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_EQ(sim.Pings(), 1);
  EXPECT_EQ(sim.FrameCount(cmdWriteBlock), 0);
  EXPECT_EQ(sim.FrameCount(cmdChecksum), 0);
  EXPECT_EQ(sim.BadFrames(), 0);  // nothing half-heard either
  EXPECT_FALSE(sim.Written());
}

// Lower bounds only: a slow machine cannot make these fail.
TEST(DevSimTiming, APacedLineTakesTenBitsPerByteEachWay) {
  SimOptions options;
  options.baud = 1200;  // 8.3 ms a byte; the ping and its answer are 15 bytes
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const auto start = std::chrono::steady_clock::now();
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms);
}

TEST(DevSimTiming, ADelayedReplyComesNoSoonerThanAsked) {
  SimOptions options;
  options.delay = {{ParseFrameSelector("ping"), 150}};
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const auto start = std::chrono::steady_clock::now();
  host.Send(Ping(3));
  EXPECT_EQ(host.Read(7), Answer(3, cmdPing));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

// The times benchmarks divide by: lower bounds and the line's own arithmetic, which a slow
// machine cannot break. The host waits after the ping answer as the programmer's quiet start
// does; that wait is the run's, not the host's turnaround.
TEST(DevSimTiming, ARunsTimesStartAtTheFirstBlockAndTheQuietStartIsNoTurnaround) {
  SimOptions options;
  options.baud = 9600;
  const auto byte = std::chrono::nanoseconds(10'000'000'000LL / options.baud);
  DeviceSimulator sim(options);
  FarEnd host(sim.PortPath());
  const Bytes image = Image(128);
  const Bytes block = Block(3, 0x0000, image);
  host.Send(Ping(3));
  ASSERT_EQ(host.Read(7), Answer(3, cmdPing));
  std::this_thread::sleep_for(100ms);
  for (int run = 0; run < 2; ++run) {  // the second run has no ping before it
    host.Send(block);
    ASSERT_EQ(host.Read(7), Answer(3, cmdWriteBlock, 0x0000));
    host.Send(Checksum(3, Sum(image)));
    ASSERT_EQ(host.Read(7), Answer(3, cmdChecksum));
    ASSERT_TRUE(sim.WaitRunComplete(5s, run + 1));
  }

  const std::vector<RunResult> runs = sim.Runs();
  ASSERT_EQ(runs.size(), 2u);
  const RunTimes& first = runs[0].times;
  ASSERT_TRUE(first.answered && first.first_block_start && first.first_block_end);
  EXPECT_GE(*first.first_block_start - *first.answered, 100ms);
  EXPECT_EQ(*first.first_block_end - *first.first_block_start, byte * block.size());
  // Between them: the block's reply and the checksum frame crossed the line; then its reply.
  EXPECT_GE(first.checksum_end - *first.first_block_end, byte * (7 + 9));
  EXPECT_GE(first.ended - first.checksum_end, byte * 7);

  const RunTimes& second = runs[1].times;
  EXPECT_FALSE(second.answered);
  ASSERT_TRUE(second.first_block_start);
  EXPECT_GT(*second.first_block_start, first.ended);
  // One turnaround a block, from its reply to the next frame; none after the ping answer.
  EXPECT_EQ(sim.Times().host_gaps, 2);
}

// The transmitter's schedule, on made-up times: a paced reply's last byte must leave when it is
// due, however the bytes before it were gathered.
TEST(DevSimTiming, GatheredBytesNeverHoldBackTheLastByteOfAReply) {
  using Clock = TxQueue::Clock;
  const auto byte = 100us;
  const auto t0 = Clock::time_point{} + 1h;
  TxQueue reply(byte);
  reply.Push(Bytes(7, 0x55), t0, 0, {});
  // Far off: wake for the first byte.
  EXPECT_EQ(reply.NextWake(t0 - 5ms, 1ms), t0 + byte);
  // Every byte is due within the tick: they wait for the last one, not for the whole tick.
  EXPECT_EQ(reply.NextWake(t0, 1ms), t0 + 7 * byte);

  TxQueue longer(byte);
  longer.Push(Bytes(30, 0x55), t0, 0, {});
  EXPECT_EQ(longer.NextWake(t0, 1ms), t0 + 1ms);
  ASSERT_EQ(longer.Due(t0 + 1ms).size(), 10u);
  longer.Consume(10);
  EXPECT_EQ(longer.NextWake(t0 + 2900us, 1ms), t0 + 30 * byte);

  TxQueue unpaced(Clock::duration::zero());
  EXPECT_FALSE(unpaced.NextWake(t0, 1ms));
  unpaced.Push(Bytes(7, 0x55), t0, 0, {});
  EXPECT_EQ(unpaced.NextWake(t0 - 5ms, 1ms), t0);
}

// ---- The helper other tests use.

TEST(DevSimPorts, NamesTheDevicesInOrvixPortsAndPutsTheVariableBack) {
  setenv("ORVIX_PORTS", "COM1=/dev/ttyS0", 1);
  {
    SimulatedPorts ports;
    DeviceSimulator& device = ports.Add("COM3", {});
    ports.Map("COM5", "/dev/no-such-port");
    EXPECT_EQ(std::string(getenv("ORVIX_PORTS")),
              "COM3=" + device.PortPath() + ";COM5=/dev/no-such-port");
    FarEnd host(device.PortPath());
    host.Send(Ping(1));
    EXPECT_EQ(host.Read(7), Answer(1, cmdPing));
  }
  EXPECT_EQ(std::string(getenv("ORVIX_PORTS")), "COM1=/dev/ttyS0");
  unsetenv("ORVIX_PORTS");
}

// ---- Choosing frames for faults.

TEST(DevSimSelector, PicksTheNthFrameOfAKindOrEveryOneFromThereOn) {
  const FrameSelector third_block = ParseFrameSelector("block:3");
  EXPECT_FALSE(third_block.Matches(cmdWriteBlock, 2, 9));
  EXPECT_TRUE(third_block.Matches(cmdWriteBlock, 3, 9));
  EXPECT_FALSE(third_block.Matches(cmdWriteBlock, 4, 9));
  EXPECT_FALSE(third_block.Matches(cmdPing, 3, 9));

  const FrameSelector checksums = ParseFrameSelector("checksum:2+");
  EXPECT_FALSE(checksums.Matches(cmdChecksum, 1, 5));
  EXPECT_TRUE(checksums.Matches(cmdChecksum, 2, 5));
  EXPECT_TRUE(checksums.Matches(cmdChecksum, 7, 5));

  const FrameSelector second_of_all = ParseFrameSelector("any:2");
  EXPECT_TRUE(second_of_all.Matches(cmdPing, 1, 2));
  EXPECT_FALSE(second_of_all.Matches(cmdPing, 2, 3));

  const FrameSelector pings = ParseFrameSelector("ping");
  EXPECT_TRUE(pings.Matches(cmdPing, 1, 1));
  EXPECT_TRUE(pings.Matches(cmdPing, 40, 40));
  EXPECT_EQ(ParseFrameSelector("7:1").command, 7);
}

TEST(DevSimSelector, RejectsTextItCannotRead) {
  for (const char* text : {"blok:1", "block:0", "block:x", "block:", "300", "block:2++", ""}) {
    EXPECT_THROW(ParseFrameSelector(text), std::invalid_argument) << text;
  }
}

}  // namespace
}  // namespace orvix::devsim
