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
  try {
    while (!StopRequested()) {
      uint32_t mask = 0;
      if (backend_.WaitEvents(mask) != TWaitResult::wrEvents) break;
      const auto events = EventsOfMask(mask);
      last_events_.store(events.Bits());
      port_.FireEvents(events);
    }
  } catch (...) {
    // An exception out of a handler ends event delivery until the port is opened again; the
    // port stays open and says nothing.
  }
  if (retired_.load()) return;
  backend_.SetEventMask(0);
  backend_.ClearQueues();
}

}  // namespace orvix
