#include "channel/com_ping.h"

#include <chrono>
#include <vector>

#include "link/frame.h"
#include "runtime/handover.h"
#include "serial/serial_port.h"

namespace orvix {

void ConfigureForDiscovery(TCustomSerialPort& port, uint32_t baud_rate) {
  const TBaudRate named = BaudRateOf(baud_rate);
  if (named == brCustom) port.SetCustomBaudRate(static_cast<int32_t>(baud_rate));
  port.SetBaudRate(named);
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

TComPing::TComPing(TBuildKey key, const std::string& port_name, uint8_t device,
                   const TDiscoveryLine& line, std::unique_ptr<TSerialBackend> backend)
    : TThread(key),
      serial_port_(backend ? std::make_unique<TSerialPort>(std::move(backend))
                           : std::make_unique<TSerialPort>()),
      assembler_({[this] { timer_.SetEnabled(false); }, [this] { timer_.SetEnabled(true); },
                  [this](const uint8_t* frame, int count) { CheckAnswer(frame, count); },
                  [this] { return StopRequested(); }}),
      device_(device),
      line_(line) {
  TSerialPort& port = *serial_port_;
  ConfigureForDiscovery(port, line_.BaudRate);
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
  bool opened = false;
  try {
    pinging_ = true;
    serial_port_->OpenPort();
    opened = true;
    opened_ = true;
    PulseResetLine();
    const std::vector<uint8_t> ping = EncodePacket(MakePacket(device_, cmdPing, 0, {0x00}));
    while (pinging_ && !StopRequested()) {
      try {
        serial_port_->SendBytes(ping.data(), static_cast<int>(ping.size()));
      } catch (...) {
        NotePingWritten();  // part of it may have gone out
        throw;
      }
      NotePingWritten();
      if (!StopRequested()) SleepFor(std::chrono::milliseconds(kPingPeriod));
    }
  } catch (const std::exception& e) {
    // An absent or busy port, or a failed write: this port is skipped. The cause is kept for a
    // front end that names the ports it could not ping.
    const auto* text = dynamic_cast<const ETextError*>(&e);
    failure_cause_ = text ? text->Text() : TText{"", "", {}, e.what()};
    open_failed_ = !opened;
    if (const auto* serial = dynamic_cast<const ESerialPort*>(&e))
      failure_code_ = serial->SystemCode();
    pinging_ = false;
  } catch (...) {
    open_failed_ = !opened;
    pinging_ = false;
  }
  if (!StopRequested() && !answered_) given_up_ = true;
}

// Here on the pinging thread, after the open: every port's pulse runs at the same time, and the
// board is out of reset before it hears its first ping.
void TComPing::PulseResetLine() {
  if (line_.Reset == TResetLine::rlNone) return;
  SetResetLine(false);
  SleepFor(std::chrono::milliseconds(line_.ResetMs));
  // Also after a stop cut the pulse short: the board is not left held in reset.
  SetResetLine(true);
}

// Through the port's settings, so each platform's backend drives the line its own way; a port
// without modem lines (a pseudo-terminal) takes the change as a no-op.
void TComPing::SetResetLine(bool on) {
  TComFlowControl& flow = serial_port_->FlowControl();
  if (line_.Reset == TResetLine::rlDtr)
    flow.SetControlDTR(on ? dtrEnable : dtrDisable);
  else
    flow.SetControlRTS(on ? rtsEnable : rtsDisable);
}

std::optional<std::chrono::steady_clock::time_point> TComPing::LastPingWritten() const {
  const auto at = last_ping_written_.load();
  if (at == kNoPing) return std::nullopt;
  return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(at));
}

void TComPing::NotePingWritten() {
  last_ping_written_ = std::chrono::steady_clock::now().time_since_epoch().count();
}

void TComPing::PortRxChar(TCustomSerialPort* /*sender*/, int count) {
  std::vector<uint8_t> chunk(count);
  const int n = serial_port_->ReceiveBytes(chunk.data(), count);
  assembler_.Feed(chunk.data(), n);
}

void TComPing::CheckAnswer(const uint8_t* frame, int count) {
  // Any 7-byte command-1 frame is the answer; our own 8-byte ping echoed back is not.
  if (count == kMinFrameSize && frame[3] == cmdPing) {
    answered_ = true;
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
