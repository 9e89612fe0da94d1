// The Win32 backend: one overlapped handle; every transfer and the event thread's wait carry
// an OVERLAPPED block and a completion event of their own. A blocking wait always has a way to
// be ended from another thread: the stop event beside the event wait, PurgeComm and CancelIoEx
// for transfers, and Close cancels whatever is still in flight before the handle goes.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "serial/serial_backend.h"
#include "serial/win32/comm_records.h"

namespace orvix {
namespace {

// A wait that keeps completing with nothing we asked for is a driver that cannot report; this
// many in a row end the event thread rather than let it turn without sleeping.
constexpr int kEmptyReportsToGiveUp = 3;

class TWin32SerialBackend final : public TSerialBackend {
 public:
  ~TWin32SerialBackend() override { Close(); }

  int Open(const std::string& port) override;
  void Close() override;
  int SetQueueSizes(int input_size, int output_size) override;
  int SetLineSettings(const TLineSettings& settings) override;
  int SetTimeouts(const TTimeoutRecord& timeouts) override;
  TTransferResult Write(const void* buffer, int count) override;
  TTransferResult Read(void* buffer, int count) override;
  int AbortTransfers() override;
  int ClearQueues() override;
  int QueueStatus(TQueueStatus& status, bool for_event) override;
  int ModemStatus(uint32_t& status) override;
  int SetEventMask(uint32_t mask) override;
  TWaitResult WaitEvents(uint32_t& mask, int& error) override;
  void StopEventWait() override;

 private:
  class TOperation;

  template <typename F>
  int WithHandle(F&& call);

  std::mutex mutex_;
  std::condition_variable idle_cv_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HANDLE stop_event_ = nullptr;  // manual reset: set by StopEventWait and Close
  bool open_ = false;
  int active_ = 0;                 // operations using handle_ right now; Close waits for none
  uint64_t abort_generation_ = 0;  // moves at every purge that aborts transfers
  std::vector<TOperation*> pending_;
  uint32_t event_mask_ = 0;
};

// One overlapped operation from start to completion. It holds the device open (Close waits for
// it), and once started it is on the pending list, where an abort or a close can cancel it. The
// OVERLAPPED block and its event live until the operation has completed, whatever happens.
class TWin32SerialBackend::TOperation {
 public:
  TOperation(TWin32SerialBackend& b, bool transfer) : b_(b), transfer_(transfer) {
    std::lock_guard lock(b_.mutex_);
    if (!b_.open_) {
      error_ = ERROR_INVALID_HANDLE;
      return;
    }
    // Manual reset and signalled at first; starting the operation resets it.
    overlapped_.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!overlapped_.hEvent) {
      error_ = GetLastError();
      return;
    }
    handle_ = b_.handle_;
    generation_ = b_.abort_generation_;
    ++b_.active_;
  }

  ~TOperation() {
    if (!handle_) {
      if (overlapped_.hEvent) CloseHandle(overlapped_.hEvent);
      return;
    }
    std::lock_guard lock(b_.mutex_);
    std::erase(b_.pending_, this);
    CloseHandle(overlapped_.hEvent);
    if (--b_.active_ == 0) b_.idle_cv_.notify_all();
  }

  TOperation(const TOperation&) = delete;
  TOperation& operator=(const TOperation&) = delete;

  // 0 when the operation may start, else why not.
  DWORD SetUpError() const { return error_; }
  HANDLE Handle() const { return handle_; }
  HANDLE Event() const { return overlapped_.hEvent; }
  OVERLAPPED* Overlapped() { return &overlapped_; }
  bool IsTransfer() const { return transfer_; }

  // After a start that went on in the background. A purge or close that came between taking
  // the handle and starting the operation did not see it: it cancels itself.
  void Started() {
    std::lock_guard lock(b_.mutex_);
    const bool missed = !b_.open_ || (transfer_ && b_.abort_generation_ != generation_);
    if (missed)
      Cancel();
    else if (std::find(b_.pending_.begin(), b_.pending_.end(), this) == b_.pending_.end())
      b_.pending_.push_back(this);
  }

  // A mask change is what ends a pending WaitCommEvent (Wine ignores CancelIoEx on one).
  void Cancel() {
    if (!transfer_) SetCommMask(handle_, 0);
    CancelIoEx(handle_, &overlapped_);
  }

