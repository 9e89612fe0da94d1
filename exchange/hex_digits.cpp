#include "exchange/hex_digits.h"

#include <cstdio>

namespace orvix {

std::string AddressText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%.4X", static_cast<unsigned>(value));
  return text;
}

}  // namespace orvix
