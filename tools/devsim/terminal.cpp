#include "tools/devsim/terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "runtime/text.h"

namespace orvix::devsim {

namespace {

// what: a text of the "devsim" context, %1 the path where it has one; the system's words follow.
[[noreturn]] void Fail(int error, const char* what, const std::string& path = {}) {
  throw ETextError({"devsim", what, {path}, ": " + std::string(std::strerror(error))});
}

constexpr std::pair<int, speed_t> kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

speed_t SpeedConstant(int baud) {
  for (const auto& [rate, speed] : kSpeeds)
    if (rate == baud) return speed;
  return B57600;
}

// Without this the slave's line discipline echoes, translates CR/LF and swallows XON/XOFF, and
// the programmer would see mangled frames until it sets the port up itself.
void MakeRaw(int fd, const std::string& path, int baud) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0)
    Fail(errno, ORVIX_TEXT("devsim", "cannot read the settings of %1"), path);
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~CRTSCTS;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, SpeedConstant(baud));
  cfsetospeed(&tio, SpeedConstant(baud));
  if (tcsetattr(fd, TCSANOW, &tio) != 0)
    Fail(errno, ORVIX_TEXT("devsim", "cannot set raw mode on %1"), path);
}

}  // namespace

PseudoTerminal OpenPseudoTerminal() {
  PseudoTerminal pty;
  pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.master < 0) Fail(errno, ORVIX_TEXT("devsim", "cannot open a pseudo-terminal"));
  try {
    char name[128];
    if (grantpt(pty.master) != 0)
      Fail(errno, ORVIX_TEXT("devsim", "grantpt on a new pseudo-terminal failed"));
    if (unlockpt(pty.master) != 0)
      Fail(errno, ORVIX_TEXT("devsim", "unlockpt on a new pseudo-terminal failed"));
    if (const int error = ptsname_r(pty.master, name, sizeof name); error != 0) {
      Fail(error, ORVIX_TEXT("devsim", "cannot name the slave of a new pseudo-terminal"));
    }
    pty.slave_path = name;
    // Held open for the simulator's lifetime: with no slave open the master reports a hang-up
    // on every poll, and the programmer may close and reopen the port between runs.
    pty.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave < 0) Fail(errno, ORVIX_TEXT("devsim", "cannot open %1"), pty.slave_path);
    MakeRaw(pty.slave, pty.slave_path, 57600);
    const int flags = fcntl(pty.master, F_GETFL);
    if (flags < 0 || fcntl(pty.master, F_SETFL, flags | O_NONBLOCK) != 0) {
      Fail(errno, ORVIX_TEXT("devsim", "cannot make the master of %1 non-blocking"),
           pty.slave_path);
    }
  } catch (...) {
    if (pty.slave >= 0) close(pty.slave);
    close(pty.master);
    throw;
  }
  return pty;
}

int OpenLine(const std::string& path, int baud) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail(errno, ORVIX_TEXT("devsim", "cannot open %1"), path);
  try {
    if (isatty(fd)) MakeRaw(fd, path, baud);
  } catch (...) {
    close(fd);
    throw;
  }
  return fd;
}

int LineRate(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return 0;
  const speed_t speed = cfgetospeed(&tio);
  for (const auto& [rate, constant] : kSpeeds)
    if (constant == speed) return rate;
  return 0;
}

}  // namespace orvix::devsim
