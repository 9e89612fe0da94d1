// SHA-256 of a file's bytes, for the JSON start line: a production line records which image it
// wrote. Written here because Debian packages no crypto library for the MinGW-w64 cross build,
// and one digest of a file of at most a few MiB needs no speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvix {

// Lower-case hexadecimal, 64 digits.
std::string Sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace orvix
