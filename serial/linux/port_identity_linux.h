// Port identity on Linux, read straight from sysfs and /dev rather than through libudev: the
// device map already walks /sys/class/tty, the attributes we need (USB ids, strings, driver
// links, FTDI's latency_timer) are plain files there, the program keeps no dependency on the
// udev library (it runs where udev does not), and both roots can be moved, so tests build their
// own trees or run under umockdev, which mocks /sys and /dev for the default roots.
#pragma once

#include <string>
#include <vector>

#include "serial/port_identity.h"
#include "serial/linux/port_map.h"

namespace orvix {

struct TSysRoots {
  std::string Sys = "/sys";
  std::string Dev = "/dev";
};

// What sysfs tells about the device behind path (a /dev node, or a link to one such as a by-id
// path). A path that is no kernel tty (a pseudo-terminal, a file) gets name and path only.
TPortIdentity IdentifyPort(const std::string& name, const std::string& path,
                           const TSysRoots& roots = {});

// The qualifying names of map (ListSerialPorts' rules and order), each identified.
std::vector<TPortIdentity> IdentifyPorts(const TPortMap& map, const TSysRoots& roots = {});

}  // namespace orvix
