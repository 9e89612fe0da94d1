#include "link/frame_assembler.h"

#include "link/frame.h"

namespace orvix {

void FrameAssembler::Feed(const uint8_t* chunk, int count) {
  for (int i = 0; i < count; ++i) {
    if (actions_.StopScanning && actions_.StopScanning()) break;
    const uint8_t b = chunk[i];
    if (!in_frame_ && b == kFrameSync) {
      in_frame_ = true;
      received_ = 0;
      // The length byte, when it came in the same chunk, sizes the frame; otherwise assume the
      // smallest frame until it arrives.
      expected_ = i + 1 < count ? chunk[i + 1] + 2 : kMinFrameSize;
      buffer_.assign(expected_, 0);
      has_buffer_ = true;
    }
    if (!has_buffer_) continue;
    if (received_ == 1 && b + 2 > expected_) {
      expected_ = b + 2;
      buffer_.resize(expected_);
    }
    if (received_ < expected_) buffer_[received_++] = b;
    if (received_ >= expected_) {
      in_frame_ = false;
      // Taken out before the owner runs, so a nested feed starts from a clean state.
      std::vector<uint8_t> frame;
      frame.swap(buffer_);
      has_buffer_ = false;
      const int size = expected_;
      if (actions_.StopTimer) actions_.StopTimer();
      if (actions_.Complete) actions_.Complete(frame.data(), size);
    }
  }
  if (in_frame_ && actions_.StartTimer) actions_.StartTimer();
}

bool FrameAssembler::TimeOut() {
  if (actions_.StopTimer) actions_.StopTimer();
  const bool held = has_buffer_;
  in_frame_ = false;
  buffer_.clear();
  has_buffer_ = false;
  return held;
}

}  // namespace orvix
