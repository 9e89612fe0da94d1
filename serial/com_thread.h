// The event thread of an open port: waits for driver reports and fires them through the port.
#pragma once

#include <atomic>
#include <thread>

#include "runtime/thread.h"
#include "serial/serial_backend.h"
#include "serial/serial_settings.h"

namespace orvix {

class TCustomSerialPort;

class TComThread : public TThread {
 public:
  // Sets the backend's event mask; StartThread<TComThread>(...) then starts the waiting.
  TComThread(TBuildKey key, TCustomSerialPort& port, TSerialBackend& backend, TComEvents events);

  // For a close from inside this thread's own report: the body ends once the report returns and
  // leaves the device alone, as the port may already be closed or open again by then.
  void Retire();
  bool IsCurrentThread() const { return std::this_thread::get_id() == thread_id_.load(); }

 protected:
  void Execute() override;
  // A stop request ends the backend's wait too, unless the thread retired from the device.
  void WakeBody() override;

 private:
  TCustomSerialPort& port_;
  TSerialBackend& backend_;
  std::atomic<std::thread::id> thread_id_{};
  std::atomic<bool> retired_{false};
};

}  // namespace orvix
