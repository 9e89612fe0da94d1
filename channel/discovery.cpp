#include "channel/discovery.h"

#include "channel/com_ping.h"
#include "runtime/message_loop.h"
#include "serial/port_list.h"
#include "serial/serial_backend.h"
#include "serial/serial_port.h"

namespace orvix {

TDiscovery::TDiscovery(uint8_t device, const TDiscoveryLine& line)
    : device_(device), line_(line) {
  watch_.SetInterval(kWatchInterval);
  watch_.OnTimer = [this] { Watch(); };
  found_.SetInterval(0);
  found_.OnTimer = [this] { ReportAnswers(); };
}

TDiscovery::~TDiscovery() { Stop(); }

void TDiscovery::Start(std::vector<std::string> names) {
  if (names.empty()) ListSerialPorts(names);
  for (const std::string& name : names) {
    auto ping = StartThread<TComPing>(name, device_, line_,
                                      MakeBackend ? MakeBackend() : nullptr);
    // The answer is seen inside the port's own receive handler: the hand-over runs from the
    // loop, once that handler has returned, so the transfer never replaces a running handler.
    ping->OnDeviceFound = [this, name](TCustomSerialPort* /*port*/) {
      if (stopping_) return;
      if (std::find(answered_.begin(), answered_.end(), name) == answered_.end())
        answered_.push_back(name);
      found_.SetEnabled(true);
    };
    port_list_.emplace_back(name, std::move(ping));
  }
  watch_.SetEnabled(true);
}

void TDiscovery::ReportAnswers() {
  found_.SetEnabled(false);
  while (!answered_.empty() && !stopping_) {
    const std::string name = answered_.front();
    answered_.erase(answered_.begin());
    const auto entry = std::find_if(port_list_.begin(), port_list_.end(),
                                    [&](const auto& e) { return e.first == name && e.second; });
    if (entry == port_list_.end() || HandedOver(entry->second.get())) continue;
    WatchPort(name, *entry->second);
    if (OnDeviceFound) OnDeviceFound(entry->second->SerialPort());
  }
}

void TDiscovery::Watch() {
  for (const auto& [name, ping] : port_list_) WatchPort(name, *ping);
}

void TDiscovery::WatchPort(const std::string& name, const TComPing& ping) {
  if (stopping_) return;
  TSeen& seen = seen_[&ping];
  if (!seen.opened && ping.Opened()) {
    seen.opened = true;
    if (OnPortOpened) OnPortOpened(name);
  }
  if (!seen.given_up && ping.GivenUp()) {
    seen.given_up = true;
    if (OnPortFailed) OnPortFailed(name, ping);
  }
}

std::optional<std::chrono::steady_clock::time_point> TDiscovery::HandOver(
    TCustomSerialPort* port) {
  for (auto& [name, ping] : port_list_) {
    if (!ping || ping->SerialPort() != port) continue;
    ping->Terminate();
    handed_over_.push_back(ping.get());
    return ping->LastPingWritten();
  }
  return std::nullopt;
}

bool TDiscovery::AnyPinging() const {
  for (const auto& [name, ping] : port_list_) {
    if (HandedOver(ping.get())) continue;
    if (!ping->Finished()) return true;
    // A thread ends as its device answers, before the answer is handed over; and one that gave
    // up is told by the watch a little later. Until both are told the port still counts, or a
    // run on one port could end as "no device" with the device's answer in hand, or without
    // naming the port that failed.
    if (!ping->GivenUp()) return true;
    const auto seen = seen_.find(ping.get());
    if (seen == seen_.end() || !seen->second.given_up) return true;
  }
  return false;
}

void TDiscovery::ReleaseIdle() { StopPorts(false); }

void TDiscovery::Stop() { StopPorts(true); }

void TDiscovery::StopPorts(bool handed_over_too) {
  // Every thread is asked at once, and a port is closed as soon as its thread has ended: only a
  // ping write still under way is waited for, up to 100 ms from the request, and the waits of
  // all the ports overlap instead of adding up.
  if (handed_over_too) {
    watch_.SetEnabled(false);
    found_.SetEnabled(false);
    answered_.clear();
  }
  Watch();  // what happened before the stop is still told
  stopping_ = true;
  const auto leaves = [&](const TComPing* ping) { return handed_over_too || !HandedOver(ping); };
  for (auto& entry : port_list_)
    if (entry.second && leaves(entry.second.get())) entry.second->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + kPingWriteGrace;
  for (auto& [name, ping] : port_list_) {
    if (!ping || !leaves(ping.get())) continue;
    TSerialPort* port = ping->SerialPort();
    if (port->Connected()) {
      ping->WaitUntil(deadline);
      try {
        port->ClosePort();
      } catch (...) {
        // Destroying the thread releases the port, which closes it again.
        HandleException(std::current_exception());
      }
    }
    seen_.erase(ping.get());
    std::erase(answered_, name);
    ping.reset();
  }
  std::erase_if(port_list_, [](const auto& entry) { return !entry.second; });
  if (handed_over_too) handed_over_.clear();
  stopping_ = false;
}

}  // namespace orvix
