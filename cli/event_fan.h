// One run, several listeners: the human lines, the JSON lines and the harness's own tally each
// hear every event, in the order given.
#pragma once

#include <initializer_list>
#include <vector>

#include "exchange/run_events.h"

namespace orvix {

class TEventFan final : public TRunEvents {
 public:
  TEventFan(std::initializer_list<TRunEvents*> to) : to_(to) {}

  void LookingForDevice(const std::vector<std::string>& ports) override {
    for (TRunEvents* e : to_) e->LookingForDevice(ports);
  }
  void PortOpened(const std::string& port) override {
    for (TRunEvents* e : to_) e->PortOpened(port);
  }
  void PortGivenUp(const TPortFailure& failure) override {
    for (TRunEvents* e : to_) e->PortGivenUp(failure);
  }
  void DeviceFound(const std::string& port) override {
    for (TRunEvents* e : to_) e->DeviceFound(port);
  }
  void Progress(const std::string& port, int done, int total) override {
    for (TRunEvents* e : to_) e->Progress(port, done, total);
  }
  void FrameResent(const std::string& port, TResent what, uint16_t address) override {
    for (TRunEvents* e : to_) e->FrameResent(port, what, address);
  }
  void BadReply(const std::string& port, TBadReply what) override {
    for (TRunEvents* e : to_) e->BadReply(port, what);
  }
  void LogFailed(const std::string& file, const std::string& cause) override {
    for (TRunEvents* e : to_) e->LogFailed(file, cause);
  }
  void RunEnded(const TRunResult& result) override {
    for (TRunEvents* e : to_) e->RunEnded(result);
  }

 private:
  std::vector<TRunEvents*> to_;
};

}  // namespace orvix
