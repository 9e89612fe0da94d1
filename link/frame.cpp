#include "link/frame.h"

#include <algorithm>

namespace orvix {

std::vector<uint8_t> EncodePacket(const RSPacket& packet) {
  const int length = packet.Length;
  std::vector<uint8_t> frame(length + 2, 0);
  frame[0] = kFrameSync;
  frame[1] = packet.Length;
  frame[2] = packet.Device;
  frame[3] = packet.Command;
  frame[4] = static_cast<uint8_t>(packet.Address & 0xFF);
  frame[5] = static_cast<uint8_t>(packet.Address >> 8);
  const int payload = std::max(length - 5, 0);
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
    packet.Data.resize(packet.Length - 5);
    for (int i = 0; i < packet.Length - 5; ++i) packet.Data[i] = at(kFrameHeaderSize + i);
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
