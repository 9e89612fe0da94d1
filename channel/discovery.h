// Discovery on every port at once: one pinging thread a port, and the hand-over of a port whose
// device answered to the transfer that takes it on.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "channel/discovery_line.h"
#include "runtime/message_loop.h"

namespace orvix {

class TComPing;
class TCustomSerialPort;
class TSerialBackend;

class TDiscovery {
 public:
  // How long stopping lets a ping write that is under way finish before it closes the port.
  static constexpr std::chrono::milliseconds kPingWriteGrace{100};
  static constexpr int kWatchInterval = 50;  // ms

  explicit TDiscovery(uint8_t device, const TDiscoveryLine& line = {});
  // Stop(): every port closed, every thread ended.
  ~TDiscovery();
  TDiscovery(const TDiscovery&) = delete;
  TDiscovery& operator=(const TDiscovery&) = delete;

  // Starts pinging these ports; none given: every port of the machine.
  void Start(std::vector<std::string> names);
  // The answering port is pinged no more; returns when its last ping was written. The port
  // stays open, owned here, until Stop().
  std::optional<std::chrono::steady_clock::time_point> HandOver(TCustomSerialPort* port);
  // Ends discovery on every port not handed over: their threads stopped, their ports closed.
  void ReleaseIdle();
  // Ends discovery everywhere, the handed-over ports included.
  void Stop();

  // Whether any port not handed over is still being pinged (or still being opened), or has an
  // answer or a failure not yet told.
  bool AnyPinging() const;
  const std::vector<std::pair<std::string, std::unique_ptr<TComPing>>>& PortList() const {
    return port_list_;
  }

  // Raised from the loop, never from inside the port's receive handler: a device answered on
  // this open port.
  std::function<void(TCustomSerialPort* port)> OnDeviceFound;
  // Raised on the main thread as each port opens, or is given up (the thread ended early; its
  // FailureCause and OpenFailed say why): seen within kWatchInterval, and always before the port's
  // OnDeviceFound. Not raised while stopping.
  std::function<void(const std::string& name)> OnPortOpened;
  std::function<void(const std::string& name, const TComPing& ping)> OnPortFailed;
  // Makes the platform layer under each port Start() opens; empty: the build's own. For a test
  // that watches what reaches the device.
  std::function<std::unique_ptr<TSerialBackend>()> MakeBackend;

 private:
  // What has been reported of a port.
  struct TSeen {
    bool opened = false;
    bool given_up = false;
  };
  void StopPorts(bool handed_over_too);
  bool HandedOver(const TComPing* ping) const {
    return std::find(handed_over_.begin(), handed_over_.end(), ping) != handed_over_.end();
  }
  // Reports what changed on the ports since the last look. The threads only set flags: a thread
  // that waited for the main thread to hear of its open would hold up pinging wherever the main
  // thread is busy.
  void Watch();
  void WatchPort(const std::string& name, const TComPing& ping);
  void ReportAnswers();

  uint8_t device_;
  TDiscoveryLine line_;
  bool stopping_ = false;
  std::vector<std::pair<std::string, std::unique_ptr<TComPing>>> port_list_;
  std::vector<const TComPing*> handed_over_;
  std::map<const TComPing*, TSeen> seen_;
  TTimer watch_;
  std::vector<std::string> answered_;  // ports whose answer is still to be reported
  TTimer found_;
};

}  // namespace orvix
