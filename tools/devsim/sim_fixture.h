// For tests that reach simulated devices by port name: starts the devices and points
// ORVIX_PORTS at them for the helper's lifetime, then puts the variable back.
#pragma once

#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/devsim/device_simulator.h"

namespace orvix::devsim {

class SimulatedPorts {
 public:
  SimulatedPorts() {
    if (const char* old = getenv("ORVIX_PORTS")) saved_ = old;
  }
  ~SimulatedPorts() {
    devices_.clear();
    if (saved_) {
      setenv("ORVIX_PORTS", saved_->c_str(), 1);
    } else {
      unsetenv("ORVIX_PORTS");
    }
  }
  SimulatedPorts(const SimulatedPorts&) = delete;
  SimulatedPorts& operator=(const SimulatedPorts&) = delete;

  // A new simulated device behind `name`.
  DeviceSimulator& Add(const std::string& name, SimOptions options = {}) {
    devices_.push_back(std::make_unique<DeviceSimulator>(std::move(options)));
    Map(name, devices_.back()->PortPath());
    return *devices_.back();
  }
  // A name for any path, such as one that does not exist or a plain pseudo-terminal.
  void Map(const std::string& name, const std::string& path) {
    entries_ += (entries_.empty() ? "" : ";") + name + "=" + path;
    setenv("ORVIX_PORTS", entries_.c_str(), 1);
  }
  const std::string& Entries() const { return entries_; }

 private:
  std::optional<std::string> saved_;
  std::string entries_;
  std::vector<std::unique_ptr<DeviceSimulator>> devices_;
};

}  // namespace orvix::devsim
