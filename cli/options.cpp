#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "runtime/language.h"

namespace orvix {

// The synopsis: option syntax, the same in every language.
const char kFlashSynopsis[] =
    "orvix-flash [OPTIONS] IMAGE\n"
    "orvix-flash --all (--wait SEC | --expect N) [OPTIONS] IMAGE\n"
    "orvix-flash --list-ports [--long | --json] [--port-filter KEY=VALUE]...\n"
    "orvix-flash --check [--json] [--port-filter KEY=VALUE]...\n";

std::string FlashUsage() {
  // One text a paragraph, for the translator; the synopsis stays as it is.
  return std::string(kFlashSynopsis) + "\n" +
         Tr("help",
            "  -d, --device N     device number 0..255 (decimal, or hexadecimal with 0x),\n"
            "                     default 0\n"
            "  -p, --port NAME    ping only this port: a name that --list-ports prints, or\n"
            "                     on Linux a device path\n"
            "      --port-filter KEY=VALUE\n"
            "                     ping, list or check only the ports that match; KEY is\n"
            "                     vid, pid (hex), serial, driver or name (a shell pattern:\n"
            "                     'COM1*'). Repeat it: different keys must all match, a\n"
            "                     repeated key is an alternative\n"
            "  -b, --baud RATE    line speed: 1200 2400 4800 9600 19200 38400 57600 (default)\n"
            "                     115200 230400 460800 921600\n"
            "      --reset LINE   hold dtr or rts off, then on, on each port before its first\n"
            "                     ping, to reset a board into its boot loader; needs --port\n"
            "                     or --port-filter\n"
            "      --reset-ms MS  how long --reset holds the line off: 1..10000, default 100\n"
            "      --long         with --list-ports: a table with USB ids, serial number,\n"
            "                     description and by-id path\n"
            "      --json         one JSON object a line on stdout: the run's events (see\n"
            "                     docs/json-output.md), the ports of --list-ports, the\n"
            "                     findings of --check and its summary\n"
            "      --all          every device that answers gets the image, all at once (a\n"
            "                     production line); one line per port as its run ends, then\n"
            "                     how many were programmed\n"
            "      --expect N     with --all: stop looking once N devices answered (1..4096)\n"
            "      --check        inspect the machine and the ports, one line per problem\n"
            "                     with what to do (exit 0: nothing to fix, 1: something)\n"
            "      --log FILE     write the frame log to FILE, in the out.txt line format\n"
            "                     (CR LF line ends)\n"
            "  -w, --wait SEC     give up when no device has answered within SEC seconds,\n"
            "                     to 10 ms (default: wait until interrupted); with --all:\n"
            "                     look for devices this long, from the start\n"
            "  -f, --format FMT   the image file's format: auto (default), bin, ihex or srec\n"
            "  -q, --quiet        print only errors and the final result (--all: and each\n"
            "                     port's result)\n"
            "  -h, --help         usage;  --version  version\n") +
         "\n" +
         Tr("help",
            "Formats: auto takes the file's extension (.bin binary; .hex .ihx .ihex Intel\n"
            "HEX; .s19 .s28 .s37 .srec .mot .s S-record), else its first line if that is a\n"
            "valid record, else binary. An ELF file is refused unless --format bin asks for\n"
            "its raw bytes.\n"
            "Range: a binary from 0000 up to its last byte, as in the window; an Intel HEX\n"
            "or S-record file from its lowest to its highest address, gaps filled with FF,\n"
            "started lower where the last 128-byte block would otherwise run past FFFF. Both\n"
            "are shown before the run.\n"
            "Environment (Linux): ORVIX_PORTS, the serial device map\n"
            "\"COM1=/dev/ttyUSB0;COM7=/dev/pts/3\".\n") +
         "\n" +
         Tr("help",
            "Every port is pinged at once (on Linux the soft limit of open descriptors is\n"
            "raised to the hard limit first). A port that cannot be opened is skipped and,\n"
            "unless --quiet, named once on stderr with the cause:\n"
            "  orvix-flash: COM7 (/dev/ttyUSB3): cannot open: Permission denied\n"
            "and for the first port refused for lack of permission, which group to join;\n"
            "for a port another program holds, that program's PID and command.\n"
            "When no port is left to ping, every port given up on is named before the final\n"
            "text. Output that can no longer be written (a closed pipe, a full disk) is\n"
            "dropped: the run goes on to its end and the exit status still tells the\n"
            "outcome. On a terminal the progress bar fits its width, also after a resize.\n") +
         "\n" +
         Tr("help",
            "With --all, the runs go on side by side while the other ports are still\n"
            "pinged, until --expect devices answered or --wait is over; the frame log\n"
            "(--log) is for a single run.\n") +
         "\n" +
         Tr("help",
            "Exit status:\n"
            "  0   programming finished (--all: on every device that answered, and at\n"
            "      least --expect)\n"
            "  1   the device stopped answering (a frame unanswered twice in a row, or the\n"
            "      checksum not confirmed; --all: on any device); --check found something\n"
            "      to fix; the ports cannot be listed\n"
            "  2   stopped by SIGINT, SIGTERM or SIGHUP (stopped exactly like the stop\n"
            "      button; --all: every run)\n"
            "  3   no device answered: within --wait, or on any port left to ping; or no\n"
            "      port matches --port-filter; or --port names no port of the machine;\n"
            "      --all: fewer than --expect devices answered, and none failed\n"
            "  64  usage error (unknown option, bad device number, --baud, --reset,\n"
            "      --port-filter or --expect, missing IMAGE, a word after --list-ports,\n"
            "      --check or --version, --reset without --port or --port-filter, --all\n"
            "      without --wait or --expect, or with --log, --list-ports or --check)\n"
            "  66  the image cannot be used: missing or unreadable, empty, larger than\n"
            "      65536 bytes, an ELF file, or a damaged, cut-short or out-of-range Intel\n"
            "      HEX or S-record file\n"
            "  73  the frame log (--log) cannot be written\n"
            "  78  ORVIX_PORTS has a bad entry (a configuration error)\n");
}

namespace {

constexpr int kMaxExpect = 4096;
constexpr int kMaxResetMs = 10000;
// The standard rates a USB adapter and a boot loader can both be expected to run at.
constexpr uint32_t kBaudRates[] = {1200,  2400,   4800,   9600,   19200,  38400,
                                   57600, 115200, 230400, 460800, 921600};

// The options, each by every name it answers to.
constexpr std::string_view kFlags[] = {"-h",      "--help", "--version", "--list-ports",
                                       "--long",  "--json", "--check",   "-q",
                                       "--quiet", "--all"};
constexpr std::string_view kValued[] = {"-d",    "--device", "-p",       "--port",
                                        "--log", "-w",       "--wait",   "--port-filter",
                                        "-f",    "--format", "--expect", "-b",
                                        "--baud", "--reset", "--reset-ms"};

bool OneOf(std::string_view name, const auto& names) {
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

struct UsageError {
  std::string text;
  bool unfinished = false;  // more words could cure it: a missing value or IMAGE
};

// CLI11 reads a command line more loosely than the flasher always has: it would take "-d5" and
// "-qd 5", an unknown "-x" or "---" as the image, "--quiet=" as "--quiet" and "--device=" as
// "--device" with the next word. Here every option stands alone and by its full name, a flag
// takes no value, and "--name=value" becomes two words, so that an empty value stays a value.
std::vector<std::string> StrictWords(int argc, const char* const* argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    words.push_back(word);
    if (word == "--") {
      words.insert(words.end(), argv + i + 1, argv + argc);
      break;
    }
    if (word.size() < 2 || word[0] != '-') continue;
    const size_t equals = word.rfind("--", 0) == 0 ? word.find('=') : std::string::npos;
    const std::string name = word.substr(0, equals);
    if (OneOf(name, kValued)) {
      if (equals != std::string::npos) {
        words.back() = name;
        words.push_back(word.substr(equals + 1));
      } else if (i + 1 < argc) {
        words.push_back(argv[++i]);  // the next word is the value, whatever it looks like
      }
    } else if (!OneOf(name, kFlags)) {
      throw UsageError{FormatText(Tr("usage", "unknown option %1"), {name == "--" ? word : name})};
    } else if (equals != std::string::npos) {
      throw UsageError{FormatText(Tr("usage", "option %1 takes no value"), {name})};
    }
  }
  return words;
}

bool ParseDevice(const std::string& text, int& device) {
  if (text.empty()) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty()) return false;
  for (char c : digits)
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(c))
              : std::isdigit(static_cast<unsigned char>(c))))
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

