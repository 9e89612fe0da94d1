// Hexadecimal as every part of the programmer writes it: addresses in the window's fields, in the
// flasher's lines and in the image loader's messages.
#pragma once

#include <cstdint>
#include <string>

namespace orvix {

// Upper-case hexadecimal, at least four digits ("%.4X").
std::string AddressText(uint32_t value);

}  // namespace orvix
