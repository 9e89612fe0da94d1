#include "serial/serial_port.h"

#include <algorithm>

#include "runtime/handover.h"
#include "serial/com_thread.h"

namespace orvix {

TCustomSerialPort::TCustomSerialPort() : TCustomSerialPort(CreateSerialBackend()) {}

TCustomSerialPort::TCustomSerialPort(std::unique_ptr<TSerialBackend> backend)
    : backend_(std::move(backend)) {}

TCustomSerialPort::~TCustomSerialPort() {
  try {
    ClosePort();
  } catch (...) {
    // A refused close still must not leave a thread or a device behind this object.
  }
  if (thread_) {
    thread_->Terminate();
    thread_.reset();
  }
  retired_.clear();
  backend_->Close();
}

// --- open and close ---

void TCustomSerialPort::OpenPort() {
  if (Connected()) return;
  ReapRetiredThreads();
  DoBeforeOpen();
  OpenDevice();
  connected_.store(true);
  try {
    ApplyAllSettings();
  } catch (...) {
    CloseDevice();
    connected_.store(false);
    throw;
  }
  StartEventThread();
  DoAfterOpen();
  DoCTSChange(LineSignals().CTS);
  DoDSRChange(LineSignals().DSR);
  DoRLSDChange(LineSignals().RLSD);
}

void TCustomSerialPort::ClosePort() {
  if (!Connected()) return;
  DoCTSChange(false);
  DoDSRChange(false);
  DoRLSDChange(false);
  DoBeforeClose();
  if (int error = backend_->AbortTransfers()) throw ESerialPort(ecPurge, error);
  StopEventThread();
  CloseDevice();
  connected_.store(false);
  ++session_;
  DoAfterClose();
}

void TCustomSerialPort::OpenDevice() {
  if (int error = backend_->Open(port_)) throw ESerialPort(ecOpen, error);
}

void TCustomSerialPort::CloseDevice() {
  backend_->Close();
}

void TCustomSerialPort::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value)
    OpenPort();
  else
    ClosePort();
}

void TCustomSerialPort::SetPort(const std::string& value) {
  if (value == port_) return;
  port_ = value;
  if (Connected()) {
    ClosePort();
    OpenPort();
  }
}

void TCustomSerialPort::SetSyncMethod(TSyncMethod value) {
  if (value == sync_method_) return;
  if (Connected()) throw ESerialPort(ecSetWhileConnected);
  sync_method_ = value;
}

// --- settings ---

TLineSettings TCustomSerialPort::LineSettings() const {
  return BuildLineSettings(line_, parity_, flow_control_, buffer_);
}

TTimeoutRecord TCustomSerialPort::TimeoutRecord() const {
  return BuildTimeoutRecord(timeouts_);
}

void TCustomSerialPort::ApplyAllSettings() {
  ApplyBufferSizes();
  ApplyLineSettings();
  ApplyTimeoutSettings();
}

void TCustomSerialPort::ApplyLineSettings() {
  if (!Connected()) return;
  if (int error = backend_->SetLineSettings(LineSettings()))
    throw ESerialPort(ecLineSettings, error);
}

void TCustomSerialPort::ApplyTimeoutSettings() {
  if (!Connected()) return;
  if (int error = backend_->SetTimeouts(TimeoutRecord())) throw ESerialPort(ecTimeouts, error);
}

void TCustomSerialPort::ApplyBufferSizes() {
  if (!Connected()) return;
  if (int error = backend_->SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize()))
    throw ESerialPort(ecQueueSizes, error);
}

// --- transfers and status ---

int TCustomSerialPort::SendBytes(const void* buffer, int count) {
  if (count <= 0) return 0;
  const auto result = backend_->Write(buffer, count);
  if (result.Error) throw ESerialPort(ecWrite, result.Error);
  return result.Bytes;
}

int TCustomSerialPort::ReceiveBytes(void* buffer, int count) {
  if (count <= 0) return 0;
  const auto result = backend_->Read(buffer, count);
  if (result.Error) throw ESerialPort(ecRead, result.Error);
  return result.Bytes;
}

int TCustomSerialPort::BytesWaiting() {
  TQueueStatus status;
  if (int error = backend_->QueueStatus(status, false)) throw ESerialPort(ecQueueStatus, error);
  return status.InQueue;
}

TComErrors TCustomSerialPort::FetchLineErrors() {
  TQueueStatus status;
  if (int error = backend_->QueueStatus(status, false)) throw ESerialPort(ecQueueStatus, error);
  return ErrorsOfFlags(status.Errors, parity_.Check());
}

TModemSignals TCustomSerialPort::LineSignals() {
  uint32_t status = 0;
  if (int error = backend_->ModemStatus(status)) throw ESerialPort(ecModemStatus, error);
  return {(status & drv::kMsCtsOn) != 0, (status & drv::kMsDsrOn) != 0,
          (status & drv::kMsRingOn) != 0, (status & drv::kMsRlsdOn) != 0};
}

