#include "serial/linux/port_map.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serial/port_list.h"
#include "serial/serial_error.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

// why: a text with %1 for the variable and %2 for the entry.
[[noreturn]] void BadEntry(const std::string& entry, const char* why) {
  throw EPortMapError({"serial", why, {kPortMapVariable, entry}, {}});
}

TPortMapEntry ParseEntry(const std::string& entry) {
  const auto eq = entry.find('=');
  if (eq == std::string::npos)
    BadEntry(entry, ORVIX_TEXT("serial", "%1 entry '%2' is not NAME=PATH"));
  TPortMapEntry e{Trim(entry.substr(0, eq)), Trim(entry.substr(eq + 1))};
  if (e.Name.empty() || e.Path.empty())
    BadEntry(entry, ORVIX_TEXT("serial", "%1 entry '%2' is not NAME=PATH"));
  if (e.Path.front() != '/')
    BadEntry(entry, ORVIX_TEXT("serial", "%1 entry '%2' needs an absolute device path"));
  // A Port that begins with '/' opens that path, so such a name could never reach its entry.
  if (e.Name.front() == '/')
    BadEntry(entry, ORVIX_TEXT("serial", "%1 entry '%2' has a path where the port name belongs"));
  return e;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The kernel's numbering per kind, shifted into a range of its own.
struct TTyKind {
  const char* prefix;
  int first_com;
  int count;
};
constexpr TTyKind kKinds[] = {
    {"ttyS", 1, 99}, {"ttyUSB", 100, 100}, {"ttyACM", 200, 100}, {"ttyAMA", 300, 100}};

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool HasNoUart(const fs::path& entry) {
  std::ifstream in(entry / "type");
  int type = -1;
  return (in >> type) && type == 0;
}

}  // namespace

TPortMap ParsePortMap(const std::string& text) {
  TPortMap map;
  size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = Trim(text.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;
    auto e = ParseEntry(entry);
    auto same_name = [&](const TPortMapEntry& m) { return m.Name == e.Name; };
    if (std::any_of(map.begin(), map.end(), same_name))
      BadEntry(entry, ORVIX_TEXT("serial", "%1 entry '%2' repeats a port name"));
    map.push_back(std::move(e));
  }
  return map;
}

int ComNumberOfTty(const std::string& name) {
  for (const auto& kind : kKinds) {
    const std::string prefix = kind.prefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), IsDigit)) return 0;
    if (digits.size() > 1 && digits[0] == '0') return 0;
    const int n = std::stoi(digits);
    return n < kind.count ? kind.first_com + n : 0;
  }
  return 0;
}

TPortMap ScanSysfsPorts(const std::string& sysfs_root) {
  const fs::path dir = fs::path(sysfs_root) / "class" / "tty";
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) throw ESerialPort(ecPortList, ec.value(), "cannot list " + dir.string());

  std::vector<std::pair<int, TPortMapEntry>> found;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const int number = ComNumberOfTty(name);
    if (number == 0) continue;
    // Virtual terminals and other software ttys have no device behind them.
    if (!fs::exists(it->path() / "device", ec)) continue;
    if (name.rfind("ttyS", 0) == 0 && HasNoUart(it->path())) continue;
    found.push_back({number, {"COM" + std::to_string(number), "/dev/" + name}});
  }
  if (ec) throw ESerialPort(ecPortList, ec.value(), "cannot list " + dir.string());

  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  TPortMap map;
  for (auto& f : found) map.push_back(std::move(f.second));
  return map;
}

TPortMap CurrentPortMap(const std::string& sysfs_root) {
  if (const char* text = std::getenv(kPortMapVariable)) return ParsePortMap(text);
  return ScanSysfsPorts(sysfs_root);
}

std::string ResolvePortPath(const std::string& port, const TPortMap& map) {
  if (!port.empty() && port.front() == '/') return port;
  for (const auto& e : map)
    if (e.Name == port) return e.Path;
  for (const auto& e : map)
    if (SameIgnoringCase(e.Name, port)) return e.Path;
  return {};
}

std::string ResolvePortPath(const std::string& port) {
  if (!port.empty() && port.front() == '/') return port;
  return ResolvePortPath(port, CurrentPortMap());
}

}  // namespace orvix
