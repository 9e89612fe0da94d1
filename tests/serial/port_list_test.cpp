#include "serial/port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/port_map.h"
#include "serial/serial_error.h"
#include "tests/serial/far_end.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

Names Listed(const Names& names, Names ports = {}) {
  AssignSerialPorts(names, ports);
  return ports;
}

TEST(PortList, NamesSortByTheirNumber) {
  EXPECT_EQ(Listed({"COM1", "COM10", "COM2"}), (Names{"COM1", "COM2", "COM10"}));
  EXPECT_EQ(Listed({"COM300", "COM100", "COM3", "COM101"}),
            (Names{"COM3", "COM100", "COM101", "COM300"}));
  EXPECT_EQ(Listed({"COM3", "COM1", "COM3"}), (Names{"COM1", "COM3", "COM3"}));
}

TEST(PortList, OnlyComNamesWithMoreThanComQualify) {
  EXPECT_EQ(Listed({"COM", "com3", "LPT1", "", "COM4", "XCOM1"}), (Names{"COM4"}));
}

TEST(PortList, NothingQualifyingLeavesThePortsAsTheyWere) {
  EXPECT_EQ(Listed({"LPT1", "COM"}, {"COM9", "COM2"}), (Names{"COM9", "COM2"}));
  EXPECT_EQ(Listed({}, {"COM9"}), (Names{"COM9"}));
  EXPECT_EQ(Listed({}), Names{});
  // Anything that qualifies replaces the old list whole.
  EXPECT_EQ(Listed({"COM5"}, {"COM9", "COM2"}), (Names{"COM5"}));
}

TEST(PortList, ANameWithoutANumberFailsOnlyWhenThereIsSomethingToSort) {
  EXPECT_EQ(Listed({"COMX"}), (Names{"COMX"}));
  Names ports{"COM9"};
  try {
    AssignSerialPorts({"COMX", "COM1"}, ports);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'X' is not a valid integer value");
  }
  EXPECT_EQ(ports, (Names{"COM9"}));
  // Wherever the bad one stands.
  EXPECT_THROW(AssignSerialPorts({"COM1", "COM2", "COM3", "COM1a"}, ports), EConvertError);
}

TEST(PortList, CompareGivesTheSignOfTheNumbers) {
  const Names list{"COM03", "COM3", "COM2147483647", "COM-2147483648", "COM10"};
  EXPECT_EQ(ComparePortNumbers(list, 0, 1), 0);
  EXPECT_LT(ComparePortNumbers(list, 1, 4), 0);
  EXPECT_GT(ComparePortNumbers(list, 4, 1), 0);
  // A plain difference would overflow here and order these two backwards.
  EXPECT_GT(ComparePortNumbers(list, 2, 3), 0);
  EXPECT_LT(ComparePortNumbers(list, 3, 2), 0);
}

TEST(PortList, TextToIntegerAcceptsOnlyWholeDecimalNumbers) {
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "-", " 1", "2147483648", "0x10"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
}

TEST(PortList, TheListComesFromTheDeviceMap) {
  test::ScopedEnv ports("ORVIX_PORTS", "COM12=/dev/a; COM2=/dev/b ;AUX=/dev/c;");
  Names listed{"old"};
  ListSerialPorts(listed);
  EXPECT_EQ(listed, (Names{"COM2", "COM12"}));

  test::ScopedEnv bad("ORVIX_PORTS", "COM1=/dev/a;COM2");
  try {
    ListSerialPorts(listed);
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 23);
    EXPECT_STREQ(e.what(), "Registry error: ORVIX_PORTS entry 'COM2' is not NAME=PATH");
  }
  EXPECT_EQ(listed, (Names{"COM2", "COM12"}));
}

