// Hexadecimal as every part of the programmer reads and writes it: the window's address fields,
// the flasher's lines, and the records and messages of the image loader.
#pragma once

#include <cstdint>
#include <string>

namespace orvix {

// A hexadecimal digit's value, either letter case; -1 for any other character.
int HexDigitValue(char c);

// Upper-case hexadecimal, at least `digits` digits.
std::string HexText(uint32_t value, int digits);

// An address as it is shown: at least four digits ("%.4X").
std::string AddressText(uint32_t value);

}  // namespace orvix
