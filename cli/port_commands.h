// The flasher's port commands: --list-ports (plain, --long, --json), --check, and the choice of
// the ports a run pings under --port-filter.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/port_filter.h"

namespace orvix {

enum class TListFormat { Plain, Long, Json };

// Exit status of the port commands beside the flasher's others.
constexpr int kPortsFine = 0;
constexpr int kPortsTrouble = 1;    // --check found something, or the ports cannot be listed
constexpr int kPortsNoMatch = 3;    // the filters match no port

int ListPortsCommand(const std::vector<TPortFilter>& filters, TListFormat format);
int CheckCommand(const std::vector<TPortFilter>& filters, bool json);

// The names a run pings: every listed port the filters let through. Prints why and gives
// nothing when no port matches (exit kPortsNoMatch) or the ports cannot be listed
// (kPortsTrouble); code says which.
std::optional<std::vector<std::string>> PortsToPing(const std::vector<TPortFilter>& filters,
                                                    int& code);

}  // namespace orvix