TEST(PortMap, ParsesEntriesAndRejectsMalformedOnes) {
  EXPECT_EQ(ParsePortMap(""), TPortMap{});
  EXPECT_EQ(ParsePortMap("COM1=/dev/ttyUSB0;COM7=/dev/pts/3"),
            (TPortMap{{"COM1", "/dev/ttyUSB0"}, {"COM7", "/dev/pts/3"}}));
  EXPECT_EQ(ParsePortMap(" ;COM1 = /dev/x ;; "), (TPortMap{{"COM1", "/dev/x"}}));
  for (const char* bad :
       {"COM1", "=/dev/x", "COM1=", "COM1=dev/x", "COM1=/a;COM1=/b", "/dev/pts/3=/dev/pts/4"}) {
    try {
      ParsePortMap(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const ESerialPort& e) {
      EXPECT_EQ(e.MessageCode(), 23);
      EXPECT_EQ(e.SystemCode(), -1);
      EXPECT_NE(std::string(e.what()).find("ORVIX_PORTS entry '"), std::string::npos) << bad;
    }
  }
}

TEST(PortMap, NamesResolveToPaths) {
  const TPortMap map{{"COM1", "/dev/ttyS0"}, {"COM100", "/dev/ttyUSB0"}};
  EXPECT_EQ(ResolvePortPath("COM100", map), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortPath("com1", map), "/dev/ttyS0");
  EXPECT_EQ(ResolvePortPath("/dev/pts/4", map), "/dev/pts/4");
  EXPECT_EQ(ResolvePortPath("COM2", map), "");
}

TEST(PortMap, OnlySerialKernelNamesGetNumbers) {
  EXPECT_EQ(ComNumberOfTty("ttyS31"), 32);
  EXPECT_EQ(ComNumberOfTty("ttyUSB12"), 112);
  for (const char* other : {"tty0", "ttyS", "ttyUSB01", "ttyUSB100", "ttyS99", "ttyprintk"})
    EXPECT_EQ(ComNumberOfTty(other), 0) << other;
}

// A /sys look-alike: class/tty/<name> with an optional device link and UART type.
class FakeSysfs {
 public:
  FakeSysfs() {
    char templ[] = "/tmp/orvix-sysfs-XXXXXX";
    root_ = mkdtemp(templ);
    fs::create_directories(root_ / "class" / "tty");
  }
  ~FakeSysfs() { fs::remove_all(root_); }
  void Add(const std::string& name, bool device, int uart_type = -1) {
    const auto dir = root_ / "class" / "tty" / name;
    fs::create_directories(dir);
    if (device) fs::create_directory_symlink(root_, dir / "device");
    if (uart_type >= 0) std::ofstream(dir / "type") << uart_type << "\n";
  }
  std::string Root() const { return root_.string(); }

 private:
  fs::path root_;
};

TEST(PortMap, TheSysfsMapListsRealDevicesOnly) {
  FakeSysfs sys;
  sys.Add("tty0", false);
  sys.Add("console", false);
  sys.Add("ttyS0", true, 4);   // a 16550A
  sys.Add("ttyS1", true, 0);   // registered, but no UART answers
  sys.Add("ttyS2", true, -1);  // no type attribute to go by
  sys.Add("ttyUSB3", true);
  sys.Add("ttyUSB0", true);
  sys.Add("ttyACM0", true);
  sys.Add("ttyUSB9", false);  // gone, link not there
  const TPortMap expected{{"COM1", "/dev/ttyS0"},
                          {"COM3", "/dev/ttyS2"},
                          {"COM100", "/dev/ttyUSB0"},
                          {"COM103", "/dev/ttyUSB3"},
                          {"COM200", "/dev/ttyACM0"}};
  EXPECT_EQ(ScanSysfsPorts(sys.Root()), expected);

  // Plugging in another adapter adds a name and renumbers nothing.
  sys.Add("ttyUSB1", true);
  auto grown = ScanSysfsPorts(sys.Root());
  EXPECT_EQ(grown.size(), expected.size() + 1);
  for (const auto& e : expected) EXPECT_NE(std::find(grown.begin(), grown.end(), e), grown.end());

  // The variable, when set, is the whole map, even empty.
  {
    test::ScopedEnv none("ORVIX_PORTS", "");
    EXPECT_EQ(CurrentPortMap(sys.Root()), TPortMap{});
  }
  test::ScopedEnv unset("ORVIX_PORTS", std::nullopt);
  EXPECT_EQ(CurrentPortMap(sys.Root()), grown);
}

TEST(PortMap, AnUnreadableTtyClassIsAPortListError) {
  try {
    ScanSysfsPorts("/nonexistent-orvix-sysfs");
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 23);
    EXPECT_EQ(e.SystemCode(), ENOENT);
  }
}

}  // namespace
}  // namespace orvix
