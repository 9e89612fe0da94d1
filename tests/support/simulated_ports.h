// For tests that reach simulated devices by port name: starts the devices and points
// ORVIX_PORTS at them for the helper's lifetime, then puts the variable back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tools/devsim/device_simulator.h"

namespace orvix::testing {

class SimulatedPorts {
 public:
  SimulatedPorts() = default;
  ~SimulatedPorts() { devices_.clear(); }  // before the variable is put back
  SimulatedPorts(const SimulatedPorts&) = delete;
  SimulatedPorts& operator=(const SimulatedPorts&) = delete;

  // A new simulated device behind `name`.
  devsim::DeviceSimulator& Add(const std::string& name, devsim::SimOptions options = {}) {
    devices_.push_back(std::make_unique<devsim::DeviceSimulator>(std::move(options)));
    Map(name, devices_.back()->PortPath());
    return *devices_.back();
  }
  // A name for any path, such as one that does not exist or a plain pseudo-terminal.
  void Map(const std::string& name, const std::string& path) {
    entries_ += (entries_.empty() ? "" : ";") + name + "=" + path;
    variable_.Set(entries_);
  }
  const std::string& Entries() const { return entries_; }

 private:
  ScopedEnv variable_{"ORVIX_PORTS"};
  std::string entries_;
  std::vector<std::unique_ptr<devsim::DeviceSimulator>> devices_;
};

}  // namespace orvix::testing
