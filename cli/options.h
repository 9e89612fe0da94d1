// The flasher's command line.
#pragma once

#include <optional>
#include <string>

#include "exchange/image_file.h"

namespace orvix {

struct FlashOptions {
  bool help = false;
  bool version = false;
  bool list_ports = false;
  bool quiet = false;
  int device = 0;
  std::string port;      // empty: every port of the machine
  std::string log_file;  // empty: no frame log
  double wait_seconds = -1;  // negative: wait until interrupted
  ImageFormat format = ImageFormat::Auto;
  std::string image;
};

// Parses argv[1..]; on a usage error returns nothing and puts the reason in `error`.
std::optional<FlashOptions> ParseFlashOptions(int argc, const char* const* argv,
                                              std::string& error);

extern const char kFlashUsage[];

}  // namespace orvix
