// The packet channel on a pseudo-terminal whose far end the test plays as the device.
#include "channel/rs_pack.h"

#include <gtest/gtest.h>

#include <memory>

#include "serial/serial_port.h"
#include "tests/channel/line.h"
#include "tests/support/far_end.h"

namespace orvix::testing {
namespace {

const RSPacket kBlock{133, 5, cmdWriteBlock, 0x0100, Bytes(128, 0xA5)};
const Bytes kReply = Frame(5, cmdWriteBlock, 0x0100);  // D1 05 05 02 00 01 08

class Channel : public ::testing::Test {
 protected:
  Channel() {
    ConfigureForDiscovery(port);
    port.SetPort(far.SlavePath());
    port.OpenPort();
    pack = std::make_unique<TRSPack>(&port);
    pack->OnPacket = [this](const uint8_t* frame, int count) {
      packets.emplace_back(frame, frame + count);
    };
  }

  // Sends the block and takes it off the line at the far end, as the device would.
  Clock::time_point SendBlock() {
    const auto sent = Clock::now();
    pack->SendPacket(kBlock);
    EXPECT_EQ(far.Read(135).size(), 135u);
    return sent;
  }

  MainLoop loop;
  FarEnd far;
  TSerialPort port;
  std::unique_ptr<TRSPack> pack;  // after the port: it goes first
  std::vector<Bytes> packets;
};

// ---- The 500 ms frame time-out.

using RSPackTimeOut = Channel;

TEST_F(RSPackTimeOut, ASendWithNoReplyEndsTimedOutAndDoneWithNoPacket) {
  SendBlock();
  EXPECT_FALSE(pack->Done());
  loop.Idle(300ms);  // the time-out cannot have come yet
  EXPECT_FALSE(pack->Done());
  EXPECT_FALSE(pack->TimedOut());
  ASSERT_TRUE(loop.RunUntil([&] { return pack->Done(); }));
  EXPECT_TRUE(pack->TimedOut());
  EXPECT_TRUE(packets.empty());
}

TEST_F(RSPackTimeOut, AReplyInTimeIsDeliveredOnceAndStopsTheTimer) {
  SendBlock();
  far.Write(kReply);
  ASSERT_TRUE(loop.RunUntil([&] { return !packets.empty(); }));
  EXPECT_EQ(packets, std::vector<Bytes>{kReply});
  EXPECT_TRUE(pack->Done());
  EXPECT_FALSE(pack->TimedOut());
  // A timer left running would mark the exchange timed out at 500 ms.
  loop.Idle(700ms);
  EXPECT_FALSE(pack->TimedOut());
  EXPECT_EQ(packets.size(), 1u);
}

TEST_F(RSPackTimeOut, AReplySplitAcrossTheTimeOutIsLost) {
  const auto sent = SendBlock();
  loop.IdleUntil(sent + 300ms);
  far.Write(Bytes(kReply.begin(), kReply.begin() + 3));
  // The chunk does not restart the count: 500 ms from the send, not from the chunk.
  loop.IdleUntil(sent + 650ms);
  EXPECT_TRUE(pack->TimedOut());
  far.Write(Bytes(kReply.begin() + 3, kReply.end()));
  loop.Idle(300ms);
  EXPECT_TRUE(packets.empty());
  EXPECT_TRUE(pack->TimedOut());

  // The dropped tail left nothing behind: the next whole frame comes through as it is.
  far.Write(kReply);
  ASSERT_TRUE(loop.RunUntil([&] { return !packets.empty(); }));
  EXPECT_EQ(packets, std::vector<Bytes>{kReply});
}

TEST_F(RSPackTimeOut, AWholeReplyAfterTheTimeOutIsDeliveredAndClearsTimedOut) {
  const auto sent = SendBlock();
  ASSERT_TRUE(loop.RunUntil([&] { return pack->TimedOut(); }));
  loop.IdleUntil(sent + 700ms);
  far.Write(kReply);
  ASSERT_TRUE(loop.RunUntil([&] { return !packets.empty(); }));
  EXPECT_EQ(packets, std::vector<Bytes>{kReply});
  EXPECT_FALSE(pack->TimedOut());
  EXPECT_TRUE(pack->Done());
}

// ---- Frames out and in.

using RSPackFrames = Channel;

TEST_F(RSPackFrames, OnFrameSentSeesExactlyTheBytesThenWritten) {
  std::vector<Bytes> reported;
  pack->OnFrameSent = [&](const uint8_t* frame, int count) {
    reported.emplace_back(frame, frame + count);
  };
  pack->SendPacket(kBlock);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].size(), 135u);
  EXPECT_EQ(reported[0], EncodePacket(kBlock));
  EXPECT_EQ(far.Read(135), reported[0]);
  EXPECT_TRUE(far.Read(1, 100ms).empty());
}

// The frame log follows the line: a frame whose write failed never went out, so it is not told.
TEST_F(RSPackFrames, AFrameWhoseWriteFailsIsNotReportedAndStartsNoTimer) {
  int reported = 0;
  pack->OnFrameSent = [&](const uint8_t*, int) { ++reported; };
  port.ClosePort();
  EXPECT_THROW(pack->SendPacket(kBlock), ESerialPort);
  EXPECT_EQ(reported, 0);
  loop.Idle(700ms);
  EXPECT_FALSE(pack->TimedOut());
}

TEST_F(RSPackFrames, TwoFramesInOneChunkArriveAsTwoPacketsInOrder) {
  Bytes bad_checksum = Frame(5, cmdChecksum, 0);
  bad_checksum.back() ^= 0xFF;  // delivered all the same: checking it is the owner's business
  far.Write(Concat({kReply, bad_checksum}));
  ASSERT_TRUE(loop.RunUntil([&] { return packets.size() >= 2; }));
  EXPECT_EQ(packets, (std::vector<Bytes>{kReply, bad_checksum}));
}

TEST_F(RSPackFrames, WithNoEventsAssignedItStillSendsAndReceives) {
  pack->OnPacket = nullptr;
  pack->SendPacket(kBlock);
  EXPECT_EQ(far.Read(135), EncodePacket(kBlock));
  far.Write(kReply);
  ASSERT_TRUE(loop.RunUntil([&] { return pack->Done(); }));
  EXPECT_FALSE(pack->TimedOut());
  loop.Idle(700ms);  // the frame stopped the timer
  EXPECT_FALSE(pack->TimedOut());
}

// ---- Lifetime.

using RSPackLifetime = Channel;

TEST_F(RSPackLifetime, NoChunkReachesADestroyedChannel) {
  int delivered = 0;
  pack->OnPacket = [&](const uint8_t*, int) { ++delivered; };
  pack->SendPacket(kBlock);
  pack.reset();  // the port stays open, as in the exchange's teardown
  far.Write(kReply);
  ASSERT_TRUE(loop.RunUntil([&] { return port.BytesWaiting() == 7; }));
  loop.Idle(200ms);  // the receive report reaches the main thread
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(port.BytesWaiting(), 7);  // nobody read them
}

}  // namespace
}  // namespace orvix::testing
