#include <cstring>

#include "serial/serial_error.h"

namespace orvix {

std::string SystemErrorText(int system_code) {
  char buffer[256];
  // The GNU strerror_r: returns the text, which may or may not be in the buffer.
  return ::strerror_r(system_code, buffer, sizeof buffer);
}

}  // namespace orvix
