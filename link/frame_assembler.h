// Cuts frames out of the chunks in which a port delivers received bytes. The packet channel and
// discovery each own one; they differ only in the actions below and in their timer's period.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace orvix {

struct TFrameAssemblerActions {
  std::function<void()> StopTimer;
  std::function<void()> StartTimer;  // a running timer is left running
  // Each complete frame with its byte count; the bytes are valid only during the call.
  std::function<void(const uint8_t* frame, int count)> Complete;
  // Optional: when it answers true, the rest of the chunk is dropped.
  std::function<bool()> StopScanning;
};

class FrameAssembler {
 public:
  explicit FrameAssembler(TFrameAssemblerActions actions) : actions_(std::move(actions)) {}

  void Feed(const uint8_t* chunk, int count);
  // The owner's timer fired: stop it and drop the partial frame. Returns whether one was held.
  bool TimeOut();

  bool InFrame() const { return in_frame_; }
  int Received() const { return received_; }
  int Expected() const { return expected_; }

 private:
  TFrameAssemblerActions actions_;
  bool in_frame_ = false;
  int received_ = 0;
  int expected_ = 0;
  std::vector<uint8_t> buffer_;
  bool has_buffer_ = false;
};

}  // namespace orvix
