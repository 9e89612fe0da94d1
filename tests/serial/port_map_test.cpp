// The Linux device map behind the port list: ORVIX_PORTS and /sys/class/tty.
#include "serial/linux/port_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/port_list.h"
#include "serial/serial_error.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(PortList, TheListComesFromTheDeviceMap) {
  testing::ScopedEnv ports("ORVIX_PORTS", "COM12=/dev/a; COM2=/dev/b ;AUX=/dev/c;");
  Names listed{"old"};
  ListSerialPorts(listed);
  EXPECT_EQ(listed, (Names{"COM2", "COM12"}));

  testing::ScopedEnv bad("ORVIX_PORTS", "COM1=/dev/a;COM2");
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
    testing::ScopedEnv none("ORVIX_PORTS", "");
    EXPECT_EQ(CurrentPortMap(sys.Root()), TPortMap{});
  }
  testing::ScopedEnv unset("ORVIX_PORTS", std::nullopt);
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
