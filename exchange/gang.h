// A gang run: the same image into every device that answers, one transfer a port, all at once.
// Discovery goes on beside the transfers until enough devices have answered or the caller ends
// it; the protocol itself is the single run's, in TTransfer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "channel/discovery.h"
#include "exchange/run_events.h"
#include "exchange/transfer.h"
#include "runtime/message_loop.h"

namespace orvix {

class TGangRun {
 public:
  // expect: end discovery once this many devices have answered; 0: only when told. Every event
  // names its port; RunEnded comes once for each port whose device answered.
  TGangRun(TExchangeSettings settings, int expect, TRunEvents& events);
  // Every transfer ended, then every port closed and every thread ended.
  ~TGangRun();
  TGangRun(const TGangRun&) = delete;
  TGangRun& operator=(const TGangRun&) = delete;

  void Start();
  // No device answers from now on; the ports without one are released. Runs under way go on.
  void EndDiscovery();
  // The stop button for the whole gang: discovery ends and every transfer stops.
  void Abort();

  bool DiscoveryOpen() const { return discovery_open_; }
  // Discovery over and no transfer under way.
  bool Done() const;
  int Devices() const { return static_cast<int>(runs_.size()); }

  struct TRun {
    std::string Port;
    std::unique_ptr<TTransfer> Transfer;
  };
  const std::vector<TRun>& Runs() const { return runs_; }
  TDiscovery& Discovery() { return discovery_; }

 private:
  void DeviceFound(TCustomSerialPort* port);

  TExchangeSettings settings_;
  int expect_;
  TRunEvents& events_;
  bool discovery_open_ = false;
  TDiscovery discovery_;
  std::vector<TRun> runs_;
  // Releases the idle ports from the loop, not from inside a hand-over that walks the port list.
  TTimer release_;
};

}  // namespace orvix
