// The serial port object: exclusive open, settings applied by group, blocking transfers, and an
// event thread that hands every driver report to the main thread.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial_backend.h"
#include "serial/serial_error.h"
#include "serial/serial_settings.h"

namespace orvix {

class TComThread;

struct TModemSignals {
  bool CTS = false;
  bool DSR = false;
  bool Ring = false;
  bool RLSD = false;
};

// OpenPort, ClosePort and setting changes of one port belong to one thread at a time; transfers
// may run on any thread, and ClosePort cancels those in progress.
class TCustomSerialPort {
 public:
  TCustomSerialPort();
  // For another platform layer (or a test double); the default is the build's own backend.
  explicit TCustomSerialPort(std::unique_ptr<TSerialBackend> backend);
  TCustomSerialPort(const TCustomSerialPort&) = delete;
  TCustomSerialPort& operator=(const TCustomSerialPort&) = delete;
  virtual ~TCustomSerialPort();

  void OpenPort();
  void ClosePort();
  // Block until the transfer is complete or its time-out ends it; return the bytes moved.
  int SendBytes(const void* buffer, int count);
  int ReceiveBytes(void* buffer, int count);
  int BytesWaiting();

  bool Connected() const { return connected_.load(); }
  void SetConnected(bool value);
  // A name from the port list ("COM3") or an absolute device path.
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value);

  TBaudRate BaudRate() const { return line_.BaudRate; }
  void SetBaudRate(TBaudRate value) { SetLineValue(line_.BaudRate, value); }
  int32_t CustomBaudRate() const { return line_.CustomBaudRate; }
  void SetCustomBaudRate(int32_t value) { SetLineValue(line_.CustomBaudRate, value); }
  TDataBits DataBits() const { return line_.DataBits; }
  void SetDataBits(TDataBits value) { SetLineValue(line_.DataBits, value); }
  TStopBits StopBits() const { return line_.StopBits; }
  void SetStopBits(TStopBits value) { SetLineValue(line_.StopBits, value); }
  bool DiscardNull() const { return line_.DiscardNull; }
  void SetDiscardNull(bool value) { SetLineValue(line_.DiscardNull, value); }
  uint8_t EventChar() const { return line_.EventChar; }
  void SetEventChar(uint8_t value) { SetLineValue(line_.EventChar, value); }
  // Takes effect at the next OpenPort.
  TComEvents Events() const { return events_; }
  void SetEvents(TComEvents value) { events_ = value; }
  // smThreadSync and smWindowSync run handlers on the main thread through the hand-over (there
  // is no window to post to below the user interface); smNone runs them on the event thread.
  TSyncMethod SyncMethod() const { return sync_method_; }
  void SetSyncMethod(TSyncMethod value);

  TComParity& Parity() { return parity_; }
  const TComParity& Parity() const { return parity_; }
  TComFlowControl& FlowControl() { return flow_control_; }
  const TComFlowControl& FlowControl() const { return flow_control_; }
  TComTimeouts& Timeouts() { return timeouts_; }
  const TComTimeouts& Timeouts() const { return timeouts_; }
  TComBuffer& Buffer() { return buffer_; }
  const TComBuffer& Buffer() const { return buffer_; }

  // The records the apply operations hand to the platform, from the current settings.
  TLineSettings LineSettings() const;
  TTimeoutRecord TimeoutRecord() const;

  // Re-apply one group to the open device; nothing happens while the port is closed.
  virtual void ApplyLineSettings();
  virtual void ApplyTimeoutSettings();
  virtual void ApplyBufferSizes();

  // Events: each receives the port as Sender. Plain fields: assigning one touches nothing else.
  std::function<void(TCustomSerialPort* Sender, int Count)> OnRxChar;
  std::function<void(TCustomSerialPort*Sender)> OnBeforeOpen, OnAfterOpen, OnBeforeClose,
      OnAfterClose, OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
  std::function<void(TCustomSerialPort*Sender, bool OnOff)> OnCTSChange, OnDSRChange, OnRLSDChange;
  std::function<void(TCustomSerialPort* Sender, TComErrors Errors)> OnError;
  // The event thread ended under an open port: the device failed (hung up, unplugged) or a
  // handler let an error escape. Raised once, where OnRxChar is, with that error; no receive
  // event follows until the port is opened again.
  std::function<void(TCustomSerialPort* Sender, std::exception_ptr Error)> OnLineLost;

 protected:
  virtual void OpenDevice();
  virtual void CloseDevice();
  virtual void ApplyAllSettings();

  virtual void DoAfterClose();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoBeforeOpen();
  virtual void DoRxChar(int count);
  virtual void DoTxEmpty();
  virtual void DoBreak();
  virtual void DoRing();
  virtual void DoRxFlag();
  virtual void DoCTSChange(bool on);
  virtual void DoDSRChange(bool on);
  virtual void DoError(TComErrors errors);
  virtual void DoRLSDChange(bool on);
  virtual void DoRx80Full();

  TComErrors FetchLineErrors();
  TModemSignals LineSignals();

 private:
  friend class TComThread;

  template <typename T>
  void SetLineValue(T& field, T value) {
    if (field == value) return;
    field = value;
    ApplyLineSettings();
  }
  void StartEventThread();
  void StopEventThread();
  void ReapRetiredThreads();
  // Called by the event thread with one driver report.
  void FireEvents(TComEvents events);
  void FireLineLost(std::exception_ptr error);
  void DispatchEvents(TComEvents events);
  bool DispatchingHere() const;

  std::unique_ptr<TSerialBackend> backend_;
  std::atomic<bool> connected_{false};
  std::string port_ = "COM1";
  TLineOptions line_;
  TComEvents events_ = TComEvents::All();
  TSyncMethod sync_method_ = smThreadSync;
  TComParity parity_{this};
  TComFlowControl flow_control_{this};
  TComTimeouts timeouts_{this};
  TComBuffer buffer_{this};

  std::unique_ptr<TComThread> thread_;
  // Event threads let go by a ClosePort that ran inside their own report; they end on their own.
  std::vector<std::unique_ptr<TComThread>> retired_;
  std::atomic<std::thread::id> dispatch_thread_{};
  // Moves at every close, so a report can tell that a handler closed the port under it.
  std::atomic<uint64_t> session_{0};
};

class TSerialPort final : public TCustomSerialPort {
 public:
  using TCustomSerialPort::TCustomSerialPort;
};

}  // namespace orvix
