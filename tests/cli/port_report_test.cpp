// The flasher's port table and JSON lines.
#include "cli/port_report.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace orvix {
namespace {

using nlohmann::json;

TPortIdentity Ftdi() {
  TPortIdentity p;
  p.Name = "COM100";
  p.Path = "/dev/ttyUSB0";
  p.ById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  p.Driver = "ftdi_sio";
  p.Vid = 0x0403;
  p.Pid = 0x6001;
  p.Serial = "A50285BI";
  p.Manufacturer = "FTDI";
  p.Product = "FT232R USB UART";
  p.Location = "1-2:1.0";
  return p;
}

TEST(PortReport, JsonLinesHoldEveryKeyWithNullForWhatIsAbsent) {
  const json full = json::parse(PortJson(Ftdi()));
  EXPECT_EQ(full, json::parse(R"({"name":"COM100","path":"/dev/ttyUSB0",
      "by_id":"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
      "driver":"ftdi_sio","vid":"0403","pid":"6001","serial":"A50285BI","manufacturer":"FTDI",
      "product":"FT232R USB UART","location":"1-2:1.0"})"));

  TPortIdentity bare;
  bare.Name = "COM7";
  bare.Path = "/dev/pts/3";
  const json empty = json::parse(PortJson(bare));
  ASSERT_EQ(empty.size(), 10u);
  for (const char* key : {"by_id", "driver", "vid", "pid", "serial", "manufacturer", "product",
                          "location"})
    EXPECT_TRUE(empty.at(key).is_null()) << key;
}

TEST(PortReport, WhateverADeviceReportsTheLineStillParses) {
  TPortIdentity odd = Ftdi();
  odd.Vid = 0xEA60;
  odd.Manufacturer = std::string("Qu\"ote\\ tab\t nl\n bell\x07 \xd0\x9e\xd0\xbe");
  odd.Product = std::string("bad \xff\xfe utf8 \xc0\xaf overlong \xed\xa0\x80 surrogate \xe2\x82");
  const std::string line = PortJson(odd);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const json parsed = json::parse(line);
  EXPECT_EQ(parsed["vid"], "ea60");
  EXPECT_EQ(parsed["manufacturer"], *odd.Manufacturer);
  EXPECT_EQ(parsed["product"],
            "bad \xef\xbf\xbd\xef\xbf\xbd utf8 \xef\xbf\xbd\xef\xbf\xbd overlong "
            "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd surrogate \xef\xbf\xbd\xef\xbf\xbd");
}

TEST(PortReport, FindingsAsJson) {
  const json port = json::parse(FindingJson({"busy",
                                             "COM7",
                                             "/dev/pts/3",
                                             {"setup", "in use by %1", {"PID 12 (minicom)"}, {}},
                                             {"setup", "end that program", {}, {}}}));
  EXPECT_EQ(port, json::parse(R"js({"kind":"busy","port":"COM7","path":"/dev/pts/3",
      "problem":"in use by PID 12 (minicom)","remedy":"end that program"})js"));
  const json machine = json::parse(FindingJson(
      {"no-ports", "", "", {"setup", "no serial port found", {}, {}}, {"setup", "x", {}, {}}}));
  EXPECT_TRUE(machine["port"].is_null());
  EXPECT_TRUE(machine["path"].is_null());
}

TEST(PortReport, TheTableLinesUpUnderItsHeader) {
  TPortIdentity ch340;
  ch340.Name = "COM101";
  ch340.Path = "/dev/ttyUSB1";
  ch340.Vid = 0x1a86;
  ch340.Pid = 0x7523;
  ch340.Product = "USB Serial";
  TPortIdentity uart;
  uart.Name = "COM1";
  uart.Path = "/dev/ttyS0";
  TPortIdentity cyrillic = uart;
  cyrillic.Name = "COM2";
  cyrillic.Product = "\xd0\x9f\xd0\xbb\xd0\xb0\xd1\x82\xd0\xb0";  // "Плата": 5 characters
  const std::string table = PortTable({Ftdi(), ch340, uart, cyrillic});
  EXPECT_EQ(table,
            "NAME    PATH          VID:PID    SERIAL    DESCRIPTION            BY-ID\n"
            "COM100  /dev/ttyUSB0  0403:6001  A50285BI  FT232R USB UART, FTDI  "
            "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
            "COM101  /dev/ttyUSB1  1a86:7523  -         USB Serial             -\n"
            "COM1    /dev/ttyS0    -          -         -                      -\n"
            "COM2    /dev/ttyS0    -          -         \xd0\x9f\xd0\xbb\xd0\xb0\xd1\x82\xd0\xb0"
            "                  -\n");
  EXPECT_EQ(PortTable({}), "NAME  PATH  VID:PID  SERIAL  DESCRIPTION  BY-ID\n");
}

}  // namespace
}  // namespace orvix
