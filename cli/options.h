// The flasher's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/port_filter.h"

#include "exchange/image_file.h"

namespace orvix {

struct TFlashOptions {
  bool Help = false;
  bool Version = false;
  bool ListPorts = false;
  bool Long = false;   // --list-ports as a table
  bool Json = false;   // --list-ports or --check as JSON lines
  bool Check = false;  // the setup check instead of a run
  bool Quiet = false;
  int Device = 0;
  std::string Port;         // empty: every port of the machine
  std::vector<TPortFilter> PortFilters;  // empty: no filter
  std::string LogFile;      // empty: no frame log
  double WaitSeconds = -1;  // negative: wait until interrupted
  std::string Image;
  TImageFormat Format = TImageFormat::ifAuto;
};

// Parses argv[1..]; on a usage error returns nothing and puts the reason in `error`.
std::optional<TFlashOptions> ParseFlashOptions(int argc, const char* const* argv,
                                               std::string& error);

extern const char kFlashUsage[];

}  // namespace orvix
