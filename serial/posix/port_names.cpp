#include "serial/port_list.h"
#include "serial/port_map.h"

namespace orvix {

std::vector<std::string> PlatformPortNames() {
  std::vector<std::string> names;
  for (auto& entry : CurrentPortMap()) names.push_back(std::move(entry.Name));
  return names;
}

}  // namespace orvix
