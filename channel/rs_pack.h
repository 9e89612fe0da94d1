// The packet channel on one open serial port: sends packets as frames and hands each complete
// received frame to its owner.
#pragma once

#include <cstdint>
#include <functional>

#include "link/frame.h"
#include "link/frame_assembler.h"
#include "runtime/message_loop.h"

namespace orvix {

class TCustomSerialPort;

class TRSPack {
 public:
  static constexpr int kTimeOut = 500;  // ms from the send (or a frame's start) to its end

  // Takes over the port's OnRxChar; the port stays open and is not owned.
  explicit TRSPack(TCustomSerialPort* port);
  // Detaches PortRxChar from the port, so no received chunk reaches a destroyed channel.
  ~TRSPack();
  TRSPack(const TRSPack&) = delete;
  TRSPack& operator=(const TRSPack&) = delete;

  // Writes the frame, then reports it through OnFrameSent.
  void SendPacket(const RSPacket& packet);
  // Drops a frame begun and every byte received but not yet handed on.
  void DiscardInput();
  RSPacket DecodePacket(const uint8_t* frame, int count) const;

  bool TimedOut() const { return timed_out_; }
  bool Done() const { return done_; }
  TCustomSerialPort* Port() const { return port_; }

  // Bytes passed to either event are valid only during the call.
  std::function<void(const uint8_t* frame, int count)> OnPacket;
  std::function<void(const uint8_t* frame, int count)> OnFrameSent;

 private:
  void PortRxChar(TCustomSerialPort* sender, int count);
  void TimerTimeout();

  TTimer timer_;
  TCustomSerialPort* port_;
  FrameAssembler assembler_;
  bool timed_out_ = false;
  bool done_ = false;
};

}  // namespace orvix
