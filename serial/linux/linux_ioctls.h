// The Linux tty ioctls that termios does not cover. They live apart because termios2 comes from
// the kernel headers, which clash with <termios.h>. Each returns 0 or the errno of the call.
#pragma once

#include <cstdint>

namespace orvix::linux_tty {

int SetExclusive(int fd, bool on);  // TIOCEXCL / TIOCNXCL
// Any bit rate, through termios2 and BOTHER; the rest of the termios stays as it is.
int SetCustomBaudRate(int fd, uint32_t rate);
// Asks the driver to pass received bytes on at once (FTDI-style adapters otherwise hold them
// back for their latency timer).
int RequestLowLatency(int fd);

enum TModemLine : int { lineDTR, lineRTS };
// TIOCMGET into drv::kMs bits.
int GetModemStatus(int fd, uint32_t& status);
int SetModemLine(int fd, TModemLine line, bool on);
// Whether an error from the modem-line calls only means "this device has no modem lines".
bool MeansNoModemLines(int error);

struct TLineCounters {
  uint32_t Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufferOverrun = 0;
  uint32_t CTS = 0, DSR = 0, RLSD = 0, Ring = 0;
};
int GetLineCounters(int fd, TLineCounters& counters);  // TIOCGICOUNT
int OutputQueueCount(int fd, int& count);              // TIOCOUTQ

}  // namespace orvix::linux_tty
