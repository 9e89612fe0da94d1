#include "exchange/hex_digits.h"

#include <cstdio>

namespace orvix {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string HexText(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%.*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string AddressText(uint32_t value) {
  return HexText(value, 4);
}

}  // namespace orvix
