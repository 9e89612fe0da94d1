#include "serial/port_list.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace orvix {
namespace {

bool Qualifies(const std::string& name) {
  return name.size() > 3 && name.compare(0, 3, "COM") == 0;
}

int32_t PortNumber(const std::string& name) {
  return StrToInt(name.substr(std::min<size_t>(3, name.size())));
}

}  // namespace

int32_t StrToInt(const std::string& text) {
  auto fail = [&]() -> int32_t {
    throw EConvertError("'" + text + "' is not a valid integer value");
  };
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return fail();
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return fail();
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return fail();
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return fail();
  return static_cast<int32_t>(value);
}

int ComparePortNumbers(const std::vector<std::string>& List, int I, int J) {
  const int32_t a = PortNumber(List.at(static_cast<size_t>(I)));
  const int32_t b = PortNumber(List.at(static_cast<size_t>(J)));
  // The sign, not a - b: the difference of two far-apart 32-bit numbers overflows.
  return (a > b) - (a < b);
}

void AssignSerialPorts(std::vector<std::string> names, std::vector<std::string>& Ports) {
  std::erase_if(names, [](const std::string& n) { return !Qualifies(n); });
  if (names.empty()) return;
  if (names.size() >= 2) {
    // Every number is read before sorting, so a bad one fails the call whatever the order.
    for (const auto& n : names) PortNumber(n);
    std::vector<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int i, int j) { return ComparePortNumbers(names, i, j) < 0; });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (int i : order) sorted.push_back(std::move(names[static_cast<size_t>(i)]));
    names.swap(sorted);
  }
  Ports = std::move(names);
}

void ListSerialPorts(std::vector<std::string>& Ports) {
  AssignSerialPorts(PlatformPortNames(), Ports);
}

}  // namespace orvix
