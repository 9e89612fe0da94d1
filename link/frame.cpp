#include "link/frame.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace orvix {

RSPacket MakePacket(uint8_t device, uint8_t command, uint16_t address, std::vector<uint8_t> data) {
  if (data.size() > static_cast<size_t>(kMaxFrameData))
    throw std::length_error("a frame carries at most " + std::to_string(kMaxFrameData) +
                            " data bytes, not " + std::to_string(data.size()));
  const auto length = static_cast<uint8_t>(kLengthOverData + data.size());
  return RSPacket{length, device, command, address, std::move(data)};
}

std::vector<uint8_t> EncodePacket(const RSPacket& packet) {
  const int length = packet.Length;
  std::vector<uint8_t> frame(length + 2, 0);
  frame[0] = kFrameSync;
  frame[1] = packet.Length;
  frame[2] = packet.Device;
  frame[3] = packet.Command;
  frame[4] = static_cast<uint8_t>(packet.Address & 0xFF);
  frame[5] = static_cast<uint8_t>(packet.Address >> 8);
  const int payload = std::max(length - kLengthOverData, 0);
  const int copied = std::min<int>(payload, static_cast<int>(packet.Data.size()));
  std::copy_n(packet.Data.begin(), copied, frame.begin() + kFrameHeaderSize);
  uint8_t sum = 0;
  for (int i = 2; i <= length; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  frame[length + 1] = sum;
  return frame;
}

RSPacket DecodePacket(const uint8_t* frame, int count) {
  auto at = [&](int i) -> uint8_t { return i < count ? frame[i] : 0; };
  RSPacket packet;
  packet.Length = at(1);
  packet.Device = at(2);
  packet.Command = at(3);
  packet.Address = static_cast<uint16_t>(at(4) | (at(5) << 8));
  if (packet.Length >= 8) {
    packet.Data.resize(packet.Length - kLengthOverData);
    for (int i = 0; i < packet.Length - kLengthOverData; ++i)
      packet.Data[i] = at(kFrameHeaderSize + i);
  }
  return packet;
}

bool CheckFrame(const uint8_t* frame, int count) {
  if (count < 1) return false;
  uint8_t sum = 0;
  for (int i = 2; i <= count - 2; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  return sum == frame[count - 1];
}

}  // namespace orvix
