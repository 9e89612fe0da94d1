#include "serial/linux/termios_settings.h"

#include <utility>

namespace orvix {

speed_t StandardSpeed(uint32_t rate) {
  static constexpr std::pair<uint32_t, speed_t> kSpeeds[] = {
      {50, B50},           {75, B75},          {110, B110},         {134, B134},
      {150, B150},         {200, B200},        {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},      {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},    {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},  {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},  {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}};
  for (const auto& [value, speed] : kSpeeds)
    if (value == rate) return speed;
  return 0;
}

namespace {

tcflag_t CharacterSize(uint8_t byte_size) {
  switch (byte_size) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlags(uint8_t parity) {
  switch (static_cast<TParityBits>(parity)) {
    case prOdd:
      return PARENB | PARODD;
    case prEven:
      return PARENB;
    // Stick parity: CMSPAR turns odd/even into a bit that is always 1 (mark) or 0 (space).
    case prMark:
      return PARENB | CMSPAR | PARODD;
    case prSpace:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

}  // namespace

void ApplyLineSettingsTo(termios& t, const TLineSettings& s) {
  t.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                             IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL | IUTF8);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE |
                                      ICANON | ISIG | IEXTEN | TOSTOP | XCASE);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // CLOCAL: the port must open and work without carrier, as a Windows port does.
  t.c_cflag |= CREAD | CLOCAL | CharacterSize(s.ByteSize) | ParityFlags(s.Parity);

  // Both 1.5 and 2 stop bits are CSTOPB: the UART picks 1.5 itself for 5-bit characters.
  if (s.StopBits != 0) t.c_cflag |= CSTOPB;
  if (s.Flags & dcb::fParity) t.c_iflag |= INPCK;
  // termios has one switch for both RTS/CTS directions.
  const uint32_t rts = (s.Flags & dcb::fRtsControlMask) >> dcb::kRtsControlShift;
  if ((s.Flags & dcb::fOutxCtsFlow) || rts == rtsHandshake) t.c_cflag |= CRTSCTS;
  if (s.Flags & dcb::fOutX) t.c_iflag |= IXON;
  if (s.Flags & dcb::fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = s.XonChar;
  t.c_cc[VSTOP] = s.XoffChar;
  // Reads are non-blocking and woken by poll(); VMIN 1 makes an empty read say EAGAIN, keeping
  // a zero-byte read for a hang-up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace orvix
