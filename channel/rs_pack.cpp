#include "channel/rs_pack.h"

#include <vector>

#include "serial/serial_port.h"

namespace orvix {

TRSPack::TRSPack(TCustomSerialPort* port)
    : port_(port),
      assembler_({[this] { timer_.SetEnabled(false); }, [this] { timer_.SetEnabled(true); },
                  [this](const uint8_t* frame, int count) {
                    timed_out_ = false;
                    if (OnPacket) OnPacket(frame, count);
                    done_ = true;
                  },
                  nullptr}) {
  timer_.SetInterval(kTimeOut);
  timer_.OnTimer = [this] { TimerTimeout(); };
  port_->OnRxChar = [this](TCustomSerialPort* sender, int count) { PortRxChar(sender, count); };
}

TRSPack::~TRSPack() { port_->OnRxChar = nullptr; }

void TRSPack::SendPacket(const RSPacket& packet) {
  timed_out_ = false;
  done_ = false;
  const std::vector<uint8_t> frame = EncodePacket(packet);
  const int count = static_cast<int>(frame.size());
  port_->SendBytes(frame.data(), count);
  timer_.SetEnabled(true);
  // Reported once on the line: a frame whose write failed never went out.
  if (OnFrameSent) OnFrameSent(frame.data(), count);
}

RSPacket TRSPack::DecodePacket(const uint8_t* frame, int count) const {
  return orvix::DecodePacket(frame, count);
}

void TRSPack::PortRxChar(TCustomSerialPort* /*sender*/, int count) {
  std::vector<uint8_t> chunk(count);
  const int n = port_->ReceiveBytes(chunk.data(), count);
  assembler_.Feed(chunk.data(), n);
}

void TRSPack::DiscardInput() {
  timer_.SetEnabled(false);
  assembler_.TimeOut();
  std::vector<uint8_t> chunk(256);
  while (port_->BytesWaiting() > 0)
    if (port_->ReceiveBytes(chunk.data(), static_cast<int>(chunk.size())) <= 0) break;
}

void TRSPack::TimerTimeout() {
  timed_out_ = true;
  done_ = true;
  assembler_.TimeOut();
}

}  // namespace orvix