// --- the event thread ---

void TCustomSerialPort::StartEventThread() {
  if (events_.Empty()) return;
  thread_ = StartThread<TComThread>(*this, *backend_, events_);
}

void TCustomSerialPort::StopEventThread() {
  if (!thread_) return;
  // Waiting for the thread from inside its own report would wait for ourselves.
  if (thread_->IsCurrentThread() || DispatchingHere()) {
    thread_->Retire();
    retired_.push_back(std::move(thread_));
    return;
  }
  thread_->Terminate();
  thread_.reset();
}

void TCustomSerialPort::ReapRetiredThreads() {
  std::erase_if(retired_, [](const std::unique_ptr<TComThread>& t) { return t->Finished(); });
}

bool TCustomSerialPort::DispatchingHere() const {
  return dispatch_thread_.load() == std::this_thread::get_id();
}

void TCustomSerialPort::FireEvents(TComEvents events) {
  if (sync_method_ == smNone)
    DispatchEvents(events);
  else
    RunOnMainThread([&] { DispatchEvents(events); });
}

void TCustomSerialPort::FireLineLost(std::exception_ptr error) {
  const auto report = [this, &error] {
    if (OnLineLost && Connected()) OnLineLost(this, error);
  };
  try {
    if (sync_method_ == smNone)
      report();
    else
      RunOnMainThread(report);
  } catch (...) {
    // The listener's own failure has nowhere further to go: the thread is ending either way.
  }
}

void TCustomSerialPort::DispatchEvents(TComEvents events) {
  const auto outer = dispatch_thread_.exchange(std::this_thread::get_id());
  struct Restore {
    std::atomic<std::thread::id>& id;
    std::thread::id previous;
    ~Restore() { id.store(previous); }
  } restore{dispatch_thread_, outer};

  // A handler may close the port; the rest of the report is then dropped.
  const uint64_t session = session_.load();
  auto still_open = [&] { return Connected() && session_.load() == session; };
  if (events.Contains(evError) && still_open()) {
    const auto errors = FetchLineErrors();
    if (!errors.Empty()) DoError(errors);
  }
  if (events.Contains(evRxChar) && still_open()) {
    TQueueStatus status;
    if (int error = backend_->QueueStatus(status, true)) throw ESerialPort(ecQueueStatus, error);
    if (status.InQueue > 0) DoRxChar(status.InQueue);
  }
  if (events.Contains(evTxEmpty) && still_open()) DoTxEmpty();
  if (events.Contains(evBreak) && still_open()) DoBreak();
  if (events.Contains(evRing) && still_open()) DoRing();
  if (events.Contains(evCTS) && still_open()) DoCTSChange(LineSignals().CTS);
  if (events.Contains(evDSR) && still_open()) DoDSRChange(LineSignals().DSR);
  if (events.Contains(evRxFlag) && still_open()) DoRxFlag();
  if (events.Contains(evRLSD) && still_open()) DoRLSDChange(LineSignals().RLSD);
  if (events.Contains(evRx80Full) && still_open()) DoRx80Full();
}

// --- hooks ---

void TCustomSerialPort::DoAfterClose() {
  if (OnAfterClose) OnAfterClose(this);
}
void TCustomSerialPort::DoAfterOpen() {
  if (OnAfterOpen) OnAfterOpen(this);
}
void TCustomSerialPort::DoBeforeClose() {
  if (OnBeforeClose) OnBeforeClose(this);
}
void TCustomSerialPort::DoBeforeOpen() {
  if (OnBeforeOpen) OnBeforeOpen(this);
}
void TCustomSerialPort::DoRxChar(int count) {
  if (OnRxChar) OnRxChar(this, count);
}
void TCustomSerialPort::DoTxEmpty() {
  if (OnTxEmpty) OnTxEmpty(this);
}
void TCustomSerialPort::DoBreak() {
  if (OnBreak) OnBreak(this);
}
void TCustomSerialPort::DoRing() {
  if (OnRing) OnRing(this);
}
void TCustomSerialPort::DoRxFlag() {
  if (OnRxFlag) OnRxFlag(this);
}
void TCustomSerialPort::DoCTSChange(bool on) {
  if (OnCTSChange) OnCTSChange(this, on);
}
void TCustomSerialPort::DoDSRChange(bool on) {
  if (OnDSRChange) OnDSRChange(this, on);
}
void TCustomSerialPort::DoError(TComErrors errors) {
  if (OnError) OnError(this, errors);
}
void TCustomSerialPort::DoRLSDChange(bool on) {
  if (OnRLSDChange) OnRLSDChange(this, on);
}
void TCustomSerialPort::DoRx80Full() {
  if (OnRx80Full) OnRx80Full(this);
}

}  // namespace orvix
