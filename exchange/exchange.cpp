#include "exchange/exchange.h"

#include "channel/com_ping.h"
#include "channel/rs_pack.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"

namespace orvix {
namespace {

constexpr int kSearchWatchInterval = 50;  // ms

TPortFailure FailureOf(const std::string& name, const TComPing& ping) {
  return {name, ping.OpenFailed(), ping.FailureCode(), ping.FailureCause()};
}

}  // namespace

TExchange::TExchange(TRunEvents& events, TExchangeSettings settings)
    : events_(events),
      settings_(std::move(settings)),
      discovery_(settings_.DeviceNumber,
                 {settings_.BaudRate, settings_.Reset, settings_.ResetMs}) {
  if (!settings_.LogFileName.empty())
    frame_log_ = std::make_unique<TFrameLog>(settings_.LogFileName);
  discovery_.OnDeviceFound = [this](TCustomSerialPort* port) { DeviceFound(port); };
  discovery_.OnPortOpened = [this](const std::string& name) { events_.PortOpened(name); };
  discovery_.OnPortFailed = [this](const std::string& name, const TComPing& ping) {
    events_.PortGivenUp(FailureOf(name, ping));
  };
  search_watch_.SetInterval(kSearchWatchInterval);
  search_watch_.OnTimer = [this] { WatchSearch(); };
  wait_limit_.OnTimer = [this] {
    wait_limit_.SetEnabled(false);
    WatchSearch();
  };
}

TExchange::~TExchange() {
  // Waiting for the discovery threads runs their hand-overs: a device reported now must not
  // start a transfer on a channel and log that are going away.
  running_ = false;
  search_watch_.SetEnabled(false);
  wait_limit_.SetEnabled(false);
  transfer_.reset();
  frame_log_.reset();
  discovery_.Stop();
}

void TExchange::StartNegotiation() {
  try {
    started_ = std::chrono::steady_clock::now();
    running_ = true;
    std::vector<std::string> ports = settings_.Ports;
    if (ports.empty()) ListSerialPorts(ports);
    events_.LookingForDevice(ports);
    discovery_.Start(ports);
    if (settings_.WaitMs >= 0 || settings_.GiveUpWhenNoPortLeft) search_watch_.SetEnabled(true);
    if (settings_.WaitMs >= 0) {
      wait_limit_.SetInterval(settings_.WaitMs);
      wait_limit_.SetEnabled(true);
    }
  } catch (...) {
    AbortExchange();
    throw;
  }
}

void TExchange::WatchSearch() {
  if (!running_ || transfer_) {
    search_watch_.SetEnabled(false);
    wait_limit_.SetEnabled(false);
    return;
  }
  const auto waited = std::chrono::steady_clock::now() - started_;
  const bool timed_out =
      settings_.WaitMs >= 0 && waited >= std::chrono::milliseconds(settings_.WaitMs);
  if (timed_out || (settings_.GiveUpWhenNoPortLeft && !discovery_.AnyPinging())) EndWithNoDevice();
}

void TExchange::EndWithNoDevice() {
  search_watch_.SetEnabled(false);
  wait_limit_.SetEnabled(false);
  running_ = false;
  TRunResult result;
  result.Outcome = TOutcome::ocNoDevice;
  result.PortsPinged = static_cast<int>(discovery_.PortList().size());
  result.SearchSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  events_.RunEnded(result);
}

// The device's port is pinged no more, so the last ping answers are due by a known time: the
// transfer stays quiet until then.
void TExchange::DeviceFound(TCustomSerialPort* port) {
  // One device per run: a later answer, on this port or another, or one that comes after the
  // run was stopped, must not start a second transfer.
  if (transfer_ || !running_) return;
  search_watch_.SetEnabled(false);
  wait_limit_.SetEnabled(false);
  transfer_ = std::make_unique<TTransfer>(events_, settings_, port, frame_log_.get());
  transfer_->Start(TTransfer::QuietUntil(discovery_.HandOver(port)));
}

void TExchange::AbortExchange() {
  if (transfer_) {
    running_ = false;
    transfer_->Abort();
    return;
  }
  if (!running_) return;
  running_ = false;
  search_watch_.SetEnabled(false);
  wait_limit_.SetEnabled(false);
  TRunResult result;
  result.Outcome = TOutcome::ocStopped;
  result.PortsPinged = static_cast<int>(discovery_.PortList().size());
  events_.RunEnded(result);
}

}  // namespace orvix
