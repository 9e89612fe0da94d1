// A /sys and /dev look-alike in a temporary folder, built from the same hand-written umockdev
// device descriptions that the umockdev tests load, so both kinds of test see one set of
// devices. Like udev, it also makes the DEVLINKS links (/dev/serial/by-id/...).
#pragma once

#include <map>
#include <string>

#include "serial/linux/port_identity_linux.h"

namespace orvix::testing {

class MockTree {
 public:
  MockTree();
  ~MockTree();
  MockTree(const MockTree&) = delete;
  MockTree& operator=(const MockTree&) = delete;

  // Adds the devices of a description file (a name under tests/serial/devices). Device nodes
  // (N:) are empty files unless nodes maps their name to a path to link to instead.
  void Load(const std::string& description, const std::map<std::string, std::string>& nodes = {});

  TSysRoots Roots() const;
  std::string Root() const { return root_; }
  // A file under the tree (relative to its root, e.g. "sys/devices/..."), written whole.
  void Write(const std::string& relative, const std::string& text);

 private:
  std::string root_;
};

// The folder that holds the description files.
std::string DeviceDescriptions();

}  // namespace orvix::testing