  // Waits for the completion and fetches the result: 0 or the platform's error.
  DWORD Finish(DWORD& bytes) {
    bytes = 0;
    if (WaitForSingleObject(overlapped_.hEvent, INFINITE) != WAIT_OBJECT_0) {
      const DWORD error = GetLastError();
      CancelAndWait();
      return error;
    }
    return GetOverlappedResult(handle_, &overlapped_, &bytes, FALSE) ? 0 : GetLastError();
  }

  // For a wait given up on: the block must not go while the driver may still write to it.
  void CancelAndWait() {
    Cancel();
    DWORD ignored = 0;
    GetOverlappedResult(handle_, &overlapped_, &ignored, TRUE);
  }

 private:
  TWin32SerialBackend& b_;
  bool transfer_;
  OVERLAPPED overlapped_{};
  HANDLE handle_ = nullptr;
  uint64_t generation_ = 0;
  DWORD error_ = 0;
};

// --- open and close ---

int TWin32SerialBackend::Open(const std::string& port) {
  std::lock_guard lock(mutex_);
  if (open_) return ERROR_BUSY;
  // "\\.\" makes COM10 and above open like the others.
  const std::string device = "\\\\.\\" + port;
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!stop) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    return static_cast<int>(error);
  }
  // A UART's driver starts every open empty; a pseudo-terminal behind Wine keeps what arrived
  // while nobody had it open, so drop it here as a fresh port would.
  PurgeComm(handle, PURGE_RXCLEAR);
  handle_ = handle;
  stop_event_ = stop;
  event_mask_ = 0;
  open_ = true;
  return 0;
}

void TWin32SerialBackend::Close() {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  open_ = false;
  SetEvent(stop_event_);
  for (TOperation* operation : pending_) operation->Cancel();
  idle_cv_.wait(lock, [&] { return active_ == 0; });
  CloseHandle(handle_);
  CloseHandle(stop_event_);
  handle_ = INVALID_HANDLE_VALUE;
  stop_event_ = nullptr;
}

// Runs a quick call (one that never waits for the device) on the open handle.
template <typename F>
int TWin32SerialBackend::WithHandle(F&& call) {
  std::lock_guard lock(mutex_);
  if (!open_) return ERROR_INVALID_HANDLE;
  return call(handle_) ? 0 : static_cast<int>(GetLastError());
}

// --- settings ---

int TWin32SerialBackend::SetQueueSizes(int input_size, int output_size) {
  return WithHandle([&](HANDLE h) {
    return SetupComm(h, static_cast<DWORD>(input_size), static_cast<DWORD>(output_size));
  });
}

int TWin32SerialBackend::SetLineSettings(const TLineSettings& settings) {
  DCB dcb = ToDcb(settings);
  return WithHandle([&](HANDLE h) { return SetCommState(h, &dcb); });
}

int TWin32SerialBackend::SetTimeouts(const TTimeoutRecord& timeouts) {
  COMMTIMEOUTS record = ToCommTimeouts(timeouts);
  return WithHandle([&](HANDLE h) { return SetCommTimeouts(h, &record); });
}

// --- transfers ---

TTransferResult TWin32SerialBackend::Write(const void* buffer, int count) {
  if (!buffer) return {0, ERROR_INVALID_PARAMETER};
  TOperation operation(*this, true);
  if (DWORD error = operation.SetUpError()) return {0, static_cast<int>(error)};
  if (!WriteFile(operation.Handle(), buffer, static_cast<DWORD>(count), nullptr,
                 operation.Overlapped())) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return {0, static_cast<int>(error)};
  }
  operation.Started();
  DWORD written = 0;
  DWORD error = operation.Finish(written);
  // Some drivers (Wine's among them) end a transfer cut short by its time-out with
  // ERROR_TIMEOUT; Windows' own completes it. Either way it is the time-out, not a fault.
  if (error == ERROR_TIMEOUT) error = 0;
  return {static_cast<int>(written), static_cast<int>(error)};
}

TTransferResult TWin32SerialBackend::Read(void* buffer, int count) {
  if (!buffer) return {0, ERROR_INVALID_PARAMETER};
  TOperation operation(*this, true);
  if (DWORD error = operation.SetUpError()) return {0, static_cast<int>(error)};
  if (!ReadFile(operation.Handle(), buffer, static_cast<DWORD>(count), nullptr,
                operation.Overlapped())) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return {0, static_cast<int>(error)};
  }
  operation.Started();
  DWORD got = 0;
  DWORD error = operation.Finish(got);
  if (error == ERROR_TIMEOUT) error = 0;
  return {static_cast<int>(got), static_cast<int>(error)};
}

