// Opening the simulator's end of the line: a new pseudo-terminal pair or an existing terminal.
// Failures throw std::system_error naming the device and the cause.
#pragma once

#include <string>

namespace orvix::devsim {

struct PseudoTerminal {
  int master = -1;  // the simulator's end, non-blocking
  int slave = -1;   // kept open by the simulator, in raw mode
  std::string slave_path;
};

PseudoTerminal OpenPseudoTerminal();

// Opens a terminal device non-blocking and, when it is a terminal, puts it in raw mode at the
// given rate (a rate the system has no constant for leaves 57600).
int OpenLine(const std::string& path, int baud);

// The rate a terminal is set to; 0 when it cannot be read or has no constant. Both ends of a
// pseudo-terminal share one setting, so the master shows the rate the programmer chose.
int LineRate(int fd);

}  // namespace orvix::devsim
