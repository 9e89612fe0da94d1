// Intel HEX and S-record lines with their checksums, for tests that write record files by hand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvix::testing {

inline std::string HexPairs(const std::vector<uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text;
}

// One Intel HEX record: ":LLAAAATT", the data, and the byte that makes them sum to 0.
inline std::string IntelHexLine(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(offset >> 8),
                             static_cast<uint8_t>(offset), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(0x100 - sum));
  return ":" + HexPairs(bytes);
}

inline const std::string kIntelHexEnd = ":00000001FF";

// One S-record; the address takes as many bytes as the type has (S4, reserved, gets 2).
inline std::string SRecordLine(int type, uint32_t address, const std::vector<uint8_t>& data) {
  static constexpr int kAddressSize[10] = {2, 2, 3, 4, 2, 2, 3, 4, 3, 2};
  std::vector<uint8_t> bytes{0};
  for (int i = kAddressSize[type] - 1; i >= 0; --i)
    bytes.push_back(static_cast<uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  bytes[0] = static_cast<uint8_t>(bytes.size());  // address, data and checksum
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(~sum));
  return "S" + std::to_string(type) + HexPairs(bytes);
}

}  // namespace orvix::testing
