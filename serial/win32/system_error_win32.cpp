#include "serial/serial_error.h"

namespace orvix {

std::string SystemErrorText(int system_code) {
  return "win error code: " + std::to_string(system_code);
}

}  // namespace orvix
