#include "cli/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace orvix {
namespace {

std::optional<TFlashOptions> Parse(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "orvix-flash");
  std::string e;
  auto o = ParseFlashOptions(static_cast<int>(args.size()), args.data(), e);
  if (error) *error = e;
  return o;
}

TEST(FlashOptions, DeviceNumberDecimalOrHexWithinOneByte) {
  EXPECT_EQ(Parse({"-d", "209", "a.bin"})->Device, 209);
  EXPECT_EQ(Parse({"--device", "0xFF", "a.bin"})->Device, 255);
  EXPECT_EQ(Parse({"--device=0x0a", "a.bin"})->Device, 10);
  EXPECT_EQ(Parse({"a.bin"})->Device, 0);
  for (const char* bad : {"256", "-1", "0x100", "12x", "0x", "", " 5", "1e2"}) {
    std::string error;
    EXPECT_FALSE(Parse({"-d", bad, "a.bin"}, &error)) << bad;
    EXPECT_NE(error.find("device"), std::string::npos) << error;
  }
}

TEST(FlashOptions, UsageErrors) {
  std::string error;
  EXPECT_FALSE(Parse({}, &error));
  EXPECT_EQ(error, "missing IMAGE");
  EXPECT_FALSE(Parse({"--frobnicate", "a.bin"}, &error));
  EXPECT_EQ(error, "unknown option --frobnicate");
  EXPECT_FALSE(Parse({"a.bin", "b.bin"}, &error));
  EXPECT_FALSE(Parse({"a.bin", "--port"}, &error));
  EXPECT_EQ(error, "option --port needs a value");
  EXPECT_FALSE(Parse({"-w", "-3", "a.bin"}, &error));
  EXPECT_FALSE(Parse({"-w", "soon", "a.bin"}, &error));
  EXPECT_FALSE(Parse({"--quiet=yes", "a.bin"}, &error));
}

TEST(FlashOptions, ValuesOutOfRangeAreRefusedNamingTheValue) {
  for (const char* bad : {"nan", "inf", "-0.5", "1e7", "", "2s", "0x"}) {
    std::string error;
    EXPECT_FALSE(Parse({"-w", bad, "a.bin"}, &error)) << bad;
    EXPECT_EQ(error, std::string("bad --wait value \"") + bad + "\": give seconds, 0 or more");
  }
  for (const char* bad : {"99999999999999999999", "+5", "0x-1", "0xFFFFFFFFFFFFFFFFF"}) {
    std::string error;
    EXPECT_FALSE(Parse({"--device", bad, "a.bin"}, &error)) << bad;
    EXPECT_EQ(error.find("bad device number \"" + std::string(bad) + "\""), 0u) << error;
  }
  std::string error;
  EXPECT_FALSE(Parse({"--log=", "a.bin"}, &error));
  EXPECT_EQ(error, "empty log file name");
  EXPECT_FALSE(Parse({"--port", "", "a.bin"}, &error));
  EXPECT_EQ(error, "empty port name");
}

TEST(FlashOptions, FormatIsOneOfFourWords) {
  EXPECT_EQ(Parse({"a.bin"})->Format, TImageFormat::ifAuto);
  EXPECT_EQ(Parse({"--format", "ihex", "a"})->Format, TImageFormat::ifIntelHex);
  EXPECT_EQ(Parse({"-f", "srec", "a"})->Format, TImageFormat::ifSRecord);
  EXPECT_EQ(Parse({"--format=bin", "a"})->Format, TImageFormat::ifBinary);
  EXPECT_EQ(Parse({"--format=auto", "a"})->Format, TImageFormat::ifAuto);
  EXPECT_EQ(Parse({"-f", "ihex", "-f", "srec", "a"})->Format, TImageFormat::ifSRecord);
  for (const char* bad : {"hex", "IHEX", "", "s19", "-q"}) {
    std::string error;
    EXPECT_FALSE(Parse({"--format", bad, "a"}, &error)) << bad;
    EXPECT_EQ(error,
              std::string("bad --format value \"") + bad + "\": give auto, bin, ihex or srec");
  }
  // As with every option: a missing value, and the first of two mistakes, are named.
  std::string error;
  EXPECT_FALSE(Parse({"a.bin", "-f"}, &error));
  EXPECT_EQ(error, "option -f needs a value");
  EXPECT_FALSE(Parse({"-f", "hex", "-d", "300", "a.bin"}, &error));
  EXPECT_EQ(error, "bad --format value \"hex\": give auto, bin, ihex or srec");
  EXPECT_FALSE(Parse({"-d", "300", "-f", "hex", "a.bin"}, &error));
  EXPECT_EQ(error.find("bad device number"), 0u) << error;
  EXPECT_FALSE(Parse({"-fihex", "a.bin"}, &error));
  EXPECT_EQ(error, "unknown option -fihex");
}

