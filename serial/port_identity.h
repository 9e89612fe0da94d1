// Which port is which: what the machine tells about each serial port besides its name, so a user
// with several adapters can tell the board's from the modem's. Listing reads what the operating
// system already knows (sysfs and /dev on Linux, SetupAPI and the registry on Windows) and never
// opens a port: opening one raises DTR, which resets many boards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvix {

struct TPortIdentity {
  std::string Name;  // "COM100", as ListSerialPorts gives it
  std::string Path;  // what opening the name reaches: "/dev/ttyUSB0", "\\.\COM3"
  std::optional<std::string> ById;    // the stable link under /dev/serial/by-id/
  std::optional<std::string> Driver;  // kernel module (ftdi_sio, cdc_acm) or Windows service
  std::optional<uint16_t> Vid;
  std::optional<uint16_t> Pid;
  std::optional<std::string> Serial;
  std::optional<std::string> Manufacturer;
  std::optional<std::string> Product;
  std::optional<std::string> Location;      // USB bus-port path and interface: "1-2.3:1.0"
  std::optional<std::string> FriendlyName;  // Windows: the Device Manager's name
  std::optional<int> LatencyTimerMs;        // FTDI adapters: how long received bytes wait

  bool IsUsb() const { return Vid.has_value(); }
};

// The ports of ListSerialPorts, in its order, each with what the platform knows of it. Raises
// what ListSerialPorts raises; a port the platform tells nothing more about keeps its name and
// path with every other field absent.
std::vector<TPortIdentity> ListPortIdentities();

// "FT232R USB UART, FTDI, A50285BI": product, manufacturer and serial number, those known, or
// the friendly name when none is; empty when nothing is known.
std::string PortDescription(const TPortIdentity& port);

// The description of the port of that name, "" when it has none or the ports cannot be listed.
// Never raises: it only decorates what the user already sees.
std::string DescribePort(const std::string& name);

// A USB id as four lower-case hexadecimal digits ("0403").
std::string HexId(uint16_t id);
// "0403", "0x0403", "403" (any letter case) to the id; nothing for anything else.
std::optional<uint16_t> ParseHexId(const std::string& text);

// Fields of a Windows device instance id ("USB\VID_0403&PID_6001\A50285BI",
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"). The last part of a USB id is the serial number
// only when the device has one: Windows makes up ids with '&' in them for devices without.
struct TUsbInstanceId {
  std::optional<uint16_t> Vid;
  std::optional<uint16_t> Pid;
  std::optional<std::string> Serial;
  std::optional<int> Interface;  // MI_xx of one interface of a composite device
};
TUsbInstanceId ParseInstanceId(const std::string& id);

}  // namespace orvix
