#include "serial/port_list.h"
#include "serial/posix/port_map.h"

namespace orvix {

std::vector<std::string> PlatformPortNames() {
  std::vector<std::string> names;
  for (auto& entry : CurrentPortMap()) names.push_back(std::move(entry.Name));
  return names;
}

std::string PortDevicePath(const std::string& port) {
  return ResolvePortPath(port);
}

}  // namespace orvix
