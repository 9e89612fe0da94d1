// The platform-free parts of port identity: ids, descriptions, Windows instance ids.
#include <gtest/gtest.h>

#include "serial/port_identity.h"

namespace orvix {
namespace {

TEST(PortIdentityRules, IdsAreFourLowerCaseHexDigits) {
  EXPECT_EQ(HexId(0x0403), "0403");
  EXPECT_EQ(HexId(0xEA60), "ea60");
  EXPECT_EQ(HexId(0), "0000");
  EXPECT_EQ(ParseHexId("0403"), 0x0403);
  EXPECT_EQ(ParseHexId("0x1A86"), 0x1a86);
  EXPECT_EQ(ParseHexId("EA60"), 0xea60);
  EXPECT_EQ(ParseHexId("403"), 0x0403);
  for (const char* bad : {"", "0x", "12345", "04g3", "-403", " 403"})
    EXPECT_EQ(ParseHexId(bad), std::nullopt) << bad;
}

TEST(PortIdentityRules, TheDescriptionNamesWhatIsKnown) {
  TPortIdentity p;
  EXPECT_EQ(PortDescription(p), "");
  p.FriendlyName = "USB Serial Port (COM3)";
  EXPECT_EQ(PortDescription(p), "USB Serial Port (COM3)");
  p.Product = "FT232R USB UART";
  p.Manufacturer = "FTDI";
  p.Serial = "A50285BI";
  EXPECT_EQ(PortDescription(p), "FT232R USB UART, FTDI, A50285BI");
  p.Manufacturer.reset();
  EXPECT_EQ(PortDescription(p), "FT232R USB UART, A50285BI");
}

TEST(PortIdentityRules, WindowsInstanceIds) {
  auto id = ParseInstanceId("USB\\VID_0403&PID_6001\\A50285BI");
  EXPECT_EQ(id.Vid, 0x0403);
  EXPECT_EQ(id.Pid, 0x6001);
  EXPECT_EQ(id.Serial, "A50285BI");
  EXPECT_EQ(id.Interface, std::nullopt);

  // Made up by Windows for a device without a serial number.
  id = ParseInstanceId("USB\\VID_1A86&PID_7523\\5&2C2F1BD9&0&2");
  EXPECT_EQ(id.Vid, 0x1a86);
  EXPECT_EQ(id.Serial, std::nullopt);

  // One interface of a composite device: its instance part is no serial number either.
  id = ParseInstanceId("USB\\VID_2341&PID_8036&MI_00\\6&3A9B2A1&0&0000");
  EXPECT_EQ(id.Pid, 0x8036);
  EXPECT_EQ(id.Interface, 0);
  EXPECT_EQ(id.Serial, std::nullopt);

  // The FTDI bus driver's port: serial number plus the port's letter.
  id = ParseInstanceId("FTDIBUS\\VID_0403+PID_6010+FT4ZQ3W7B\\0000");
  EXPECT_EQ(id.Vid, 0x0403);
  EXPECT_EQ(id.Pid, 0x6010);
  EXPECT_EQ(id.Serial, "FT4ZQ3W7");

  for (const char* other : {"", "ACPI\\PNP0501\\1", "USB\\ROOT_HUB30\\4&1", "USB\\VID_04&PID_6001\\X",
                            "USB\\VID_0403&PID_6001"}) {
    id = ParseInstanceId(other);
    EXPECT_EQ(id.Vid, std::nullopt) << other;
    EXPECT_EQ(id.Serial, std::nullopt) << other;
  }
}

}  // namespace
}  // namespace orvix
