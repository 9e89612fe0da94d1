// One programming run: find the device, write the range in acknowledged 128-byte blocks,
// confirm the 16-bit sum. Runs wholly on the main thread; its front end (the exchange window or
// the command line) shows what it tells.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "channel/discovery.h"
#include "exchange/frame_log.h"
#include "exchange/run_events.h"
#include "exchange/transfer.h"

namespace orvix {

class TExchange {
 public:
  TExchange(TRunEvents& events, TExchangeSettings settings);
  // The teardown: transfer, frame log, then discovery (every port closed, every thread ended).
  ~TExchange();
  TExchange(const TExchange&) = delete;
  TExchange& operator=(const TExchange&) = delete;

  void StartNegotiation();
  // The stop button: the run ends as stopped, whatever its phase.
  void AbortExchange();

  // Raised by discovery; public for the front ends' tests.
  void DeviceFound(TCustomSerialPort* port);

  const TExchangeSettings& Settings() const { return settings_; }
  TExchangePhase Phase() const {
    return transfer_ ? transfer_->Phase() : TExchangePhase::epNegotiation;
  }
  // From the start until the end: the transfer's quiet start included.
  bool Running() const { return running_ && !(transfer_ && transfer_->Ended()); }
  uint16_t RetryCount() const { return transfer_ ? transfer_->RetryCount() : 0; }
  // The run on the device's port, once a device has answered.
  TTransfer* Transfer() const { return transfer_.get(); }
  TRSPack* Pack() const { return transfer_ ? transfer_->Pack() : nullptr; }
  const TFrameLog* FrameLog() const { return frame_log_.get(); }
  TDiscovery& Discovery() { return discovery_; }
  const std::vector<std::pair<std::string, std::unique_ptr<TComPing>>>& PortList() const {
    return discovery_.PortList();
  }

 private:
  // The single run's wait for a device: its limit, and a search with no port left.
  void WatchSearch();
  void EndWithNoDevice();

  TRunEvents& events_;
  TExchangeSettings settings_;
  bool running_ = false;
  std::chrono::steady_clock::time_point started_;
  TDiscovery discovery_;
  std::unique_ptr<TFrameLog> frame_log_;
  std::unique_ptr<TTransfer> transfer_;
  TTimer search_watch_;
  // Fires once at WaitMs: the watch's ticks alone would give up as much as a tick late.
  TTimer wait_limit_;
};

}  // namespace orvix
