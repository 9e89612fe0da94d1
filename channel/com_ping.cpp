#include "channel/com_ping.h"

#include <chrono>
#include <vector>

#include "link/frame.h"
#include "runtime/handover.h"
#include "serial/serial_port.h"

namespace orvix {

void ConfigureForDiscovery(TCustomSerialPort& port) {
  port.SetBaudRate(br57600);
  port.SetDataBits(dbEight);
  port.SetEvents(TComEvents{evRxChar});
  port.FlowControl().SetControlDTR(dtrEnable);
  port.FlowControl().SetControlRTS(rtsEnable);
  port.FlowControl().SetOutCTSFlow(false);
  port.FlowControl().SetOutDSRFlow(false);
  port.FlowControl().SetXonXoffIn(false);
  port.FlowControl().SetXonXoffOut(false);
  port.Parity().SetBits(prNone);
  port.SetStopBits(sbOneStopBit);
  port.Timeouts().SetReadInterval(0);
  port.Timeouts().SetWriteTotalMultiplier(50);
}

TComPing::TComPing(TBuildKey key, const std::string& port_name, uint8_t device)
    : TThread(key),
      serial_port_(std::make_unique<TSerialPort>()),
      assembler_({[this] { timer_.SetEnabled(false); }, [this] { timer_.SetEnabled(true); },
                  [this](const uint8_t* frame, int count) { CheckAnswer(frame, count); },
                  [this] { return StopRequested(); }}),
      device_(device) {
  TSerialPort& port = *serial_port_;
  ConfigureForDiscovery(port);
  port.SetPort(port_name);
  port.OnRxChar = [this](TCustomSerialPort* sender, int count) { PortRxChar(sender, count); };
  timer_.SetInterval(kTimeOut);
  timer_.OnTimer = [this] { TimerTimeout(); };
}

TComPing::~TComPing() {
  pinging_ = false;
  timer_.SetEnabled(false);
  // Closing the port runs receive reports still queued for the main thread; they must not
  // reach this half-destroyed object, whose port pointer is already gone by then.
  serial_port_->OnRxChar = nullptr;
  serial_port_.reset();
}

void TComPing::Execute() {
  try {
    pinging_ = true;
    serial_port_->OpenPort();
    const std::vector<uint8_t> ping = EncodePacket(MakePacket(device_, cmdPing, 0, {0x00}));
    while (pinging_ && !StopRequested()) {
      serial_port_->SendBytes(ping.data(), static_cast<int>(ping.size()));
      if (!StopRequested()) SleepFor(std::chrono::milliseconds(kPingPeriod));
    }
  } catch (const std::exception& e) {
    // An absent or busy port, or a failed write: this port is skipped, and nobody is told; the
    // cause is kept for a front end that wants to say why no port is left.
    failure_text_ = e.what();
    pinging_ = false;
  } catch (...) {
    pinging_ = false;
  }
}

void TComPing::PortRxChar(TCustomSerialPort* /*sender*/, int count) {
  std::vector<uint8_t> chunk(count);
  const int n = serial_port_->ReceiveBytes(chunk.data(), count);
  assembler_.Feed(chunk.data(), n);
}

void TComPing::CheckAnswer(const uint8_t* frame, int count) {
  // Any 7-byte command-1 frame is the answer; our own 8-byte ping echoed back is not.
  if (count == kMinFrameSize && frame[3] == cmdPing) {
    pinging_ = false;
    RunOnMainThread([this] { DoDeviceFound(); });
  }
}

void TComPing::DoDeviceFound() {
  if (OnDeviceFound) OnDeviceFound(serial_port_.get());
}

void TComPing::TimerTimeout() {
  if (assembler_.TimeOut()) pinging_ = false;
}

}  // namespace orvix
