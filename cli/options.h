// The flasher's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "channel/discovery_line.h"
#include "serial/port_filter.h"

#include "exchange/image_file.h"

namespace orvix {

struct TFlashOptions {
  bool Help = false;
  bool Version = false;
  bool ListPorts = false;
  bool Long = false;   // --list-ports as a table
  bool Json = false;   // JSON lines: of a run, --list-ports or --check
  bool Check = false;  // the setup check instead of a run
  bool Quiet = false;
  bool All = false;  // gang mode: every device that answers gets the image
  int Expect = 0;    // with All: end discovery once this many answered; 0: at --wait
  int Device = 0;
  std::string Port;         // empty: every port of the machine
  std::vector<TPortFilter> PortFilters;  // empty: no filter
  std::string LogFile;      // empty: no frame log
  double WaitSeconds = -1;  // negative: wait until interrupted
  std::string Image;
  TImageFormat Format = TImageFormat::ifAuto;
  uint32_t BaudRate = kDiscoveryBaudRate;
  TResetLine Reset = TResetLine::rlNone;  // with Port or PortFilters only
  int ResetMs = kDefaultResetMs;
};

// Parses argv[1..]; on a usage error returns nothing and puts the reason in `error`.
std::optional<TFlashOptions> ParseFlashOptions(int argc, const char* const* argv,
                                               std::string& error);

// The synopsis, then what --help says, in the process's language.
extern const char kFlashSynopsis[];
std::string FlashUsage();

// What a usage error prints: the mistake, the synopsis, and where to read more; every line ends
// in '\n'.
std::string UsageErrorText(const std::string& error);

}  // namespace orvix
