// Which port is which, read from a sysfs and /dev tree built from the device descriptions.
#include "serial/linux/port_identity_linux.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/far_end.h"
#include "tests/serial/known_adapters.h"
#include "tests/support/mock_tree.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {

std::vector<TPortIdentity> ListIn(const testing::MockTree& tree) {
  return IdentifyPorts(ScanSysfsPorts(tree.Roots().Sys), tree.Roots());
}

TEST(PortIdentity, EveryKindOfAdapterIsIdentified) {
  testing::MockTree tree;
  for (const char* d : testing::kAllDescriptions) tree.Load(d);
  auto want = testing::KnownAdapters();
  // The links live under the tree's /dev.
  for (auto& p : want)
    if (p.ById) p.ById = tree.Roots().Dev + p.ById->substr(4);

  const auto got = ListIn(tree);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) testing::ExpectSameIdentity(got[i], want[i]);
}

TEST(PortIdentity, MissingPiecesLeaveFieldsAbsent) {
  testing::MockTree tree;
  tree.Load("ft232r.umockdev");
  // udev has not made the link yet, and the adapter's strings are unreadable.
  std::filesystem::remove_all(tree.Roots().Dev + "/serial");
  const std::string usb = tree.Root() + "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
  std::filesystem::remove(usb + "/manufacturer");
  tree.Write("sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/serial", "\n");

  const auto got = ListIn(tree);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].ById, std::nullopt);
  EXPECT_EQ(got[0].Manufacturer, std::nullopt);
  EXPECT_EQ(got[0].Serial, std::nullopt);  // empty is absent
  EXPECT_EQ(got[0].Vid, 0x0403);
  EXPECT_EQ(PortDescription(got[0]), "FT232R USB UART");
}

TEST(PortIdentity, MappedPathsAreFollowedToTheirDevice) {
  testing::MockTree tree;
  tree.Load("cp2102.umockdev");
  // A by-id link in ORVIX_PORTS names the same adapter as its node.
  const TPortMap map{{"COM5", tree.Roots().Dev +
                                  "/serial/by-id/"
                                  "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-"
                                  "if00-port0"},
                     {"COM6", "/dev/pts/0"},
                     {"COM7", "/tmp/ttyUSB2"}};
  const auto got = IdentifyPorts(map, tree.Roots());
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Vid, 0x10c4);
  EXPECT_EQ(got[0].Serial, "0001");
  EXPECT_EQ(got[0].Path, map[0].Path);
  // A pseudo-terminal, and a file that only shares a tty's name, are nobody's adapter.
  for (size_t i : {1u, 2u}) {
    EXPECT_EQ(got[i].Path, map[i].Path);
    EXPECT_EQ(got[i].Driver, std::nullopt);
    EXPECT_EQ(got[i].Vid, std::nullopt);
    EXPECT_EQ(PortDescription(got[i]), "");
  }
}

TEST(PortIdentity, TheListKeepsThePortListsNamesAndOrder) {
  testing::ScopedEnv ports("ORVIX_PORTS", "COM12=/dev/pts/1;AUX=/dev/pts/2;COM3=/dev/pts/3");
  const auto got = ListPortIdentities();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Name, "COM3");
  EXPECT_EQ(got[0].Path, "/dev/pts/3");
  EXPECT_EQ(got[1].Name, "COM12");
}

}  // namespace
}  // namespace orvix
