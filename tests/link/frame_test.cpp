#include "link/frame.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace orvix {
namespace {

using Bytes = std::vector<uint8_t>;

RSPacket Ping(uint8_t device) { return RSPacket{6, device, cmdPing, 0, {0x00}}; }

TEST(EncodePacket, PingFramesCarryTheDeviceAndItsChecksum) {
  EXPECT_EQ(EncodePacket(Ping(5)), (Bytes{0xD1, 0x06, 0x05, 0x01, 0x00, 0x00, 0x00, 0x06}));
  EXPECT_EQ(EncodePacket(Ping(255)), (Bytes{0xD1, 0x06, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00}));
}

TEST(EncodePacket, ChecksumFrame) {
  RSPacket p{7, 5, cmdChecksum, 0, {0x34, 0x12}};
  EXPECT_EQ(EncodePacket(p), (Bytes{0xD1, 0x07, 0x05, 0x03, 0x00, 0x00, 0x34, 0x12, 0x4E}));
}

TEST(EncodePacket, WriteBlockFrameIsLittleEndianAndSumsTheBody) {
  RSPacket p{133, 5, cmdWriteBlock, 0x0100, Bytes(128, 0xFF)};
  Bytes f = EncodePacket(p);
  ASSERT_EQ(f.size(), 135u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 6), (Bytes{0xD1, 0x85, 0x05, 0x02, 0x00, 0x01}));
  EXPECT_EQ(Bytes(f.begin() + 6, f.end() - 1), Bytes(128, 0xFF));
  EXPECT_EQ(f.back(), 0x88);
}

TEST(EncodePacket, ShortDataIsPaddedWithZeroNotReadPastItsEnd) {
  RSPacket p{8, 1, 2, 0, {0xAA}};
  EXPECT_EQ(EncodePacket(p), (Bytes{0xD1, 0x08, 0x01, 0x02, 0x00, 0x00, 0xAA, 0x00, 0x00, 0xAD}));
}

TEST(MakePacket, TakesTheLengthFromTheDataItCarries) {
  EXPECT_EQ(EncodePacket(MakePacket(5, cmdPing, 0, {0x00})), EncodePacket(Ping(5)));
  EXPECT_EQ(MakePacket(5, cmdWriteBlock, 0x0100, Bytes(128, 0xFF)).Length, 133);
  EXPECT_EQ(MakePacket(5, cmdChecksum, 0, {0x34, 0x12}).Length, 7);
  EXPECT_EQ(MakePacket(5, cmdPing, 0).Length, 5);
  EXPECT_EQ(EncodePacket(MakePacket(200, 9, 0xFFFF, Bytes(250, 0xD1))).size(), 257u);
  EXPECT_THROW(MakePacket(1, cmdWriteBlock, 0, Bytes(251, 0)), std::length_error);
}

TEST(CheckFrame, AcceptsEncodedFramesAndRejectsAnySingleByteChange) {
  std::vector<RSPacket> packets = {Ping(0), Ping(209), RSPacket{5, 7, 1, 0x1234, {}},
                                   RSPacket{133, 3, 2, 0x0080, Bytes(128, 0x5A)},
                                   RSPacket{255, 200, 9, 0xFFFF, Bytes(250, 0xD1)}};
  for (const auto& p : packets) {
    Bytes f = EncodePacket(p);
    ASSERT_TRUE(CheckFrame(f.data(), static_cast<int>(f.size())));
    for (size_t i = 2; i < f.size(); ++i) {
      for (int delta : {1, 0x80, 0xFF}) {
        Bytes g = f;
        g[i] = static_cast<uint8_t>(g[i] + delta);
        EXPECT_FALSE(CheckFrame(g.data(), static_cast<int>(g.size())))
            << "byte " << i << " of a frame with L=" << int(p.Length);
      }
    }
  }
}

TEST(CheckFrame, DoesNotCoverSyncOrLength) {
  Bytes f = {0x00, 0x99, 0x05, 0x01, 0x00, 0x00, 0x06};
  EXPECT_TRUE(CheckFrame(f.data(), 7));
}

TEST(DecodePacket, SmallestAnswer) {
  Bytes f = {0xD1, 0x05, 0x05, 0x01, 0x00, 0x00, 0x06};
  ASSERT_TRUE(CheckFrame(f.data(), 7));
  RSPacket p = DecodePacket(f.data(), 7);
  EXPECT_EQ(p.Length, 5);
  EXPECT_EQ(p.Device, 5);
  EXPECT_EQ(p.Command, 1);
  EXPECT_EQ(p.Address, 0);
  EXPECT_TRUE(p.Data.empty());
}

TEST(DecodePacket, DataOnlyFromLengthEight) {
  Bytes cs = {0xD1, 0x07, 0x05, 0x03, 0x00, 0x00, 0x34, 0x12, 0x4E};
  EXPECT_TRUE(DecodePacket(cs.data(), 9).Data.empty());
  Bytes six = EncodePacket(Ping(1));
  EXPECT_TRUE(DecodePacket(six.data(), 8).Data.empty());
  Bytes eight = EncodePacket(RSPacket{8, 1, 2, 0xBEEF, {1, 2, 3}});
  RSPacket p = DecodePacket(eight.data(), 10);
  EXPECT_EQ(p.Address, 0xBEEF);
  EXPECT_EQ(p.Data, (Bytes{1, 2, 3}));
}

TEST(DecodePacket, ShortFramesDecodeWhatIsPresentAndZeroTheRest) {
  // A length byte below 4 that came with its sync byte makes the assembler deliver fewer bytes
  // than the header has: nothing past them may be read.
  Bytes two = {0xD1, 0x00};
  RSPacket p = DecodePacket(two.data(), 2);
  EXPECT_EQ(p.Length, 0);
  EXPECT_EQ(p.Device, 0);
  EXPECT_EQ(p.Command, 0);
  EXPECT_EQ(p.Address, 0);
  Bytes four = {0xD1, 0x02, 0x07, 0x03};
  p = DecodePacket(four.data(), 4);
  EXPECT_EQ(p.Device, 7);
  EXPECT_EQ(p.Command, 3);
  EXPECT_EQ(p.Address, 0);
  // A length byte that promises data the frame does not hold: the missing bytes read as 0.
  Bytes lying = {0xD1, 0x09, 0x01, 0x02, 0x03, 0x04, 0xAA};
  p = DecodePacket(lying.data(), 7);
  EXPECT_EQ(p.Data, (Bytes{0xAA, 0, 0, 0}));
}

}  // namespace
}  // namespace orvix
