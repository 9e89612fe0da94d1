// The machine's serial port names, in the order discovery tries them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/serial_error.h"

namespace orvix {

// A bad entry in the device map the user wrote (ORVIX_PORTS on Linux): a configuration to
// correct, not a port that failed. what() is the ESerialPort text; Detail() names the variable
// and the entry.
class EPortMapError : public ESerialPort {
 public:
  explicit EPortMapError(TText detail)
      : ESerialPort(ecPortList, -1, EnglishText(detail)), detail_(std::move(detail)) {}
  std::string Detail() const { return EnglishText(detail_); }
  const TText& DetailText() const { return detail_; }

 private:
  TText detail_;
};

// The text-to-integer conversion's failure: "'%s' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decimal text, an optional sign, within 32 bits; anything else raises EConvertError.
int32_t StrToInt(const std::string& text);

// Fills Ports with the names that begin with "COM" and have more, ordered by the number after
// "COM". When no name qualifies Ports is left exactly as it was. Raises ESerialPort code 23 when
// the names cannot be read, EConvertError for a name whose number is not a number (with two or
// more names); Ports is then untouched too.
void ListSerialPorts(std::vector<std::string>& Ports);

// The same rules over a given set of names (what ListSerialPorts applies to the platform's).
void AssignSerialPorts(std::vector<std::string> names, std::vector<std::string>& Ports);

// Negative when entry I sorts before entry J, 0 when their numbers are equal, positive after.
int ComparePortNumbers(const std::vector<std::string>& List, int I, int J);

// The platform's raw port names: the device map on Linux, the registry's serial device map on
// Windows. Raises ESerialPort code 23, an EPortMapError for a bad entry of ORVIX_PORTS.
std::vector<std::string> PlatformPortNames();

// Lets the process hold as many ports open at once as the system allows, so that discovery can
// open every port of a long list: on Linux the soft limit of open descriptors goes up to the hard
// limit. Windows has no such limit; nothing happens there.
void RaiseOpenPortLimit();

// What opening a port name reaches: the mapped device path on Linux ("" when the map has no such
// name), "\\.\" + name on Windows.
std::string PortDevicePath(const std::string& port);

}  // namespace orvix
