// The frame assembler fed arbitrary chunk sequences with time-outs between them, checked against
// a model of the framing rules; every frame it delivers goes through the decoder and the check.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/frame.h"
#include "link/frame_assembler.h"

namespace orvix::fuzz {
namespace {

using Bytes = std::vector<uint8_t>;

// The framing rules, stated over the growing frame rather than a preallocated buffer: a frame
// starts at a sync byte outside a frame; its size is the length byte + 2 when that byte came in
// the sync byte's chunk, else at least 7; a time-out drops a partial frame.
class FramingModel {
 public:
  void TimeOut() {
    in_frame_ = false;
    partial_.clear();
  }
  void Chunk(const Bytes& chunk) {
    for (size_t i = 0; i < chunk.size(); ++i) {
      const uint8_t b = chunk[i];
      if (!in_frame_) {
        if (b != kFrameSync) continue;
        in_frame_ = true;
        partial_ = {b};
        size_known_ = i + 1 < chunk.size();
        size_ = size_known_ ? chunk[i + 1] + 2 : kMinFrameSize;
        continue;
      }
      partial_.push_back(b);
      if (partial_.size() == 2 && !size_known_) size_ = std::max(size_, b + 2);
      if (static_cast<int>(partial_.size()) == size_) {
        delivered_.push_back(partial_);
        TimeOut();
      }
    }
  }
  bool InFrame() const { return in_frame_; }
  int Received() const { return static_cast<int>(partial_.size()); }
  int Size() const { return size_; }
  const std::vector<Bytes>& Delivered() const { return delivered_; }

 private:
  bool in_frame_ = false;
  bool size_known_ = false;
  int size_ = 0;
  Bytes partial_;
  std::vector<Bytes> delivered_;
};

void CheckDeliveredFrame(const uint8_t* frame, int count) {
  FUZZ_CHECK(count >= 2 && count <= kMaxFrameSize, "count %d", count);
  FUZZ_CHECK(frame[0] == kFrameSync, "first byte %02X", frame[0]);
  // The copy ends where the frame ends: a decoder or check that reads on is caught.
  const ExactCopy copy(frame, static_cast<size_t>(count));
  const RSPacket packet = DecodePacket(copy.data(), count);
  const bool intact = CheckFrame(copy.data(), count);
  const int length = frame[1];
  FUZZ_CHECK(packet.Length == length, "Length %d, byte %d", packet.Length, length);
  if (count != length + 2 || (length != 5 && length < 8)) return;
  // A well-formed frame re-encodes to itself exactly when its checksum is right.
  const Bytes again = EncodePacket(packet);
  const bool same = again == Bytes(frame, frame + count);
  FUZZ_CHECK(same == intact, "re-encoding %s the frame, CheckFrame says %d",
             same ? "repeats" : "changes", intact);
}

}  // namespace
}  // namespace orvix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvix;
  using namespace orvix::fuzz;
  bool timer_running = false;
  std::vector<Bytes> delivered;
  FrameAssembler assembler({[&] { timer_running = false; }, [&] { timer_running = true; },
                            [&](const uint8_t* frame, int count) {
                              CheckDeliveredFrame(frame, count);
                              delivered.emplace_back(frame, frame + count);
                            },
                            nullptr});
  FramingModel model;
  // Each event is a chunk of 1 to 255 bytes, or a zero: the owner's timer fires, if it runs.
  InputReader in(data, size);
  while (!in.Empty()) {
    const uint8_t length = in.Byte();
    if (length == 0) {
      if (!timer_running) continue;
      const bool held = assembler.TimeOut();
      FUZZ_CHECK(held == model.InFrame(), "time-out dropped a frame: %d", held);
      FUZZ_CHECK(!timer_running, "the time-out left the timer running");
      model.TimeOut();
      continue;
    }
    const Bytes chunk = in.Bytes(length);
    const ExactCopy exact(chunk.data(), chunk.size());
    assembler.Feed(exact.data(), exact.size());
    model.Chunk(chunk);
    FUZZ_CHECK(delivered == model.Delivered(), "delivered %zu frames, the rules give %zu",
               delivered.size(), model.Delivered().size());
    FUZZ_CHECK(assembler.InFrame() == model.InFrame(), "in frame %d", assembler.InFrame());
    FUZZ_CHECK(timer_running == model.InFrame(), "timer running %d", timer_running);
    if (model.InFrame()) {
      FUZZ_CHECK(assembler.Received() == model.Received(), "received %d, not %d",
                 assembler.Received(), model.Received());
      FUZZ_CHECK(assembler.Expected() == model.Size(), "expects %d, not %d", assembler.Expected(),
                 model.Size());
    }
  }
  return 0;
}
