// Which ports the user means: --port-filter KEY=VALUE, so that pinging leaves the modem, the
// printer and the GPS on other ports alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "serial/port_identity.h"

namespace orvix {

struct TPortFilter {
  std::string Key;  // vid, pid, serial, name, driver
  std::string Value;
  friend bool operator==(const TPortFilter&, const TPortFilter&) = default;
};

// "vid=0403"; nothing, with the reason in error, for an unknown key, a missing '=', an empty
// value or an id that is not hexadecimal.
std::optional<TPortFilter> ParsePortFilter(const std::string& text, TText& error);

// Filters with different keys must all match; filters with the same key are alternatives. A
// field the port does not have matches nothing. vid and pid compare as numbers, name is a
// shell pattern (* ? [...]), serial and driver compare exactly.
bool MatchesFilters(const TPortIdentity& port, const std::vector<TPortFilter>& filters);
std::vector<TPortIdentity> FilterPorts(std::vector<TPortIdentity> ports,
                                       const std::vector<TPortFilter>& filters);

// "vid=0403 name=COM1*", as the user gave them.
std::string FiltersText(const std::vector<TPortFilter>& filters);

// The shell's pattern match (fnmatch without flags): * any run, ? one character, [abc], [a-z],
// [!a-z], and \ to take the next character as it is.
bool ShellPatternMatch(const std::string& pattern, const std::string& text);

}  // namespace orvix
