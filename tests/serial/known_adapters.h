// What the ports of tests/serial/devices must be identified as, shared by the test over a
// built tree and the one under umockdev.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "serial/port_identity.h"

namespace orvix::testing {

inline const char* const kAllDescriptions[] = {"ft232r.umockdev",  "ch340.umockdev",
                                               "cp2102.umockdev",  "cdc_acm.umockdev",
                                               "ft2232h.umockdev", "legacy_uarts.umockdev"};

using OptText = std::optional<std::string>;

inline TPortIdentity Port(const char* name, const char* path, OptText by_id, OptText driver) {
  TPortIdentity p;
  p.Name = name;
  p.Path = path;
  p.ById = std::move(by_id);
  p.Driver = std::move(driver);
  return p;
}

inline TPortIdentity UsbPort(const char* name, const char* path, OptText by_id, OptText driver,
                             uint16_t vid, uint16_t pid, OptText serial, OptText manufacturer,
                             OptText product, OptText location) {
  TPortIdentity p = Port(name, path, std::move(by_id), std::move(driver));
  p.Vid = vid;
  p.Pid = pid;
  p.Serial = std::move(serial);
  p.Manufacturer = std::move(manufacturer);
  p.Product = std::move(product);
  p.Location = std::move(location);
  return p;
}

inline std::vector<TPortIdentity> KnownAdapters() {
  const OptText none;
  std::vector<TPortIdentity> ports;
  // An on-board 16550: a driver and nothing USB. ttyS3 (no UART) is not listed at all.
  ports.push_back(Port("COM1", "/dev/ttyS0", none, "serial"));
  ports.push_back(UsbPort("COM100", "/dev/ttyUSB0",
                          "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                          "ftdi_sio", 0x0403, 0x6001, "A50285BI", "FTDI", "FT232R USB UART",
                          "1-2:1.0"));
  ports.back().LatencyTimerMs = 16;
  // No serial number, no manufacturer string: those stay absent, not empty.
  ports.push_back(UsbPort("COM101", "/dev/ttyUSB1",
                          "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "ch341", 0x1a86,
                          0x7523, none, none, "USB Serial", "1-1.4:1.0"));
  ports.push_back(UsbPort("COM102", "/dev/ttyUSB2",
                          "/dev/serial/by-id/"
                          "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
                          "cp210x", 0x10c4, 0xea60, "0001", "Silicon Labs",
                          "CP2102 USB to UART Bridge Controller", "3-1:1.0"));
  // Two interfaces of one device: one serial number, two locations, two links.
  for (int i : {0, 1}) {
    const std::string n = std::to_string(i);
    ports.push_back(UsbPort(i == 0 ? "COM103" : "COM104", i == 0 ? "/dev/ttyUSB3" : "/dev/ttyUSB4",
                            "/dev/serial/by-id/usb-FTDI_Dual_RS232-HS_FT4ZQ3W7-if0" + n + "-port0",
                            "ftdi_sio", 0x0403, 0x6010, "FT4ZQ3W7", "FTDI", "Dual RS232-HS",
                            "1-4:1." + n));
    ports.back().LatencyTimerMs = 1;
  }
  ports.push_back(UsbPort("COM200", "/dev/ttyACM0",
                          "/dev/serial/by-id/"
                          "usb-Arduino__www.arduino.cc__0043_85036313530351E0E1A1-if00",
                          "cdc_acm", 0x2341, 0x0043, "85036313530351E0E1A1",
                          "Arduino (www.arduino.cc)", "Arduino Uno", "1-3:1.0"));
  return ports;
}

// Field by field, so a failure names the port and the field.
inline void ExpectSameIdentity(const TPortIdentity& got, const TPortIdentity& want) {
  SCOPED_TRACE(want.Name);
  EXPECT_EQ(got.Name, want.Name);
  EXPECT_EQ(got.Path, want.Path);
  EXPECT_EQ(got.ById, want.ById);
  EXPECT_EQ(got.Driver, want.Driver);
  EXPECT_EQ(got.Vid, want.Vid);
  EXPECT_EQ(got.Pid, want.Pid);
  EXPECT_EQ(got.Serial, want.Serial);
  EXPECT_EQ(got.Manufacturer, want.Manufacturer);
  EXPECT_EQ(got.Product, want.Product);
  EXPECT_EQ(got.Location, want.Location);
  EXPECT_EQ(got.FriendlyName, want.FriendlyName);
  EXPECT_EQ(got.LatencyTimerMs, want.LatencyTimerMs);
}

}  // namespace orvix::testing
