// Data bits, parity and flow control cannot be seen over a pseudo-terminal (the kernel forces
// 8N1 there), so the termios value the port builds is checked directly.
#include "serial/linux/termios_settings.h"

#include <gtest/gtest.h>

#include "channel/com_ping.h"
#include "serial/serial_port.h"


namespace orvix {
namespace {

termios Translate(const TCustomSerialPort& port) {
  termios t{};
  // A cooked terminal to start from, as a fresh tty is.
  t.c_iflag = ICRNL | IXON | IXANY | IMAXBEL;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ECHO | ICANON | ISIG | IEXTEN | ECHOE | ECHOK;
  t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
  ApplyLineSettingsTo(t, port.LineSettings());
  return t;
}

TEST(TermiosTranslation, DiscoverySettingsGiveRaw8N1WithoutFlowControl) {
  TSerialPort port;
  ConfigureForDiscovery(port);
  const termios t = Translate(port);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | CMSPAR), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(StandardSpeed(port.LineSettings().BaudRate), static_cast<speed_t>(B57600));
}

TEST(TermiosTranslation, FramingAndParity) {
  TSerialPort port;
  port.SetDataBits(dbSeven);
  port.SetStopBits(sbTwoStopBits);
  port.Parity().SetBits(prOdd);
  port.Parity().SetCheck(true);
  termios t = Translate(port);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
  EXPECT_NE(t.c_iflag & INPCK, 0u);

  const std::pair<TParityBits, tcflag_t> cases[] = {{prNone, 0},
                                                    {prEven, PARENB},
                                                    {prMark, PARENB | CMSPAR | PARODD},
                                                    {prSpace, PARENB | CMSPAR}};
  for (auto [bits, flags] : cases) {
    port.Parity().SetBits(bits);
    t = Translate(port);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), flags) << bits;
  }
  port.SetDataBits(dbFive);
  port.SetStopBits(sbOne5StopBits);
  t = Translate(port);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
}

TEST(TermiosTranslation, FlowControlOnlyWhenAskedFor) {
  TSerialPort port;
  port.FlowControl().SetFlowControl(fcSoftware);
  port.FlowControl().SetXonChar(0x01);
  port.FlowControl().SetXoffChar(0x02);
  termios t = Translate(port);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cc[VSTART], 0x01);
  EXPECT_EQ(t.c_cc[VSTOP], 0x02);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);

  port.FlowControl().SetFlowControl(fcHardware);
  t = Translate(port);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
}

}  // namespace
}  // namespace orvix
