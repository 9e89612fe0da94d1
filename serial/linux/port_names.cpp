#include <sys/resource.h>

#include "serial/port_list.h"
#include "serial/linux/port_map.h"

namespace orvix {

std::vector<std::string> PlatformPortNames() {
  std::vector<std::string> names;
  for (auto& entry : CurrentPortMap()) names.push_back(std::move(entry.Name));
  return names;
}

void RaiseOpenPortLimit() {
  // Every open port holds descriptors (the device, its event thread's wake-up): a soft limit of
  // 256 or 1024 would leave the ports at the end of a long map unopened.
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

std::string PortDevicePath(const std::string& port) {
  return ResolvePortPath(port);
}

}  // namespace orvix
