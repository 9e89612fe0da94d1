// The flasher's port commands: --list-ports (plain, --long, --json), --check, and the choice of
// the ports a run pings under --port-filter.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "serial/port_filter.h"

namespace orvix {

enum class TListFormat { Plain, Long, Json };

// Exit status of the port commands beside the flasher's others.
constexpr int kPortsFine = 0;
constexpr int kPortsTrouble = 1;    // --check found something, or the ports cannot be listed
constexpr int kPortsNoMatch = 3;    // the filters match no port, or --port names no port
constexpr int kPortsConfig = 78;    // ORVIX_PORTS has a bad entry (EX_CONFIG of sysexits.h)

int ListPortsCommand(const std::vector<TPortFilter>& filters, TListFormat format);
int CheckCommand(const std::vector<TPortFilter>& filters, bool json);

// The names a run pings: every listed port the filters let through. Prints why and gives
// nothing when no port matches (exit kPortsNoMatch) or the ports cannot be listed
// (kPortsTrouble); code says which.
std::optional<std::vector<std::string>> PortsToPing(const std::vector<TPortFilter>& filters,
                                                    int& code);

// --port NAME: nothing when the name is a port of the machine or a device path; otherwise says
// so, naming the ports there are, and gives the exit status (kPortsNoMatch, or kPortsConfig and
// kPortsTrouble when the names cannot be read). Opens no port.
std::optional<int> RefuseUnknownPort(const std::string& port);

// The exit status for an error raised while the ports were listed, after saying what it was.
int PortListError(const std::exception& error);

}  // namespace orvix