TEST(FlashOptions, EverythingTogether) {
  auto o = Parse({"-q", "-p", "/dev/pts/7", "--log", "l.txt", "-w", "2.5", "--", "-odd.bin"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->Quiet);
  EXPECT_EQ(o->Port, "/dev/pts/7");
  EXPECT_EQ(o->LogFile, "l.txt");
  EXPECT_DOUBLE_EQ(o->WaitSeconds, 2.5);
  EXPECT_EQ(o->Image, "-odd.bin");
  EXPECT_TRUE(Parse({"--list-ports"})->ListPorts);
  EXPECT_TRUE(Parse({"-h"})->Help);
}

// Every line below was read by the flasher's own hand-written parser before the options moved to
// CLI11, and the results are that parser's: the line is read as it always was, down to which of
// two mistakes is named.
struct Reading {
  bool refused;
  std::string error;
  TFlashOptions options;
};
Reading Refused(std::string error) {
  return {true, std::move(error), {}};
}
Reading Parsed(bool help, bool version, bool list_ports, bool quiet, int device, std::string port,
               std::string log_file, double wait_seconds, std::string image) {
  TFlashOptions o;
  o.Help = help;
  o.Version = version;
  o.ListPorts = list_ports;
  o.Quiet = quiet;
  o.Device = device;
  o.Port = std::move(port);
  o.LogFile = std::move(log_file);
  o.WaitSeconds = wait_seconds;
  o.Image = std::move(image);
  return {false, "", std::move(o)};
}

#ifdef ORVIX_FLASH_HELP
TEST(FlashOptions, TheUsageTextIsTheOneScriptsKnow) {
  std::ifstream file(ORVIX_FLASH_HELP, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), FlashUsage());
}
#endif

