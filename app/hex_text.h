// Address texts: the four-digit hexadecimal the window shows and the conversion back to a number.
#pragma once

#include <cstdint>
#include <string>

#include "exchange/hex_digits.h"  // AddressText, the other way round

namespace orvix {

// Text to a signed 32-bit number, read as hexadecimal: a text without "$" gets one put in front,
// then optional leading blanks, an optional sign, "$" and one or more hexadecimal digits, nothing
// else. Anything unreadable, or a value beyond 32 bits, gives 0; 80000000..FFFFFFFF come out
// negative.
int32_t HexTextToInt(const std::string& text);

}  // namespace orvix
