#include "cli/options.h"

#include <cerrno>
#include <cmath>
#include <cctype>
#include <cstdlib>

namespace orvix {

const char kFlashUsage[] =
    "orvix-flash [OPTIONS] IMAGE\n"
    "orvix-flash --list-ports\n"
    "\n"
    "  -d, --device N     device number 0..255 (decimal, or hexadecimal with 0x), default 0\n"
    "  -p, --port NAME    ping only this port (a name that --list-ports prints, or on Linux a "
    "device path)\n"
    "      --log FILE     write the frame log to FILE, in the out.txt line format (CR LF line "
    "ends)\n"
    "  -w, --wait SEC     give up when no device has answered within SEC seconds (default: wait "
    "until interrupted)\n"
    "  -f, --format FMT   the image file's format: auto (default), bin, ihex or srec\n"
    "  -q, --quiet        print only errors and the final result\n"
    "  -h, --help         usage;  --version  version\n"
    "\n"
    "Formats: auto takes the file's extension (.bin binary; .hex .ihx .ihex Intel HEX; .s19 .s28\n"
    ".s37 .srec .mot .s S-record), else its first line if that is a valid record, else binary.\n"
    "An ELF file is refused unless --format bin asks for its raw bytes.\n"
    "Range: a binary from 0000 up to its last byte, as in the window; an Intel HEX or S-record\n"
    "file from its lowest to its highest address, gaps filled with FF. Both are shown before\n"
    "the run.\n"
    "Environment (Linux): ORVIX_PORTS, the serial device map "
    "\"COM1=/dev/ttyUSB0;COM7=/dev/pts/3\".\n"
    "\n"
    "Exit status:\n"
    "  0   programming finished\n"
    "  1   the device stopped answering (a frame unanswered twice in a row, or the checksum not "
    "confirmed)\n"
    "  2   stopped by SIGINT or SIGTERM (stopped exactly like the stop button)\n"
    "  3   no device answered within --wait\n"
    "  64  usage error (unknown option, bad device number, missing IMAGE)\n"
    "  66  the image cannot be used: missing or unreadable, empty, larger than 65536 bytes,\n"
    "      an ELF file, or a damaged, cut-short or out-of-range Intel HEX or S-record file\n"
    "  73  the frame log (--log) cannot be written\n";

namespace {

bool ParseDevice(const std::string& text, int& device) {
  if (text.empty()) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return false;
  for (char c : digits)
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
      return false;
  errno = 0;
  const long value = std::strtol(digits.c_str(), nullptr, hex ? 16 : 10);
  if (errno != 0 || value < 0 || value > 255) return false;
  device = static_cast<int>(value);
  return true;
}

bool ParseSeconds(const std::string& text, double& seconds) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0 || value > 1e6)
    return false;
  seconds = value;
  return true;
}

}  // namespace

std::optional<FlashOptions> ParseFlashOptions(int argc, const char* const* argv,
                                              std::string& error) {
  FlashOptions o;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    if (!options_done && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      has_value = true;
    }
    auto take_value = [&](std::string& out) {
      if (has_value) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (options_done || arg == "-" || arg.empty() || arg[0] != '-') {
      if (!o.image.empty()) {
        error = "more than one IMAGE: \"" + o.image + "\" and \"" + arg + "\"";
        return std::nullopt;
      }
      o.image = arg;
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--list-ports") {
      o.list_ports = true;
    } else if (arg == "-q" || arg == "--quiet") {
      o.quiet = true;
    } else if (arg == "-d" || arg == "--device") {
      std::string text;
      if (!take_value(text)) return std::nullopt;
      if (!ParseDevice(text, o.device)) {
        error = "bad device number \"" + text + "\": give 0..255, decimal or 0x hexadecimal";
        return std::nullopt;
      }
    } else if (arg == "-p" || arg == "--port") {
      if (!take_value(o.port)) return std::nullopt;
      if (o.port.empty()) {
        error = "empty port name";
        return std::nullopt;
      }
    } else if (arg == "--log") {
      if (!take_value(o.log_file)) return std::nullopt;
      if (o.log_file.empty()) {
        error = "empty log file name";
        return std::nullopt;
      }
    } else if (arg == "-w" || arg == "--wait") {
      std::string text;
      if (!take_value(text)) return std::nullopt;
      if (!ParseSeconds(text, o.wait_seconds)) {
        error = "bad --wait value \"" + text + "\": give seconds, 0 or more";
        return std::nullopt;
      }
    } else if (arg == "-f" || arg == "--format") {
      std::string text;
      if (!take_value(text)) return std::nullopt;
      const std::optional<ImageFormat> format = FormatFromWord(text);
      if (!format) {
        error = "bad --format value \"" + text + "\": give auto, bin, ihex or srec";
        return std::nullopt;
      }
      o.format = *format;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
    if (has_value && (arg == "-q" || arg == "--quiet" || arg == "--help" || arg == "--version" ||
                      arg == "--list-ports")) {
      error = "option " + arg + " takes no value";
      return std::nullopt;
    }
  }
  if (!o.help && !o.version && !o.list_ports && o.image.empty()) {
    error = "missing IMAGE";
    return std::nullopt;
  }
  return o;
}

}  // namespace orvix
