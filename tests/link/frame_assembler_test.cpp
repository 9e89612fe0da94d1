#include "link/frame_assembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/frame.h"

namespace orvix {
namespace {

using Bytes = std::vector<uint8_t>;

// Plays the owner: keeps a timer flag and the frames delivered.
class AssemblerOwner {
 public:
  AssemblerOwner()
      : assembler({[this] { timer_running = false; }, [this] { timer_running = true; },
                   [this](const uint8_t* f, int n) { frames.emplace_back(f, f + n); },
                   [this] { return stop; }}) {}

  void Feed(const Bytes& chunk) { assembler.Feed(chunk.data(), static_cast<int>(chunk.size())); }

  FrameAssembler assembler;
  std::vector<Bytes> frames;
  bool timer_running = false;
  bool stop = false;
};

const Bytes kAnswer = {0xD1, 0x05, 0x05, 0x01, 0x00, 0x00, 0x06};
const Bytes kPing = {0xD1, 0x06, 0x05, 0x01, 0x00, 0x00, 0x00, 0x06};

TEST(FrameAssembler, TwoFramesInOneChunkAfterStrayBytes) {
  AssemblerOwner o;
  Bytes chunk = {0x00, 0x13, 0x77};
  chunk.insert(chunk.end(), kAnswer.begin(), kAnswer.end());
  chunk.insert(chunk.end(), kAnswer.begin(), kAnswer.end());
  o.Feed(chunk);
  ASSERT_EQ(o.frames.size(), 2u);
  EXPECT_EQ(o.frames[0], kAnswer);
  EXPECT_EQ(o.frames[1], kAnswer);
  EXPECT_FALSE(o.assembler.InFrame());
  EXPECT_FALSE(o.timer_running);
}

TEST(FrameAssembler, FrameSplitByteByByte) {
  AssemblerOwner o;
  Bytes block = EncodePacket(RSPacket{133, 9, 2, 0x0080, Bytes(128, 0xD1)});
  for (size_t i = 0; i < block.size(); ++i) {
    o.Feed({block[i]});
    if (i + 1 < block.size()) {
      EXPECT_TRUE(o.timer_running) << i;
    }
  }
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], block);
  EXPECT_FALSE(o.timer_running);
}

TEST(FrameAssembler, ProvisionalSevenIsRaisedByALateLengthByte) {
  AssemblerOwner o;
  o.Feed({0xD1});
  EXPECT_TRUE(o.assembler.InFrame());
  EXPECT_EQ(o.assembler.Expected(), 7);
  EXPECT_TRUE(o.timer_running);
  o.Feed({0x06, 0x05, 0x01, 0x00, 0x00, 0x00});
  EXPECT_EQ(o.assembler.Expected(), 8);
  EXPECT_TRUE(o.frames.empty());
  o.Feed({0x06});
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], kPing);
}

TEST(FrameAssembler, SyncLastInAChunkWaitsForItsLength) {
  AssemblerOwner o;
  o.Feed({0x00, 0xD1});
  EXPECT_EQ(o.assembler.Expected(), 7);
  o.Feed(Bytes(kPing.begin() + 1, kPing.end()));
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], kPing);
}

TEST(FrameAssembler, LateLengthBelowFiveLeavesTheProvisionalSeven) {
  AssemblerOwner o;
  o.Feed({0xD1});
  o.Feed({0x03, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], (Bytes{0xD1, 0x03, 0x01, 0x02, 0x03, 0x04, 0x05}));
}

TEST(FrameAssembler, ShortLengthInTheSameChunkDeliversAShortFrame) {
  AssemblerOwner o;
  o.Feed({0xD1, 0x00, 0xD1, 0x05, 0x05, 0x01, 0x00, 0x00, 0x06});
  ASSERT_EQ(o.frames.size(), 2u);
  EXPECT_EQ(o.frames[0], (Bytes{0xD1, 0x00}));
  EXPECT_EQ(o.frames[1], kAnswer);
}

TEST(FrameAssembler, SyncByteInsideAFrameIsData) {
  AssemblerOwner o;
  Bytes f = EncodePacket(RSPacket{5, 0xD1, 0xD1, 0xD1D1, {}});
  o.Feed(f);
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], f);
}

TEST(FrameAssembler, TimeOutDropsThePartialFrameAndItsLateBytes) {
  AssemblerOwner o;
  o.Feed({0xD1, 0x05, 0x05});
  EXPECT_TRUE(o.timer_running);
  EXPECT_TRUE(o.assembler.TimeOut());
  EXPECT_FALSE(o.timer_running);
  EXPECT_FALSE(o.assembler.InFrame());
  o.Feed({0x01, 0x00, 0x00, 0x06});
  EXPECT_TRUE(o.frames.empty());
  EXPECT_FALSE(o.assembler.TimeOut());
  // A sync byte among the late bytes begins a new frame.
  o.Feed({0x01, 0xD1, 0x05, 0x05, 0x01, 0x00, 0x00, 0x06});
  ASSERT_EQ(o.frames.size(), 1u);
  EXPECT_EQ(o.frames[0], kAnswer);
}

TEST(FrameAssembler, StopScanningDropsTheRestOfTheChunk) {
  AssemblerOwner o;
  o.stop = true;
  o.Feed(kAnswer);
  EXPECT_TRUE(o.frames.empty());
  EXPECT_FALSE(o.assembler.InFrame());
}

TEST(FrameAssembler, OwnerMayFeedAgainFromItsCompletionAction) {
  // The exchange pumps messages from inside its frame handler; another chunk may arrive there.
  std::vector<Bytes> frames;
  bool nested = false;
  FrameAssembler* self = nullptr;
  FrameAssembler a({nullptr, nullptr,
                    [&](const uint8_t* f, int n) {
                      frames.emplace_back(f, f + n);
                      if (!nested) {
                        nested = true;
                        self->Feed(kAnswer.data(), 3);
                      }
                    },
                    nullptr});
  self = &a;
  a.Feed(kPing.data(), static_cast<int>(kPing.size()));
  a.Feed(kAnswer.data() + 3, 4);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], kPing);
  EXPECT_EQ(frames[1], kAnswer);
}

}  // namespace
}  // namespace orvix
