// One programming run: find the device, write the range in acknowledged 128-byte blocks,
// confirm the 16-bit sum. Runs wholly on the main thread; its front end (the exchange window or
// the command line) shows what it reports.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "channel/discovery.h"
#include "exchange/exchange_front_end.h"
#include "exchange/frame_log.h"
#include "exchange/transfer.h"

namespace orvix {

class TExchange {
 public:
  TExchange(TExchangeFrontEnd& front_end, TExchangeSettings settings);
  // The teardown: transfer, frame log, then discovery (every port closed, every thread ended).
  ~TExchange();
  TExchange(const TExchange&) = delete;
  TExchange& operator=(const TExchange&) = delete;

  void StartNegotiation();
  void AbortExchange();

  // Raised by discovery; public for the front ends' tests.
  void DeviceFound(TCustomSerialPort* port);

  uint8_t DeviceNumber() const { return settings_.DeviceNumber; }
  uint16_t StartAddress() const { return settings_.StartAddress; }
  uint16_t StopAddress() const { return settings_.StopAddress; }
  int ReplyTimeOut() const { return settings_.ReplyTimeOut; }
  TExchangePhase Phase() const {
    return transfer_ ? transfer_->Phase() : TExchangePhase::epNegotiation;
  }
  // From the start until the end: the transfer's hand-over included.
  bool Running() const { return running_ && !(transfer_ && transfer_->Ended()); }
  uint16_t RetryCount() const { return transfer_ ? transfer_->RetryCount() : 0; }
  // The run on the device's port, once a device has answered.
  TTransfer* Transfer() const { return transfer_.get(); }
  TRSPack* Pack() const { return transfer_ ? transfer_->Pack() : nullptr; }
  const TFrameLog& FrameLog() const { return *frame_log_; }
  TDiscovery& Discovery() { return discovery_; }
  const std::vector<std::pair<std::string, std::unique_ptr<TComPing>>>& PortList() const {
    return discovery_.PortList();
  }

 private:
  TExchangeFrontEnd& front_end_;
  TExchangeSettings settings_;
  bool running_ = false;
  TDiscovery discovery_;
  std::unique_ptr<TFrameLog> frame_log_;
  std::unique_ptr<TTransfer> transfer_;
};

}  // namespace orvix
