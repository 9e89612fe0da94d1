#include <cstdio>

#include "link/frame.h"

int main() {
  using namespace orvix;
  const RSPacket packets[] = {
      {6, 5, cmdPing, 0, {0x00}},
      {7, 5, cmdChecksum, 0, {0x34, 0x12}},
  };
  for (const auto& p : packets) {
    auto frame = EncodePacket(p);
    std::printf("command %d device %d:", p.Command, p.Device);
    for (auto b : frame) std::printf(" %02X", b);
    std::printf("  checksum %s\n",
                CheckFrame(frame.data(), static_cast<int>(frame.size())) ? "ok" : "BAD");
  }
  return 0;
}
