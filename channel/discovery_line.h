// How discovery sets up each port before its first ping: the bit rate, and a reset pulse on a
// modem line for boards whose boot loader only listens straight after a reset.
#pragma once

#include <cstdint>

namespace orvix {

// The system's rate: the window always runs at it.
constexpr uint32_t kDiscoveryBaudRate = 57600;
constexpr int kDefaultResetMs = 100;

enum class TResetLine { rlNone, rlDtr, rlRts };

struct TDiscoveryLine {
  uint32_t BaudRate = kDiscoveryBaudRate;
  TResetLine Reset = TResetLine::rlNone;
  int ResetMs = kDefaultResetMs;  // how long the line is held off
};

}  // namespace orvix