TEST(FlashOptions, EveryLineReadsAsItAlwaysHas) {
  const struct {
    std::vector<const char*> args;
    Reading expected;
  } lines[] = {
      {{"a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", -1, "a.bin")},
      {{"-d", "5", "a.bin"}, Parsed(0, 0, 0, 0, 5, "", "", -1, "a.bin")},
      {{"-d5", "a.bin"}, Refused("unknown option -d5")},
      {{"-d", "0x1F", "a.bin"}, Parsed(0, 0, 0, 0, 31, "", "", -1, "a.bin")},
      {{"-d", "0X1f", "a.bin"}, Parsed(0, 0, 0, 0, 31, "", "", -1, "a.bin")},
      {{"-d", "007", "a.bin"}, Parsed(0, 0, 0, 0, 7, "", "", -1, "a.bin")},
      {{"-d", "255", "a.bin"}, Parsed(0, 0, 0, 0, 255, "", "", -1, "a.bin")},
      {{"-d", "256", "a.bin"},
       Refused("bad device number \"256\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "-1", "a.bin"},
       Refused("bad device number \"-1\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "0x", "a.bin"},
       Refused("bad device number \"0x\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "", "a.bin"},
       Refused("bad device number \"\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", " 5", "a.bin"},
       Refused("bad device number \" 5\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "5 ", "a.bin"},
       Refused("bad device number \"5 \": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "+5", "a.bin"},
       Refused("bad device number \"+5\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "1e2", "a.bin"},
       Refused("bad device number \"1e2\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "0xFF", "a.bin"}, Parsed(0, 0, 0, 0, 255, "", "", -1, "a.bin")},
      {{"-d", "0x100", "a.bin"},
       Refused("bad device number \"0x100\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "0x-1", "a.bin"},
       Refused("bad device number \"0x-1\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "99999999999999999999", "a.bin"},
       Refused(
           "bad device number \"99999999999999999999\": give 0..255, decimal or 0x hexadecimal")},
      {{"--device", "7", "a.bin"}, Parsed(0, 0, 0, 0, 7, "", "", -1, "a.bin")},
      {{"--device=7", "a.bin"}, Parsed(0, 0, 0, 0, 7, "", "", -1, "a.bin")},
      {{"--device=", "a.bin"},
       Refused("bad device number \"\": give 0..255, decimal or 0x hexadecimal")},
      {{"--device", "a.bin"},
       Refused("bad device number \"a.bin\": give 0..255, decimal or 0x hexadecimal")},
      {{"a.bin", "-d"}, Refused("option -d needs a value")},
      {{"-d", "5", "-d", "6", "a.bin"}, Parsed(0, 0, 0, 0, 6, "", "", -1, "a.bin")},
      {{"-d", "300", "-d", "5", "a.bin"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"-d", "5", "-d", "300", "a.bin"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"-p", "COM3", "a.bin"}, Parsed(0, 0, 0, 0, 0, "COM3", "", -1, "a.bin")},
      {{"--port", "COM3", "a.bin"}, Parsed(0, 0, 0, 0, 0, "COM3", "", -1, "a.bin")},
      {{"--port=COM3", "a.bin"}, Parsed(0, 0, 0, 0, 0, "COM3", "", -1, "a.bin")},
      {{"--port=", "a.bin"}, Refused("empty port name")},
      {{"-p", "", "a.bin"}, Refused("empty port name")},
      {{"-p", "-q", "a.bin"}, Parsed(0, 0, 0, 0, 0, "-q", "", -1, "a.bin")},
      {{"--port", "--quiet", "a.bin"}, Parsed(0, 0, 0, 0, 0, "--quiet", "", -1, "a.bin")},
      {{"-p", "/dev/pts/7", "a.bin"}, Parsed(0, 0, 0, 0, 0, "/dev/pts/7", "", -1, "a.bin")},
      {{"-p", "COM1", "-p", "COM2", "a.bin"}, Parsed(0, 0, 0, 0, 0, "COM2", "", -1, "a.bin")},
      {{"--log", "l.txt", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "l.txt", -1, "a.bin")},
      {{"--log=l.txt", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "l.txt", -1, "a.bin")},
      {{"--log=", "a.bin"}, Refused("empty log file name")},
      {{"--log", "", "a.bin"}, Refused("empty log file name")},
      {{"--log", "-q", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "-q", -1, "a.bin")},
      {{"a.bin", "--log"}, Refused("option --log needs a value")},
      {{"-w", "2.5", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 2.5, "a.bin")},
      {{"--wait", "0", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 0, "a.bin")},
      {{"--wait=1e6", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 1e+06, "a.bin")},
      {{"--wait=1e6x", "a.bin"}, Refused("bad --wait value \"1e6x\": give seconds, 0 or more")},
      {{"-w", "1000001", "a.bin"},
       Refused("bad --wait value \"1000001\": give seconds, 0 or more")},
      {{"-w", ".5", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 0.5, "a.bin")},
      {{"-w", "5.", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 5, "a.bin")},
      {{"-w", "-3", "a.bin"}, Refused("bad --wait value \"-3\": give seconds, 0 or more")},
      {{"-w", "-0", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", -0, "a.bin")},
      {{"-w", "soon", "a.bin"}, Refused("bad --wait value \"soon\": give seconds, 0 or more")},
      {{"-w", "nan", "a.bin"}, Refused("bad --wait value \"nan\": give seconds, 0 or more")},
      {{"-w", "inf", "a.bin"}, Refused("bad --wait value \"inf\": give seconds, 0 or more")},
      {{"-w", "", "a.bin"}, Refused("bad --wait value \"\": give seconds, 0 or more")},
      {{"-w", "0x10", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 16, "a.bin")},
      {{"-w", " 2", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "", 2, "a.bin")},
      {{"-w", "2 ", "a.bin"}, Refused("bad --wait value \"2 \": give seconds, 0 or more")},
      {{"-q", "a.bin"}, Parsed(0, 0, 0, 1, 0, "", "", -1, "a.bin")},
      {{"--quiet", "a.bin"}, Parsed(0, 0, 0, 1, 0, "", "", -1, "a.bin")},
      {{"--quiet=yes", "a.bin"}, Refused("option --quiet takes no value")},
      {{"--quiet=", "a.bin"}, Refused("option --quiet takes no value")},
      {{"-q=1", "a.bin"}, Refused("unknown option -q=1")},
      {{"-qq", "a.bin"}, Refused("unknown option -qq")},
      {{"-qd", "5", "a.bin"}, Refused("unknown option -qd")},
      {{"-h"}, Parsed(1, 0, 0, 0, 0, "", "", -1, "")},
      {{"--help"}, Parsed(1, 0, 0, 0, 0, "", "", -1, "")},
      {{"--help=1"}, Refused("option --help takes no value")},
      {{"-h", "a.bin"}, Parsed(1, 0, 0, 0, 0, "", "", -1, "a.bin")},
      {{"-h", "--bogus"}, Refused("unknown option --bogus")},
      {{"--bogus", "-h"}, Refused("unknown option --bogus")},
      {{"-h", "-d", "300"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"--version"}, Parsed(0, 1, 0, 0, 0, "", "", -1, "")},
      {{"--version=2"}, Refused("option --version takes no value")},
      {{"--version", "a.bin"}, Refused("stray word \"a.bin\": --version takes no IMAGE")},
      {{"--list-ports"}, Parsed(0, 0, 1, 0, 0, "", "", -1, "")},
      {{"--list-ports=1"}, Refused("option --list-ports takes no value")},
      {{"--list-ports", "a.bin"}, Refused("stray word \"a.bin\": --list-ports takes no IMAGE")},
      {{"a.bin", "--check", "--json"}, Refused("stray word \"a.bin\": --check takes no IMAGE")},
      {{"--list-ports", "-d", "5"}, Parsed(0, 0, 1, 0, 5, "", "", -1, "")},
      {{"--frobnicate", "a.bin"}, Refused("unknown option --frobnicate")},
      {{"--frobnicate"}, Refused("unknown option --frobnicate")},
      {{"-x", "a.bin"}, Refused("unknown option -x")},
      {{"-5", "a.bin"}, Refused("unknown option -5")},
      {{"--", "-odd.bin"}, Parsed(0, 0, 0, 0, 0, "", "", -1, "-odd.bin")},
      {{"--", "a.bin", "b.bin"}, Refused("more than one IMAGE: \"a.bin\" and \"b.bin\"")},
      {{"--", "-q"}, Parsed(0, 0, 0, 0, 0, "", "", -1, "-q")},
      {{"--", "--"}, Parsed(0, 0, 0, 0, 0, "", "", -1, "--")},
      {{"-", "a.bin"}, Refused("more than one IMAGE: \"-\" and \"a.bin\"")},
      {{"-"}, Parsed(0, 0, 0, 0, 0, "", "", -1, "-")},
      {{"a.bin", "b.bin"}, Refused("more than one IMAGE: \"a.bin\" and \"b.bin\"")},
      {{"a.bin", "-q"}, Parsed(0, 0, 0, 1, 0, "", "", -1, "a.bin")},
      {{"a.bin", "--", "-q"}, Refused("more than one IMAGE: \"a.bin\" and \"-q\"")},
      {{"---", "a.bin"}, Refused("unknown option ---")},
      {{"--frobnicate", "-d", "300", "a.bin"}, Refused("unknown option --frobnicate")},
      {{"-d", "300", "--frobnicate", "a.bin"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"a.bin", "b.bin", "--frobnicate"}, Refused("more than one IMAGE: \"a.bin\" and \"b.bin\"")},
      {{"--frobnicate", "a.bin", "b.bin"}, Refused("unknown option --frobnicate")},
      {{"-d", "300", "a.bin", "b.bin"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"a.bin", "b.bin", "-d", "300"}, Refused("more than one IMAGE: \"a.bin\" and \"b.bin\"")},
      {{"-w", "soon", "-d", "300", "a.bin"},
       Refused("bad --wait value \"soon\": give seconds, 0 or more")},
      {{"-d", "300", "-w", "soon", "a.bin"},
       Refused("bad device number \"300\": give 0..255, decimal or 0x hexadecimal")},
      {{"--quiet=yes", "--frobnicate", "a.bin"}, Refused("option --quiet takes no value")},
      {{"--frobnicate", "--quiet=yes", "a.bin"}, Refused("unknown option --frobnicate")},
      {{"-q", "-p", "/dev/pts/7", "--log", "l.txt", "-w", "2.5", "--", "-odd.bin"},
       Parsed(0, 0, 0, 1, 0, "/dev/pts/7", "l.txt", 2.5, "-odd.bin")},
      {{"--port=COM3", "--log=x.txt", "--wait=1", "--device=0x10", "--quiet", "img.bin"},
       Parsed(0, 0, 0, 1, 16, "COM3", "x.txt", 1, "img.bin")},
      {{"-D", "5", "a.bin"}, Refused("unknown option -D")},
      {{"--Device", "5", "a.bin"}, Refused("unknown option --Device")},
      {{"--dev", "5", "a.bin"}, Refused("unknown option --dev")},
      {{"-help"}, Refused("unknown option -help")},
      {{"--h"}, Refused("unknown option --h")},
      {{"-p", "-x", "a.bin"}, Parsed(0, 0, 0, 0, 0, "-x", "", -1, "a.bin")},
      {{"-p", "--", "a.bin"}, Parsed(0, 0, 0, 0, 0, "--", "", -1, "a.bin")},
      {{"-d", "--", "a.bin"},
       Refused("bad device number \"--\": give 0..255, decimal or 0x hexadecimal")},
      {{"--log", "--", "a.bin"}, Parsed(0, 0, 0, 0, 0, "", "--", -1, "a.bin")},
      {{"-p", "-", "a.bin"}, Parsed(0, 0, 0, 0, 0, "-", "", -1, "a.bin")},
      {{"--port", "--port", "a.bin"}, Parsed(0, 0, 0, 0, 0, "--port", "", -1, "a.bin")},
      {{"-p", "--frobnicate=3", "a.bin"}, Parsed(0, 0, 0, 0, 0, "--frobnicate=3", "", -1, "a.bin")},
      {{"--frobnicate=3", "a.bin"}, Refused("unknown option --frobnicate")},
      {{"--quiet", "--quiet", "a.bin"}, Parsed(0, 0, 0, 1, 0, "", "", -1, "a.bin")},
      {{"-h", "-h"}, Parsed(1, 0, 0, 0, 0, "", "", -1, "")},
      {{"a.bin", "--", "--", "b.bin"}, Refused("more than one IMAGE: \"a.bin\" and \"--\"")},
      {{"--", "--", "--"}, Refused("more than one IMAGE: \"--\" and \"--\"")},
  };
  for (const auto& line : lines) {
    std::string shown;
    for (const char* arg : line.args) shown += std::string(" [") + arg + "]";
    SCOPED_TRACE(shown);
    std::string error;
    const std::optional<TFlashOptions> o = Parse(line.args, &error);
    ASSERT_EQ(!o, line.expected.refused) << error;
    if (!o) {
      EXPECT_EQ(error, line.expected.error);
      continue;
    }
    const TFlashOptions& e = line.expected.options;
    EXPECT_EQ(o->Help, e.Help);
    EXPECT_EQ(o->Version, e.Version);
    EXPECT_EQ(o->ListPorts, e.ListPorts);
    EXPECT_EQ(o->Quiet, e.Quiet);
    EXPECT_EQ(o->Device, e.Device);
    EXPECT_EQ(o->Port, e.Port);
    EXPECT_EQ(o->LogFile, e.LogFile);
    EXPECT_DOUBLE_EQ(o->WaitSeconds, e.WaitSeconds);
    EXPECT_EQ(o->Image, e.Image);
  }
}

TEST(FlashOptions, PortOptionsInAnyOrderAndTheirCombinations) {
  auto o = Parse({"--port-filter", "vid=0403", "--long", "--port-filter=name=COM1*",
                  "--list-ports"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->ListPorts && o->Long && !o->Json && !o->Check);
  EXPECT_EQ(o->PortFilters,
            (std::vector<TPortFilter>{{"vid", "0403"}, {"name", "COM1*"}}));  // every one kept
  o = Parse({"--json", "--check"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->Check && o->Json && o->Image.empty());
  o = Parse({"--port-filter", "serial=A50285BI", "a.bin"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->Image, "a.bin");
  EXPECT_EQ(o->PortFilters.size(), 1u);

  const struct {
    std::vector<const char*> args;
    const char* error;
  } refused[] = {
      {{"--list-ports", "--long", "--json"}, "--long and --json exclude each other"},
      {{"--check", "--list-ports"}, "--check and --list-ports exclude each other"},
      {{"--long", "a.bin"}, "--long goes with --list-ports"},
      {{"--long", "--check"}, "--long goes with --list-ports"},
      {{"-p", "COM1", "--port-filter", "name=COM1", "a.bin"},
       "--port and --port-filter exclude each other: give one port or filters"},
      {{"--list-ports", "--port-filter"}, "option --port-filter needs a value"},
      {{"--port-filter", "name=COM1"}, "missing IMAGE"},
      {{"--long=1", "--list-ports"}, "option --long takes no value"},
  };
  for (const auto& line : refused) {
    std::string error;
    EXPECT_FALSE(Parse(line.args, &error)) << line.error;
    EXPECT_EQ(error, line.error);
  }
  // A bad filter is named with why; the first mistake on the line wins, as for every option.
  std::string error;
  EXPECT_FALSE(Parse({"--port-filter", "colour=red", "-d", "300", "--list-ports"}, &error));
  EXPECT_EQ(error.rfind("bad --port-filter \"colour=red\": ", 0), 0u) << error;
  EXPECT_FALSE(Parse({"--list-ports", "--port-filter", "vid=xyz"}, &error));
  EXPECT_EQ(error.rfind("bad --port-filter \"vid=xyz\": ", 0), 0u) << error;
}

// Gang mode: when discovery is over must be said, and what belongs to a single run is refused.
TEST(FlashOptions, GangModeAndItsCombinations) {
  auto o = Parse({"--all", "--expect", "4", "--json", "a.hex"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->All && o->Json);
  EXPECT_EQ(o->Expect, 4);
  EXPECT_LT(o->WaitSeconds, 0);
  o = Parse({"-w", "2", "a.bin", "--all"});  // --wait alone will do, in any order
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->All);
  EXPECT_EQ(o->Expect, 0);
  o = Parse({"--json", "a.bin"});  // a single run's events
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->Json && !o->All);

  const struct {
    std::vector<const char*> args;
    const char* error;
  } refused[] = {
      {{"--all", "a.bin"}, "--all needs --wait SEC or --expect N: when is discovery over?"},
      {{"--expect", "3", "a.bin"}, "--expect goes with --all"},
      {{"--all", "--expect", "0", "a.bin"},
       "bad --expect value \"0\": give a number of devices, 1 to 4096"},
      {{"--all", "--expect", "4097", "a.bin"},
       "bad --expect value \"4097\": give a number of devices, 1 to 4096"},
      {{"--all", "--expect", "-1", "a.bin"},
       "bad --expect value \"-1\": give a number of devices, 1 to 4096"},
      {{"--all", "--expect", "2x", "a.bin"},
       "bad --expect value \"2x\": give a number of devices, 1 to 4096"},
      {{"--all", "-w", "5", "--log", "out.txt", "a.bin"},
       "--log goes with a single run, not --all"},
      {{"--all", "--list-ports"}, "--all goes with a run, not with --list-ports or --check"},
      {{"--all", "--expect"}, "option --expect needs a value"},
  };
  for (const auto& line : refused) {
    std::string error;
    EXPECT_FALSE(Parse(line.args, &error)) << line.error;
    EXPECT_EQ(error, line.error);
  }
}

// The line's speed and the reset pulse: what is taken, and a pulse refused wherever it could
// reach a port the user did not choose.
TEST(FlashOptions, LineSpeedAndResetAndTheirCombinations) {
  auto o = Parse({"a.bin"});
  EXPECT_EQ(o->BaudRate, 57600u);
  EXPECT_EQ(o->Reset, TResetLine::rlNone);
  o = Parse({"--all", "-w", "5", "--reset=rts", "--reset-ms", "10000", "--port-filter",
             "name=COM*", "-b", "9600", "--baud", "921600", "a.bin"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->BaudRate, 921600u);
  EXPECT_EQ(o->Reset, TResetLine::rlRts);
  EXPECT_EQ(o->ResetMs, 10000);
  o = Parse({"a.bin", "--reset", "dtr", "-p", "COM3"});  // the port may come later
  ASSERT_TRUE(o);
  EXPECT_EQ(o->Reset, TResetLine::rlDtr);
  EXPECT_EQ(o->ResetMs, 100);

  const std::string rates = "1200 2400 4800 9600 19200 38400 57600 115200 230400 460800 921600";
  const struct {
    std::vector<const char*> args;
    std::string error;
  } refused[] = {
      {{"-b", "14400", "a.bin"}, "bad --baud value \"14400\": give one of " + rates},
      {{"-b", "57600.0", "a.bin"}, "bad --baud value \"57600.0\": give one of " + rates},
      {{"--all", "-w", "5", "--reset", "dtr", "a.bin"},
       "--reset needs --port or --port-filter: only ports chosen are reset"},
      {{"--reset", "DTR", "-p", "COM1", "a.bin"}, "bad --reset value \"DTR\": give dtr or rts"},
      {{"--reset-ms", "50", "-p", "COM1", "a.bin"}, "--reset-ms goes with --reset"},
      {{"--reset", "dtr", "-p", "COM1", "--reset-ms", "0", "a.bin"},
       "bad --reset-ms value \"0\": give milliseconds, 1 to 10000"},
      {{"--reset", "dtr", "-p", "COM1", "--reset-ms", "10001", "a.bin"},
       "bad --reset-ms value \"10001\": give milliseconds, 1 to 10000"},
  };
  for (const auto& line : refused) {
    std::string error;
    EXPECT_FALSE(Parse(line.args, &error)) << line.error;
    EXPECT_EQ(error, line.error);
  }
}

// The one line read differently since: "--=x" was taken as "--", a stray word silently dropped.
TEST(FlashOptions, ADoubleDashWithAValueIsAnUnknownOption) {
  std::string error;
  EXPECT_FALSE(Parse({"--=x", "a.bin"}, &error));
  EXPECT_EQ(error, "unknown option --=x");
}

}  // namespace
}  // namespace orvix
