// The platform layer under TCustomSerialPort: one implementation per operating system, chosen by
// the build. The port holds the algorithms; a backend only talks to the device.
//
// Every call that can fail returns 0 or the platform's error number (errno, GetLastError), taken
// where the failing call returned, so the port can raise it with the right message code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial_settings.h"

namespace orvix {

struct TTransferResult {
  int Bytes = 0;  // moved before the transfer ended, also when it failed
  int Error = 0;
};

struct TQueueStatus {
  int InQueue = 0;      // bytes received and not yet read
  uint32_t Errors = 0;  // drv::kCe flags gathered since the last call
};

enum class TWaitResult {
  wrEvents,   // the mask holds what happened
  wrStopped,  // StopEventWait was called
  wrFailed,   // the device cannot report any more (gone, hung up); waiting again is pointless
};

class TSerialBackend {
 public:
  virtual ~TSerialBackend() = default;

  // Opens the named port for exclusive use and discards what arrived before. Any thread.
  virtual int Open(const std::string& port) = 0;
  // Ends every transfer and wait still in progress, then releases the device. Safe when closed.
  virtual void Close() = 0;

  virtual int SetQueueSizes(int input_size, int output_size) = 0;
  virtual int SetLineSettings(const TLineSettings& settings) = 0;
  virtual int SetTimeouts(const TTimeoutRecord& timeouts) = 0;

  // Block by the time-out record's rules. Any thread; a read and a write may run at once.
  virtual TTransferResult Write(const void* buffer, int count) = 0;
  virtual TTransferResult Read(void* buffer, int count) = 0;

  // Makes transfers in progress on other threads end with an error; the queues stay.
  virtual int AbortTransfers() = 0;
  // Discards both queues.
  virtual int ClearQueues() = 0;
  // The receive count and the line errors; the errors are cleared. A count asked for an event
  // report (for_event) also marks every byte received so far as reported.
  virtual int QueueStatus(TQueueStatus& status, bool for_event) = 0;
  // drv::kMs bits. A device without modem lines reads as all lines off, not as a failure.
  virtual int ModemStatus(uint32_t& status) = 0;

  // The event thread's side: the drv::kEv mask to wait for (0 when the thread ends), the wait,
  // and the wake-up that ends a wait from another thread.
  virtual int SetEventMask(uint32_t mask) = 0;
  // wrFailed sets error to the system's error number (0 when it gave none).
  virtual TWaitResult WaitEvents(uint32_t& mask, int& error) = 0;
  virtual void StopEventWait() = 0;
};

std::unique_ptr<TSerialBackend> CreateSerialBackend();

}  // namespace orvix
