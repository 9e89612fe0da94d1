// Which ports --port-filter lets through.
#include "serial/port_filter.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using Filters = std::vector<TPortFilter>;

TPortIdentity Usb(const char* name, uint16_t vid, uint16_t pid, std::optional<std::string> serial,
                  const char* driver) {
  TPortIdentity p;
  p.Name = name;
  p.Path = std::string("/dev/") + name;
  p.Vid = vid;
  p.Pid = pid;
  p.Serial = std::move(serial);
  p.Driver = driver;
  return p;
}

std::vector<TPortIdentity> Machine() {
  TPortIdentity uart;
  uart.Name = "COM1";
  uart.Driver = "serial";
  return {uart,
          Usb("COM100", 0x0403, 0x6001, "A50285BI", "ftdi_sio"),
          Usb("COM101", 0x1a86, 0x7523, std::nullopt, "ch341"),
          Usb("COM103", 0x0403, 0x6010, "FT4ZQ3W7", "ftdi_sio"),
          Usb("COM104", 0x0403, 0x6010, "FT4ZQ3W7", "ftdi_sio"),
          Usb("COM200", 0x2341, 0x0043, "8503631", "cdc_acm")};
}

std::string Names(const Filters& filters) {
  std::string names;
  for (const auto& p : FilterPorts(Machine(), filters)) names += (names.empty() ? "" : " ") + p.Name;
  return names;
}

Filters Parse(std::initializer_list<const char*> texts) {
  Filters filters;
  for (const char* t : texts) {
    TText error;
    auto f = ParsePortFilter(t, error);
    EXPECT_TRUE(f) << t << ": " << EnglishText(error);
    if (f) filters.push_back(*f);
  }
  return filters;
}

TEST(PortFilter, KeysOfOneKindAreAlternativesAndKindsMustAllMatch) {
  EXPECT_EQ(Names({}), "COM1 COM100 COM101 COM103 COM104 COM200");
  EXPECT_EQ(Names(Parse({"vid=0403"})), "COM100 COM103 COM104");
  EXPECT_EQ(Names(Parse({"vid=0403", "pid=6010"})), "COM103 COM104");
  EXPECT_EQ(Names(Parse({"vid=0403", "vid=2341"})), "COM100 COM103 COM104 COM200");
  EXPECT_EQ(Names(Parse({"vid=0403", "vid=2341", "driver=cdc_acm"})), "COM200");
  EXPECT_EQ(Names(Parse({"serial=FT4ZQ3W7", "name=COM104"})), "COM104");
  EXPECT_EQ(Names(Parse({"vid=0403", "driver=ch341"})), "");
}

TEST(PortFilter, IdsCompareAsNumbersAndAbsentFieldsMatchNothing) {
  EXPECT_EQ(Names(Parse({"vid=0X1A86"})), "COM101");
  EXPECT_EQ(Names(Parse({"pid=43"})), "COM200");
  // The on-board port has no ids, the CH340 no serial number.
  EXPECT_EQ(Names(Parse({"serial=A50285BI", "serial=FT4ZQ3W7"})), "COM100 COM103 COM104");
  EXPECT_EQ(Names(Parse({"driver=serial"})), "COM1");
  // Exact, not a pattern or a prefix.
  EXPECT_EQ(Names(Parse({"serial=A5*"})), "");
  EXPECT_EQ(Names(Parse({"driver=ftdi"})), "");
}

TEST(PortFilter, NamesAreShellPatterns) {
  EXPECT_EQ(Names(Parse({"name=COM10?"})), "COM100 COM101 COM103 COM104");
  EXPECT_EQ(Names(Parse({"name=COM1*"})), "COM1 COM100 COM101 COM103 COM104");
  EXPECT_EQ(Names(Parse({"name=COM10[!0-3]"})), "COM104");
  EXPECT_EQ(Names(Parse({"name=*0", "name=COM1"})), "COM1 COM100 COM200");
}

TEST(PortFilter, ShellPatternMatch) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {"", "", true},           {"", "a", false},          {"*", "", true},
      {"*", "COM3", true},      {"COM?", "COM3", true},    {"COM?", "COM", false},
      {"C*3", "COM13", true},   {"C*3", "COM31", false},   {"*1*1*", "COM111", true},
      {"[CD]OM1", "DOM1", true}, {"[!C]OM1", "COM1", false}, {"[a-c]", "b", true},
      {"[a-c]", "d", false},    {"[]]", "]", true},        {"[!]]", "a", true},
      {"\\*", "*", true},       {"\\*", "a", false},       {"[", "[", true},
      {"COM[", "COM[", true},   {"**x", "abx", true},      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false}, {"?*", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ShellPatternMatch(c.pattern, c.text), c.match) << c.pattern << " vs " << c.text;
}

TEST(PortFilter, MalformedFiltersAreRefusedWithTheReason) {
  const std::pair<const char*, const char*> bad[] = {
      {"vid", "is not KEY=VALUE"},
      {"colour=red", "unknown key \"colour\""},
      {"serial=", "empty value"},
      {"vid=04g3", "vid is four hexadecimal digits"},
      {"pid=123456", "pid is four hexadecimal digits"},
  };
  for (const auto& [text, why] : bad) {
    TText error;
    EXPECT_FALSE(ParsePortFilter(text, error)) << text;
    EXPECT_NE(EnglishText(error).find(why), std::string::npos)
        << text << ": " << EnglishText(error);
  }
  TText error;
  auto f = ParsePortFilter("name=COM=1", error);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Value, "COM=1");
  EXPECT_EQ(FiltersText(Parse({"vid=0403", "name=COM1*"})), "vid=0403 name=COM1*");
}

}  // namespace
}  // namespace orvix
