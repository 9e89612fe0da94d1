#include "cli/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvix {
namespace {

std::optional<FlashOptions> Parse(std::vector<const char*> args, std::string* error = nullptr) {
  args.insert(args.begin(), "orvix-flash");
  std::string e;
  auto o = ParseFlashOptions(static_cast<int>(args.size()), args.data(), e);
  if (error) *error = e;
  return o;
}

TEST(FlashOptions, DeviceNumberDecimalOrHexWithinOneByte) {
  EXPECT_EQ(Parse({"-d", "209", "a.bin"})->device, 209);
  EXPECT_EQ(Parse({"--device", "0xFF", "a.bin"})->device, 255);
  EXPECT_EQ(Parse({"--device=0x0a", "a.bin"})->device, 10);
  EXPECT_EQ(Parse({"a.bin"})->device, 0);
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
  EXPECT_EQ(Parse({"a.bin"})->format, ImageFormat::Auto);
  EXPECT_EQ(Parse({"--format", "ihex", "a"})->format, ImageFormat::IntelHex);
  EXPECT_EQ(Parse({"-f", "srec", "a"})->format, ImageFormat::SRecord);
  EXPECT_EQ(Parse({"--format=bin", "a"})->format, ImageFormat::Binary);
  EXPECT_EQ(Parse({"--format=auto", "a"})->format, ImageFormat::Auto);
  for (const char* bad : {"hex", "IHEX", "", "s19"}) {
    std::string error;
    EXPECT_FALSE(Parse({"--format", bad, "a"}, &error)) << bad;
    EXPECT_EQ(error,
              std::string("bad --format value \"") + bad + "\": give auto, bin, ihex or srec");
  }
}

TEST(FlashOptions, EverythingTogether) {
  auto o = Parse({"-q", "-p", "/dev/pts/7", "--log", "l.txt", "-w", "2.5", "--", "-odd.bin"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->quiet);
  EXPECT_EQ(o->port, "/dev/pts/7");
  EXPECT_EQ(o->log_file, "l.txt");
  EXPECT_DOUBLE_EQ(o->wait_seconds, 2.5);
  EXPECT_EQ(o->image, "-odd.bin");
  EXPECT_TRUE(Parse({"--list-ports"})->list_ports);
  EXPECT_TRUE(Parse({"-h"})->help);
}

}  // namespace
}  // namespace orvix