int TWin32SerialBackend::AbortTransfers() {
  std::lock_guard lock(mutex_);
  if (!open_) return ERROR_INVALID_HANDLE;
  if (!PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT)) return static_cast<int>(GetLastError());
  // The purge ends what the driver holds; a transfer another thread is just starting is told by
  // the generation, and one the driver let slip is cancelled here.
  ++abort_generation_;
  for (TOperation* operation : pending_)
    if (operation->IsTransfer()) operation->Cancel();
  return 0;
}

int TWin32SerialBackend::ClearQueues() {
  return WithHandle([](HANDLE h) { return PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR); });
}

int TWin32SerialBackend::QueueStatus(TQueueStatus& status, bool /*for_event*/) {
  DWORD errors = 0;
  COMSTAT comstat{};
  const int error = WithHandle([&](HANDLE h) { return ClearCommError(h, &errors, &comstat); });
  if (error) return error;
  status.InQueue = static_cast<int>(std::min<DWORD>(comstat.cbInQue, INT_MAX));
  status.Errors = errors;
  return 0;
}

int TWin32SerialBackend::ModemStatus(uint32_t& status) {
  DWORD lines = 0;
  const int error = WithHandle([&](HANDLE h) { return GetCommModemStatus(h, &lines); });
  status = error ? 0 : lines;
  return error;
}

// --- the event thread's wait ---

int TWin32SerialBackend::SetEventMask(uint32_t mask) {
  std::lock_guard lock(mutex_);
  if (!open_) return ERROR_INVALID_HANDLE;
  // A new event thread begins with the stop event clear; the old one set it.
  if (mask != 0) ResetEvent(stop_event_);
  if (!SetCommMask(handle_, mask)) return static_cast<int>(GetLastError());
  event_mask_ = mask;
  return 0;
}

void TWin32SerialBackend::StopEventWait() {
  std::lock_guard lock(mutex_);
  if (stop_event_) SetEvent(stop_event_);
}

TWaitResult TWin32SerialBackend::WaitEvents(uint32_t& mask, int& error) {
  mask = 0;
  error = 0;
  // Taken where the call failed, for the run that loses its line.
  const auto failed = [&error](DWORD code) {
    error = static_cast<int>(code);
    return TWaitResult::wrFailed;
  };
  TOperation operation(*this, false);
  if (const DWORD set_up = operation.SetUpError()) return failed(set_up);
  HANDLE stop = nullptr;
  uint32_t wanted = 0;
  {
    std::lock_guard lock(mutex_);
    stop = stop_event_;
    wanted = event_mask_;
  }
  for (int empty_reports = 0; empty_reports < kEmptyReportsToGiveUp;) {
    DWORD events = 0;
    // Its immediate result tells nothing the completion does not; only a refusal counts. A
    // refused wait (the device is gone, ERROR_OPERATION_ABORTED, ERROR_NOT_READY, ...) would be
    // refused again at once, so it ends the thread instead of being retried.
    if (!WaitCommEvent(operation.Handle(), &events, operation.Overlapped()) &&
        GetLastError() != ERROR_IO_PENDING)
      return failed(GetLastError());
    operation.Started();
    const HANDLE handles[2] = {stop, operation.Event()};
    const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0 + 1) {
      const DWORD wait_error = woke == WAIT_OBJECT_0 ? 0 : GetLastError();
      operation.CancelAndWait();
      return woke == WAIT_OBJECT_0 ? TWaitResult::wrStopped : failed(wait_error);
    }
    DWORD ignored = 0;
    // A wait that completed with an error is the device going away (Wine's view of a far end
    // that closed: ERROR_OPERATION_ABORTED), never something a new wait would get past.
    if (!GetOverlappedResult(operation.Handle(), operation.Overlapped(), &ignored, FALSE))
      return failed(GetLastError());
    mask = events & wanted;
    if (mask != 0) return TWaitResult::wrEvents;
    ++empty_reports;  // a mask change completes a wait with nothing in it
  }
  return failed(ERROR_DEVICE_REMOVED);
}

}  // namespace

std::unique_ptr<TSerialBackend> CreateSerialBackend() {
  return std::make_unique<TWin32SerialBackend>();
}

}  // namespace orvix