// A whole number of at most `digits` decimal digits, nothing else.
std::optional<long> SmallNumber(const std::string& text, size_t digits) {
  if (text.empty() || text.size() > digits ||
      !std::all_of(text.begin(), text.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return std::nullopt;
  return std::stol(text);
}

std::string BaudRateList() {
  std::string list;
  for (uint32_t rate : kBaudRates) list += (list.empty() ? "" : " ") + std::to_string(rate);
  return list;
}

// Each value of an option given more than once is checked; the last one counts.
void TakeValues(const std::vector<std::string>& values, auto&& check) {
  for (const std::string& value : values) check(value);
}

// The whole line argv[1..argc); a usage error is thrown.
TFlashOptions ParseLine(int argc, const char* const* argv) {
  TFlashOptions o;
  std::vector<std::string> device, port, log, wait, format, filters, expect, baud, reset,
      reset_ms;
  CLI::App line{"", "orvix-flash"};
  line.set_help_flag();  // -h is an ordinary flag: a usage error on the same line still wins
  line.allow_extras();   // a second IMAGE, reported below
  line.add_flag("-h,--help", o.Help);
  line.add_flag("--version", o.Version);
  line.add_flag("--list-ports", o.ListPorts);
  line.add_flag("--long", o.Long);
  line.add_flag("--json", o.Json);
  line.add_flag("--check", o.Check);
  line.add_flag("-q,--quiet", o.Quiet);
  line.add_flag("--all", o.All);
  // One value each time an option is given; every value is kept, to be checked below.
  auto one_value_each_time = [](CLI::Option* option) {
    option->expected(1)->allow_extra_args(false)->multi_option_policy(
        CLI::MultiOptionPolicy::TakeAll);
  };
  one_value_each_time(line.add_option("-d,--device", device));
  one_value_each_time(line.add_option("-p,--port", port));
  one_value_each_time(line.add_option("--log", log));
  one_value_each_time(line.add_option("-w,--wait", wait));
  one_value_each_time(line.add_option("-f,--format", format));
  one_value_each_time(line.add_option("--port-filter", filters));
  one_value_each_time(line.add_option("--expect", expect));
  one_value_each_time(line.add_option("-b,--baud", baud));
  one_value_each_time(line.add_option("--reset", reset));
  one_value_each_time(line.add_option("--reset-ms", reset_ms));
  line.add_option("IMAGE", o.Image);
  std::vector<std::string> words = StrictWords(argc, argv);
  const std::string last = words.empty() ? "" : words.back();
  std::reverse(words.begin(), words.end());  // CLI11 takes the words from the back
  try {
    line.parse(words);
  } catch (const CLI::ArgumentMismatch&) {
    // Only the last word can lack its value.
    throw UsageError{FormatText(Tr("usage", "option %1 needs a value"), {last}), true};
  }
  TakeValues(device, [&](const std::string& text) {
    if (!ParseDevice(text, o.Device))
      throw UsageError{FormatText(
          Tr("usage", "bad device number \"%1\": give 0..255, decimal or 0x hexadecimal"), {text})};
  });
  TakeValues(port, [&](const std::string& text) {
    if (text.empty()) throw UsageError{Tr("usage", "empty port name")};
    o.Port = text;
  });
  TakeValues(log, [&](const std::string& text) {
    if (text.empty()) throw UsageError{Tr("usage", "empty log file name")};
    o.LogFile = text;
  });
  TakeValues(wait, [&](const std::string& text) {
    if (!ParseSeconds(text, o.WaitSeconds))
      throw UsageError{
          FormatText(Tr("usage", "bad --wait value \"%1\": give seconds, 0 or more"), {text})};
  });
  TakeValues(format, [&](const std::string& text) {
    const std::optional<TImageFormat> chosen = FormatFromWord(text);
    if (!chosen)
      throw UsageError{FormatText(
          Tr("usage", "bad --format value \"%1\": give auto, bin, ihex or srec"), {text})};
    o.Format = *chosen;
  });
  TakeValues(expect, [&](const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 4 &&
                        std::all_of(text.begin(), text.end(),
                                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    const int value = digits ? std::stoi(text) : 0;
    if (value < 1 || value > kMaxExpect)
      throw UsageError{
          FormatText(Tr("usage", "bad --expect value \"%1\": give a number of devices, 1 to %2"),
                     {text, std::to_string(kMaxExpect)})};
    o.Expect = value;
  });
  TakeValues(baud, [&](const std::string& text) {
    const auto value = SmallNumber(text, 6);
    if (!value || std::find(std::begin(kBaudRates), std::end(kBaudRates), *value) ==
                      std::end(kBaudRates))
      throw UsageError{FormatText(Tr("usage", "bad --baud value \"%1\": give one of %2"),
                                  {text, BaudRateList()})};
    o.BaudRate = static_cast<uint32_t>(*value);
  });
  TakeValues(reset, [&](const std::string& text) {
    if (text == "dtr")
      o.Reset = TResetLine::rlDtr;
    else if (text == "rts")
      o.Reset = TResetLine::rlRts;
    else
      throw UsageError{
          FormatText(Tr("usage", "bad --reset value \"%1\": give dtr or rts"), {text})};
  });
  TakeValues(reset_ms, [&](const std::string& text) {
    const auto value = SmallNumber(text, 5);
    if (!value || *value < 1 || *value > kMaxResetMs)
      throw UsageError{
          FormatText(Tr("usage", "bad --reset-ms value \"%1\": give milliseconds, 1 to %2"),
                     {text, std::to_string(kMaxResetMs)})};
    o.ResetMs = static_cast<int>(*value);
  });
  TakeValues(filters, [&](const std::string& text) {
    TText why;
    const auto filter = ParsePortFilter(text, why);
    if (!filter)
      throw UsageError{FormatText(Tr("usage", "bad --port-filter \"%1\": %2"), {text, Tr(why)})};
    o.PortFilters.push_back(*filter);  // every one counts, unlike the others
  });
  // Words CLI11 could not place: the "--" that ended the options, and IMAGEs after the first.
  // An empty word is no IMAGE yet, as it never was.
  bool options_ended = false;
  for (const std::string& extra : line.remaining()) {
    if (extra == "--" && !options_ended) {
      options_ended = true;
    } else if (o.Image.empty()) {
      o.Image = extra;
    } else {
      throw UsageError{
          FormatText(Tr("usage", "more than one IMAGE: \"%1\" and \"%2\""), {o.Image, extra})};
    }
  }
  // Combinations: those a later word could still make right are left to the end of the line.
  if (o.Long && o.Json) throw UsageError{Tr("usage", "--long and --json exclude each other")};
  if (o.Check && o.ListPorts)
    throw UsageError{Tr("usage", "--check and --list-ports exclude each other")};
  if (!o.Port.empty() && !o.PortFilters.empty())
    throw UsageError{
        Tr("usage", "--port and --port-filter exclude each other: give one port or filters")};
  if (o.Long && !o.ListPorts) throw UsageError{Tr("usage", "--long goes with --list-ports"), true};
  if (o.All && (o.ListPorts || o.Check))
    throw UsageError{Tr("usage", "--all goes with a run, not with --list-ports or --check")};
  // One file for the frames of several devices could not be read: which frame was whose?
  if (o.All && !o.LogFile.empty())
    throw UsageError{Tr("usage", "--log goes with a single run, not --all")};
  if (o.Expect > 0 && !o.All) throw UsageError{Tr("usage", "--expect goes with --all"), true};
  if (!reset_ms.empty() && o.Reset == TResetLine::rlNone)
    throw UsageError{Tr("usage", "--reset-ms goes with --reset"), true};
  // Only ports the user named: a pulse on any other port would reset whatever is on it.
  if (o.Reset != TResetLine::rlNone && o.Port.empty() && o.PortFilters.empty())
    throw UsageError{
        Tr("usage", "--reset needs --port or --port-filter: only ports chosen are reset"), true};
  // A word a script meant as an image would otherwise be dropped without a trace.
  if (!o.Help && !o.Image.empty()) {
    const char* alone = o.Version     ? "--version"
                        : o.ListPorts ? "--list-ports"
                        : o.Check     ? "--check"
                                      : nullptr;
    if (alone)
      throw UsageError{
          FormatText(Tr("usage", "stray word \"%1\": %2 takes no IMAGE"), {o.Image, alone})};
  }
  if (o.All && o.Expect == 0 && o.WaitSeconds < 0)
    throw UsageError{Tr("usage", "--all needs --wait SEC or --expect N: when is discovery over?"),
                     true};
  if (!o.Help && !o.Version && !o.ListPorts && !o.Check && o.Image.empty())
    throw UsageError{Tr("usage", "missing IMAGE"), true};
  return o;
}

// Characters, not bytes: Cyrillic letters take two bytes of UTF-8 and one column.
size_t Utf8Width(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

std::string UsageErrorText(const std::string& error) {
  // The synopsis is the help's first paragraph: one text to keep up to date, not two.
  const std::string_view synopsis = kFlashSynopsis;
  std::string text = "orvix-flash: " + error + "\n";
  // The synopsis lines stand under the first, whatever the length of "Usage: " in the language.
  const std::string usage = Tr("usage", "Usage: ");
  const std::string indent(Utf8Width(usage), ' ');
  for (size_t at = 0; at < synopsis.size();) {
    const size_t end = synopsis.find('\n', at);
    text += (at == 0 ? usage : indent) + std::string(synopsis.substr(at, end + 1 - at));
    at = end + 1;
  }
  return text + Tr("usage", "Try 'orvix-flash --help' for more.") + "\n";
}

std::optional<TFlashOptions> ParseFlashOptions(int argc, const char* const* argv,
                                               std::string& error) {
  // The first mistake on the line is the one named, as the flasher always has: the shortest
  // start of the line that holds a mistake more words could not cure names it.
  for (int end = 1; end <= argc; ++end) {
    try {
      TFlashOptions options = ParseLine(end, argv);
      if (end == argc) return options;
    } catch (const UsageError& usage) {
      if (usage.unfinished && end < argc) continue;
      error = usage.text;
      return std::nullopt;
    } catch (const CLI::ParseError& e) {
      error = FormatText(Tr("usage", "bad command line: %1"), {e.what()});
      return std::nullopt;
    }
  }
  return std::nullopt;  // argc < 1: not a command line
}

}  // namespace orvix
