// The wire frame: D1, L, device, command, address (low, high), L - 5 data bytes, checksum.
#pragma once

#include <cstdint>
#include <vector>

namespace orvix {

constexpr uint8_t kFrameSync = 0xD1;
constexpr int kMinFrameSize = 7;    // L = 5, no data
constexpr int kMaxFrameSize = 257;  // L = 255
constexpr int kFrameHeaderSize = 6;
// Length counts the device number, command and address besides the data.
constexpr int kLengthOverData = 4 + 1;
constexpr int kMaxFrameData = 255 - kLengthOverData;

// The image goes out in blocks of this many data bytes, the last one filled up.
constexpr int kBlockDataSize = 128;

constexpr uint8_t cmdPing = 1;
constexpr uint8_t cmdWriteBlock = 2;
constexpr uint8_t cmdChecksum = 3;

struct RSPacket {
  uint8_t Length = 5;
  uint8_t Device = 0;
  uint8_t Command = 0;
  uint16_t Address = 0;
  // The Length - 5 payload bytes; empty stands for "no data".
  std::vector<uint8_t> Data;
};

// A packet whose Length is that of the data it carries: the 5 bytes from the device number to the
// address, plus the data. More data than a frame holds (250 bytes) throws std::length_error.
RSPacket MakePacket(uint8_t device, uint8_t command, uint16_t address,
                    std::vector<uint8_t> data = {});

// The frame bytes of a packet, Length + 2 of them. Payload bytes the packet does not hold are 0.
std::vector<uint8_t> EncodePacket(const RSPacket& packet);

// The packet of a received frame. Never reads past `count`: header fields the frame is too short
// to hold decode as 0, and so do payload bytes it lacks. Data is present only when Length >= 8.
RSPacket DecodePacket(const uint8_t* frame, int count);

// Whether the last byte of the frame is the sum of the bytes from index 2 to count - 2.
bool CheckFrame(const uint8_t* frame, int count);

}  // namespace orvix
