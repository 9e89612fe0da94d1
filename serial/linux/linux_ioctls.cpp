#include "serial/linux/linux_ioctls.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "serial/serial_settings.h"

namespace orvix::linux_tty {
namespace {

int Result(int rc) {
  return rc == 0 ? 0 : errno;
}

}  // namespace

int SetExclusive(int fd, bool on) {
  return Result(ioctl(fd, on ? TIOCEXCL : TIOCNXCL));
}

int SetCustomBaudRate(int fd, uint32_t rate) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  return Result(ioctl(fd, TCSETS2, &t));
}

int RequestLowLatency(int fd) {
  serial_struct s{};
  if (ioctl(fd, TIOCGSERIAL, &s) != 0) return errno;
  if (s.flags & ASYNC_LOW_LATENCY) return 0;
  s.flags |= ASYNC_LOW_LATENCY;
  return Result(ioctl(fd, TIOCSSERIAL, &s));
}

int GetModemStatus(int fd, uint32_t& status) {
  int lines = 0;
  status = 0;
  if (ioctl(fd, TIOCMGET, &lines) != 0) return errno;
  if (lines & TIOCM_CTS) status |= drv::kMsCtsOn;
  if (lines & TIOCM_DSR) status |= drv::kMsDsrOn;
  if (lines & TIOCM_RI) status |= drv::kMsRingOn;
  if (lines & TIOCM_CD) status |= drv::kMsRlsdOn;
  return 0;
}

int SetModemLine(int fd, TModemLine line, bool on) {
  int bits = line == lineDTR ? TIOCM_DTR : TIOCM_RTS;
  return Result(ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits));
}

bool MeansNoModemLines(int error) {
  return error == ENOTTY || error == EINVAL;
}

int GetLineCounters(int fd, TLineCounters& counters) {
  serial_icounter_struct c{};
  if (ioctl(fd, TIOCGICOUNT, &c) != 0) return errno;
  counters.Frame = static_cast<uint32_t>(c.frame);
  counters.Overrun = static_cast<uint32_t>(c.overrun);
  counters.Parity = static_cast<uint32_t>(c.parity);
  counters.Break = static_cast<uint32_t>(c.brk);
  counters.BufferOverrun = static_cast<uint32_t>(c.buf_overrun);
  counters.CTS = static_cast<uint32_t>(c.cts);
  counters.DSR = static_cast<uint32_t>(c.dsr);
  counters.RLSD = static_cast<uint32_t>(c.dcd);
  counters.Ring = static_cast<uint32_t>(c.rng);
  return 0;
}

int OutputQueueCount(int fd, int& count) {
  count = 0;
  return Result(ioctl(fd, TIOCOUTQ, &count));
}

}  // namespace orvix::linux_tty
