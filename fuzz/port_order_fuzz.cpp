// The port list's filter and numeric order over arbitrary names, checked against a plain
// statement of the rules: only "COM" and more, ordered by the number after "COM", the caller's
// list untouched when nothing qualifies or a number cannot be read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "serial/port_list.h"

namespace orvix::fuzz {
namespace {

using Names = std::vector<std::string>;

// An optional sign and decimal digits within the signed 32-bit range.
std::optional<int64_t> ReferenceNumber(const std::string& text) {
  size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 40);
  }
  if (text[0] == '-') value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return value;
}

}  // namespace
}  // namespace orvix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvix;
  using namespace orvix::fuzz;
  InputReader in(data, size);
  Names names;
  // Names come zero-terminated from the registry, and from an environment variable.
  while (!in.Empty() && names.size() < 64) {
    const std::string field = in.Field('\n');
    names.push_back(field.substr(0, field.find('\0')));
  }

  Names qualifying;
  bool all_numbers = true;
  for (const auto& n : names) {
    if (n.size() <= 3 || n.compare(0, 3, "COM") != 0) continue;
    qualifying.push_back(n);
    if (!ReferenceNumber(n.substr(3))) all_numbers = false;
  }

  const Names before = {"COM7", "kept"};
  Names ports = before;
  bool refused = false;
  try {
    AssignSerialPorts(names, ports);
  } catch (const EConvertError& e) {
    refused = true;
    FUZZ_CHECK(std::string(e.what()).find("' is not a valid integer value") != std::string::npos,
               "%s", e.what());
  }
  const bool want_refused = qualifying.size() >= 2 && !all_numbers;
  FUZZ_CHECK(refused == want_refused, "refused %d, the rules say %d", refused, want_refused);
  if (refused || qualifying.empty()) {
    FUZZ_CHECK(ports == before, "the caller's list changed");
    return 0;
  }
  // The same names, in an order of non-decreasing numbers.
  Names sorted_got = ports, sorted_want = qualifying;
  std::sort(sorted_got.begin(), sorted_got.end());
  std::sort(sorted_want.begin(), sorted_want.end());
  FUZZ_CHECK(sorted_got == sorted_want, "%zu names listed, %zu qualify", ports.size(),
             qualifying.size());
  if (ports.size() < 2) return 0;
  for (size_t i = 0; i + 1 < ports.size(); ++i) {
    FUZZ_CHECK(*ReferenceNumber(ports[i].substr(3)) <= *ReferenceNumber(ports[i + 1].substr(3)),
               "%s listed before %s", ports[i].c_str(), ports[i + 1].c_str());
  }
  // The comparison itself: the sign of the difference, both ways round.
  for (size_t i = 0; i < ports.size(); ++i) {
    const size_t j = (i * 7 + 3) % ports.size();
    const int ij = ComparePortNumbers(ports, static_cast<int>(i), static_cast<int>(j));
    const int ji = ComparePortNumbers(ports, static_cast<int>(j), static_cast<int>(i));
    const int64_t a = *ReferenceNumber(ports[i].substr(3));
    const int64_t b = *ReferenceNumber(ports[j].substr(3));
    FUZZ_CHECK((ij > 0) == (a > b) && (ij < 0) == (a < b), "%s vs %s gives %d", ports[i].c_str(),
               ports[j].c_str(), ij);
    FUZZ_CHECK((ij > 0) == (ji < 0) && (ij == 0) == (ji == 0), "not antisymmetric");
  }
  return 0;
}
