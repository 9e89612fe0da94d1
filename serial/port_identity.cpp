#include "serial/port_identity.h"

#include <cctype>
#include <cstdio>
#include <exception>

namespace orvix {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Split(const std::string& text, const std::string& separators) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (separators.find(c) != std::string::npos)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// "VID_0403" (after upper-casing) to 0x0403 when part begins with the key.
std::optional<uint16_t> TaggedId(const std::string& part, const char* key) {
  const std::string k = std::string(key) + "_";
  if (part.rfind(k, 0) != 0 || part.size() != k.size() + 4) return std::nullopt;
  return ParseHexId(part.substr(k.size()));
}

}  // namespace

std::string HexId(uint16_t id) {
  char text[5];
  std::snprintf(text, sizeof text, "%04x", id);
  return text;
}

std::optional<uint16_t> ParseHexId(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int d = std::isdigit(static_cast<unsigned char>(c))
                      ? c - '0'
                      : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    value = value * 16 + static_cast<unsigned>(d);
  }
  return static_cast<uint16_t>(value);
}

std::string PortDescription(const TPortIdentity& port) {
  std::string text;
  for (const auto* part : {&port.Product, &port.Manufacturer, &port.Serial}) {
    if (!*part || (*part)->empty()) continue;
    if (!text.empty()) text += ", ";
    text += **part;
  }
  if (text.empty() && port.FriendlyName) text = *port.FriendlyName;
  return text;
}

std::string DescribePort(const std::string& name) {
  try {
    for (const auto& port : ListPortIdentities())
      if (port.Name == name) return PortDescription(port);
  } catch (const std::exception&) {
  }
  return {};
}

TUsbInstanceId ParseInstanceId(const std::string& id) {
  TUsbInstanceId result;
  const auto levels = Split(id, "\\");
  if (levels.size() < 3) return result;
  const std::string bus = Upper(levels[0]);
  const auto fields = Split(Upper(levels[1]), bus == "FTDIBUS" ? "+" : "&");
  for (const auto& f : fields) {
    if (auto v = TaggedId(f, "VID")) result.Vid = v;
    if (auto p = TaggedId(f, "PID")) result.Pid = p;
    if (f.rfind("MI_", 0) == 0 && f.size() == 5 && std::isdigit(static_cast<unsigned char>(f[3])) &&
        std::isdigit(static_cast<unsigned char>(f[4])))
      result.Interface = std::stoi(f.substr(3));
  }
  if (!result.Vid || !result.Pid) return {};
  if (bus == "FTDIBUS") {
    // The FTDI bus driver names its ports serial + port letter (A50285BIA): the third field,
    // less the letter. Its instance part ("0000") is no serial number.
    const auto raw = Split(levels[1], "+");
    if (raw.size() >= 3 && raw[2].size() > 1) result.Serial = raw[2].substr(0, raw[2].size() - 1);
  } else if (!result.Interface && levels[2].find('&') == std::string::npos &&
             !levels[2].empty()) {
    result.Serial = levels[2];
  }
  return result;
}

}  // namespace orvix
