#include "serial/linux/port_identity_linux.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "serial/port_list.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

// A sysfs attribute's text without its line end; nothing when absent or empty.
std::optional<std::string> Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!in || !std::getline(in, text)) return std::nullopt;
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> DriverOf(const fs::path& device) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(device / "driver", ec);
  if (ec || target.filename().empty()) return std::nullopt;
  return target.filename().string();
}

// Follows every link in path, component by component. Not fs::canonical: its realpath() frees
// memory that umockdev's realpath() wrapper did not hand out. Nothing for a loop.
std::optional<fs::path> Resolve(const fs::path& path) {
  fs::path done = path.root_path();
  const fs::path relative = path.relative_path();
  std::vector<fs::path> todo(relative.begin(), relative.end());
  std::reverse(todo.begin(), todo.end());
  for (int links = 0; !todo.empty();) {
    const fs::path part = todo.back();
    todo.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      done = done.parent_path();
      continue;
    }
    const fs::path next = done / part;
    std::error_code ec;
    if (!fs::is_symlink(next, ec)) {
      done = next;
      continue;
    }
    const fs::path target = fs::read_symlink(next, ec);
    if (ec || ++links > 40) return std::nullopt;
    if (target.is_absolute()) done = target.root_path();
    const fs::path tail = target.relative_path();
    std::vector<fs::path> parts(tail.begin(), tail.end());
    todo.insert(todo.end(), parts.rbegin(), parts.rend());
  }
  return done;
}

// The kernel's tty name of path, when path is (or links to) a node in /dev.
std::optional<std::string> TtyName(const std::string& path, const TSysRoots& roots) {
  const fs::path real = Resolve(path).value_or(fs::path(path).lexically_normal());
  const fs::path parent = real.parent_path();
  if (parent != fs::path("/dev") && parent != fs::path(roots.Dev).lexically_normal())
    return std::nullopt;
  return real.filename().string();
}

// The link under <dev>/serial/by-id that leads to the tty; the first in name order when there
// are several.
std::optional<std::string> ByIdLink(const std::string& tty, const TSysRoots& roots) {
  const fs::path dir = fs::path(roots.Dev) / "serial" / "by-id";
  std::error_code ec;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path target = fs::read_symlink(it->path(), ec);
    if (ec) {
      ec.clear();
      continue;
    }
    // udev writes "../../ttyUSB0"; an absolute target is followed the same way.
    const fs::path resolved = (target.is_absolute() ? target : dir / target).lexically_normal();
    if (resolved.filename() == tty) links.push_back(it->path());
  }
  if (links.empty()) return std::nullopt;
  return std::min_element(links.begin(), links.end())->string();
}

void ReadUsbDevice(const fs::path& usb, const std::optional<fs::path>& interface,
                   TPortIdentity& port) {
  if (auto v = Attribute(usb / "idVendor")) port.Vid = ParseHexId(*v);
  if (auto p = Attribute(usb / "idProduct")) port.Pid = ParseHexId(*p);
  port.Serial = Attribute(usb / "serial");
  port.Manufacturer = Attribute(usb / "manufacturer");
  port.Product = Attribute(usb / "product");
  // The device's folder name is its bus-port path ("1-2.3"), an interface's adds ":1.0".
  port.Location = (interface ? interface->filename() : usb.filename()).string();
  if (interface) {
    if (auto d = DriverOf(*interface)) port.Driver = d;
  }
}

}  // namespace

TPortIdentity IdentifyPort(const std::string& name, const std::string& path,
                           const TSysRoots& roots) {
  TPortIdentity port;
  port.Name = name;
  port.Path = path;
  const auto tty = TtyName(path, roots);
  if (!tty) return port;
  std::error_code ec;
  const auto found = Resolve(fs::path(roots.Sys) / "class" / "tty" / *tty / "device");
  if (!found || !fs::is_directory(*found, ec)) return port;
  const fs::path& device = *found;

  port.ById = ByIdLink(*tty, roots);
  port.Driver = DriverOf(device);
  if (auto latency = Attribute(device / "latency_timer")) {
    try {
      port.LatencyTimerMs = std::stoi(*latency);
    } catch (const std::exception&) {
    }
  }
  // Up from the port's device: a USB interface (bInterfaceNumber), then the USB device
  // (idVendor). Stops at the sysfs root, so a platform UART finds neither.
  const fs::path top = Resolve(roots.Sys).value_or(fs::path(roots.Sys));
  std::optional<fs::path> interface;
  for (fs::path dir = device; !dir.empty() && dir != top && dir != dir.root_path();
       dir = dir.parent_path()) {
    if (!interface && fs::exists(dir / "bInterfaceNumber", ec)) interface = dir;
    if (fs::exists(dir / "idVendor", ec)) {
      ReadUsbDevice(dir, interface, port);
      break;
    }
  }
  return port;
}

std::vector<TPortIdentity> IdentifyPorts(const TPortMap& map, const TSysRoots& roots) {
  std::vector<std::string> names;
  for (const auto& e : map) names.push_back(e.Name);
  std::vector<std::string> listed;
  AssignSerialPorts(names, listed);
  std::vector<TPortIdentity> ports;
  for (const auto& name : listed) ports.push_back(IdentifyPort(name, ResolvePortPath(name, map), roots));
  return ports;
}

std::vector<TPortIdentity> ListPortIdentities() {
  return IdentifyPorts(CurrentPortMap());
}

}  // namespace orvix
