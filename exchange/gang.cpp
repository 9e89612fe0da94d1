#include "exchange/gang.h"

#include "channel/com_ping.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"

namespace orvix {

TGangRun::TGangRun(TExchangeSettings settings, int expect, TRunEvents& events)
    : settings_(std::move(settings)),
      expect_(expect),
      events_(events),
      discovery_(settings_.DeviceNumber,
                 {settings_.BaudRate, settings_.Reset, settings_.ResetMs}) {
  discovery_.OnDeviceFound = [this](TCustomSerialPort* port) { DeviceFound(port); };
  discovery_.OnPortOpened = [this](const std::string& name) { events_.PortOpened(name); };
  discovery_.OnPortFailed = [this](const std::string& name, const TComPing& ping) {
    events_.PortGivenUp(
        {name, ping.OpenFailed(), ping.FailureCode(), ping.FailureCause()});
  };
  release_.SetInterval(0);
  release_.OnTimer = [this] {
    release_.SetEnabled(false);
    discovery_.ReleaseIdle();
  };
}

TGangRun::~TGangRun() {
  discovery_open_ = false;
  release_.SetEnabled(false);
  runs_.clear();
  discovery_.Stop();
}

void TGangRun::Start() {
  discovery_open_ = true;
  std::vector<std::string> ports = settings_.Ports;
  if (ports.empty()) ListSerialPorts(ports);
  events_.LookingForDevice(ports);
  discovery_.Start(ports);
}

void TGangRun::DeviceFound(TCustomSerialPort* port) {
  if (!discovery_open_) return;
  const std::string name = port->Port();
  // Counted, and discovery ended at the expected count, before the hand-over waits for the
  // port's thread: answers from other ports that come in meanwhile are reported inside that
  // wait, and each starts its own run beside this one only while discovery is still open.
  runs_.push_back(
      TRun{name, std::make_unique<TTransfer>(events_, settings_, port, nullptr)});
  TTransfer& transfer = *runs_.back().Transfer;
  if (expect_ > 0 && Devices() >= expect_) EndDiscovery();
  transfer.Start(TTransfer::QuietUntil(discovery_.HandOver(port)));
}

void TGangRun::EndDiscovery() {
  if (!discovery_open_) return;
  discovery_open_ = false;
  release_.SetEnabled(true);
}

void TGangRun::Abort() {
  EndDiscovery();
  for (TRun& run : runs_)
    if (!run.Transfer->Ended()) run.Transfer->Abort();
}

bool TGangRun::Done() const {
  if (discovery_open_ || release_.Enabled()) return false;
  for (const TRun& run : runs_)
    if (!run.Transfer->Ended()) return false;
  return true;
}

}  // namespace orvix
