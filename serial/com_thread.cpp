#include "serial/com_thread.h"

#include "serial/serial_port.h"

namespace orvix {

TComThread::TComThread(TBuildKey key, TCustomSerialPort& port, TSerialBackend& backend,
                       TComEvents events)
    : TThread(key), port_(port), backend_(backend) {
  backend_.SetEventMask(EventMaskOf(events));
}

void TComThread::WakeBody() {
  if (!retired_.load()) backend_.StopEventWait();
}

void TComThread::Retire() {
  retired_.store(true);
  RequestStop();
}

void TComThread::Execute() {
  thread_id_.store(std::this_thread::get_id());
  std::exception_ptr lost;
  try {
    while (!StopRequested()) {
      uint32_t mask = 0;
      int error = 0;
      const TWaitResult result = backend_.WaitEvents(mask, error);
      if (result == TWaitResult::wrFailed && !StopRequested())
        lost = std::make_exception_ptr(ESerialPort(ecWaitForEvent, error ? error : -1));
      if (result != TWaitResult::wrEvents) break;
      const auto events = EventsOfMask(mask);
      port_.FireEvents(events);
    }
  } catch (...) {
    // An exception out of a handler ends event delivery until the port is opened again; the
    // port stays open, and whoever listens is told, so a run never waits on a dead line.
    lost = std::current_exception();
  }
  if (lost && !retired_.load()) port_.FireLineLost(lost);
  if (retired_.load()) return;
  backend_.SetEventMask(0);
  backend_.ClearQueues();
}

}  // namespace orvix
