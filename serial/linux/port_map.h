// The device map: which device path each port name ("COM3") opens on this machine.
//
// ORVIX_PORTS ("COM1=/dev/ttyUSB0;COM7=/dev/pts/3"), when set, even empty, is the whole map.
// Otherwise the map lists the machine's real serial devices under /sys/class/tty, with numbers
// that follow the kernel's device name, so plugging in another device renumbers nothing:
//   ttyS<n> -> COM<n+1>,  ttyUSB<n> -> COM<100+n>,  ttyACM<n> -> COM<200+n>,  ttyAMA<n> ->
//   COM<300+n>
#pragma once

#include <string>
#include <vector>

namespace orvix {

constexpr const char* kPortMapVariable = "ORVIX_PORTS";

struct TPortMapEntry {
  std::string Name;
  std::string Path;
  friend bool operator==(const TPortMapEntry&, const TPortMapEntry&) = default;
};
using TPortMap = std::vector<TPortMapEntry>;

// Entries NAME=PATH separated by ';' (empty entries are skipped); the path is absolute, the name
// is not a path and does not repeat. A malformed entry raises EPortMapError (code 23) quoting it.
TPortMap ParsePortMap(const std::string& text);

// The COM number of a kernel tty name ("ttyUSB0" gives 100), 0 for names outside the scheme.
int ComNumberOfTty(const std::string& tty_name);

// Real serial devices under <sysfs_root>/class/tty, in COM-number order: entries with a device
// behind them, less 8250-style ports whose UART type is unknown (0), which have no chip.
TPortMap ScanSysfsPorts(const std::string& sysfs_root = "/sys");

// ORVIX_PORTS when set, the sysfs map otherwise.
TPortMap CurrentPortMap(const std::string& sysfs_root = "/sys");

// The path a Port opens: an absolute path as given, a mapped name (exact, then ignoring letter
// case, as Windows does for COM names) to its path, "" for a name the map does not hold.
std::string ResolvePortPath(const std::string& port, const TPortMap& map);
std::string ResolvePortPath(const std::string& port);

}  // namespace orvix
