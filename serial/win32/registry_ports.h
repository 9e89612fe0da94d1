// Port names from the registry's serial device map.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace orvix {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The data of every value under root\subkey, in the registry's order. Raises ESerialPort code
// 23 with the registry's result when the key cannot be opened or a value cannot be read with a
// 256-character name and 256 bytes of data.
std::vector<std::string> RegistryPortNames(HKEY root, const char* subkey);

}  // namespace orvix
