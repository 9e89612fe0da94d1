// Device discovery on one serial port: a thread that opens the port and pings it until a device
// answers, the answer being seen on the main thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "channel/discovery_line.h"
#include "link/frame_assembler.h"
#include "runtime/message_loop.h"
#include "runtime/text.h"
#include "runtime/thread.h"

namespace orvix {

class TCustomSerialPort;
class TSerialBackend;
class TSerialPort;

// The line settings discovery opens a port with, and the packet channel then goes on using:
// 57,600 baud unless another rate is asked for, 8 data bits, no parity, 1 stop bit, DTR and RTS
// on, no flow control.
void ConfigureForDiscovery(TCustomSerialPort& port, uint32_t baud_rate = kDiscoveryBaudRate);

class TComPing : public TThread {
 public:
  static constexpr int kTimeOut = 200;     // ms for a begun frame to complete
  static constexpr int kPingPeriod = 50;   // ms of sleep between pings

  // Makes and configures the port (not opened); StartThread<TComPing>(name, device) then starts
  // the pinging. A backend given replaces the build's own under the port (a test's double).
  TComPing(TBuildKey key, const std::string& port_name, uint8_t device,
           const TDiscoveryLine& line = {}, std::unique_ptr<TSerialBackend> backend = nullptr);
  // The thread has ended by now (TStarted saw to it), so the body never writes to a freed port.
  ~TComPing() override;

  TSerialPort* SerialPort() const { return serial_port_.get(); }
  bool Pinging() const { return pinging_.load(); }
  // The port is open, or was: the body got past the open.
  bool Opened() const { return opened_.load(); }
  // The body ended early: the port could not be opened or written, or an answer was begun and
  // never completed.
  bool GivenUp() const { return given_up_.load(); }
  // Why the body ended early (the port could not be opened or written), as raised, to be worded
  // in the user's language (EnglishText for logs and scripts); read it once Finished().
  const TText& FailureCause() const { return failure_cause_; }
  // Whether it was the open that failed, and the system's error number for it (-1 when none).
  bool OpenFailed() const { return open_failed_; }
  int FailureCode() const { return failure_code_; }
  // When the last ping write on this port ended, or failed; none before the first. Exact once the
  // thread has ended.
  std::optional<std::chrono::steady_clock::time_point> LastPingWritten() const;

  // Raised on the main thread with the open port for each answer.
  std::function<void(TCustomSerialPort* port)> OnDeviceFound;

 protected:
  void Execute() override;  // PingLoop

 private:
  void PortRxChar(TCustomSerialPort* sender, int count);
  void CheckAnswer(const uint8_t* frame, int count);
  void DoDeviceFound();
  void TimerTimeout();
  void NotePingWritten();
  void PulseResetLine();
  void SetResetLine(bool on);

  std::unique_ptr<TSerialPort> serial_port_;
  TTimer timer_;
  FrameAssembler assembler_;
  uint8_t device_;
  TDiscoveryLine line_;
  std::atomic<bool> pinging_{false};
  std::atomic<bool> opened_{false};
  std::atomic<bool> answered_{false};
  std::atomic<bool> given_up_{false};
  TText failure_cause_;
  bool open_failed_ = false;
  int failure_code_ = -1;
  static constexpr std::chrono::steady_clock::rep kNoPing =
      std::chrono::steady_clock::duration::min().count();
  std::atomic<std::chrono::steady_clock::rep> last_ping_written_{kNoPing};
};

}  // namespace orvix
