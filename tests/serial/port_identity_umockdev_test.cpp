// The same adapters as port_identity_test.cpp, this time through the real /sys and /dev roots
// as umockdev mocks them (ctest starts this program under umockdev-run with every description).
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/serial/known_adapters.h"

namespace orvix {
namespace {

TEST(PortIdentityUmockdev, EveryKindOfAdapterIsIdentified) {
  if (!std::getenv("UMOCKDEV_DIR")) GTEST_SKIP() << "not started under umockdev-run";
  unsetenv("ORVIX_PORTS");
  auto want = testing::KnownAdapters();
  // umockdev keeps udev's links only as properties, not as files in its /dev.
  for (auto& p : want) p.ById.reset();

  const auto got = ListPortIdentities();
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) testing::ExpectSameIdentity(got[i], want[i]);
}

TEST(PortIdentityUmockdev, APortIsDescribedByName) {
  if (!std::getenv("UMOCKDEV_DIR")) GTEST_SKIP() << "not started under umockdev-run";
  unsetenv("ORVIX_PORTS");
  EXPECT_EQ(DescribePort("COM100"), "FT232R USB UART, FTDI, A50285BI");
  EXPECT_EQ(DescribePort("COM101"), "USB Serial");
  EXPECT_EQ(DescribePort("COM1"), "");
  EXPECT_EQ(DescribePort("COM999"), "");
  setenv("ORVIX_PORTS", "COM1", 1);  // malformed: the list fails, the description is empty
  EXPECT_EQ(DescribePort("COM100"), "");
  unsetenv("ORVIX_PORTS");
}

}  // namespace
}  // namespace orvix
