// Frames as the programmer and the device put them on the line, for the tests that play one side.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "link/frame.h"

namespace orvix::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes Frame(uint8_t device, uint8_t command, uint16_t address, Bytes data = {}) {
  return EncodePacket(MakePacket(device, command, address, std::move(data)));
}
inline Bytes Ping(uint8_t device) {
  return Frame(device, cmdPing, 0, {0x00});
}
inline Bytes Answer(uint8_t device, uint8_t command, uint16_t address = 0) {
  return Frame(device, command, address);
}
// The block at `address` of `image`, filled up with 0xFF past the image's end.
inline Bytes Block(uint8_t device, uint16_t address, const Bytes& image) {
  Bytes data(128, 0xFF);
  for (size_t i = 0; i < 128 && address + i < image.size(); ++i) data[i] = image[address + i];
  return Frame(device, cmdWriteBlock, address, data);
}
inline Bytes Checksum(uint8_t device, uint16_t sum) {
  return Frame(device, cmdChecksum, 0, {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8)});
}
inline uint16_t Sum(const Bytes& image) {
  uint16_t sum = 0;
  for (uint8_t b : image) sum = static_cast<uint16_t>(sum + b);
  return sum;
}
inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

}  // namespace orvix::testing
