// The line-settings record handed to SetCommState, checked against the platform's own DCB.
#include "serial/win32/comm_records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "channel/com_ping.h"
#include "serial/serial_port.h"

namespace orvix {
namespace {

// The DCB's bit fields sit in the 32-bit word after BaudRate.
uint32_t FlagWord(const DCB& dcb) {
  uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const char*>(&dcb) + 2 * sizeof(DWORD), sizeof word);
  return word;
}

TEST(Win32Records, DiscoverySettingsGiveAPlainLineWithDtrAndRtsOn) {
  TSerialPort port;
  ConfigureForDiscovery(port);
  const DCB dcb = ToDcb(port.LineSettings());
  EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
  EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(CBR_57600));
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
  // No handshake of any kind: Xon/Xoff left on would stall on 0x11/0x13 in the data.
  EXPECT_EQ(dcb.fOutX | dcb.fInX | dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fDsrSensitivity, 0u);
  EXPECT_EQ(dcb.fParity | dcb.fErrorChar | dcb.fNull | dcb.fAbortOnError, 0u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_EQ(dcb.XonLim, 256);
  EXPECT_EQ(dcb.XoffLim, 256);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(FlagWord(dcb), 0x1011u);
}

TEST(Win32Records, EveryFlagBitLandsInTheDcbFieldOfTheSameValue) {
  for (int bit = 0; bit < 15; ++bit) {
    TLineSettings settings;
    settings.Flags = 1u << bit;
    EXPECT_EQ(FlagWord(ToDcb(settings)), settings.Flags) << "bit " << bit;
  }
  // The two-bit fields take every value.
  TLineSettings settings;
  settings.Flags = dcb::fDtrControlMask | dcb::fRtsControlMask;
  const DCB both = ToDcb(settings);
  EXPECT_EQ(both.fDtrControl, 3u);
  EXPECT_EQ(both.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
}

TEST(Win32Records, EveryOtherFieldIsCopiedToItsPlace) {
  // Each byte a different value: a field put in the wrong place, or left out, shows.
  TLineSettings s;
  s.BaudRate = 0x01020304;
  s.Flags = 0x7FFF;
  s.wReserved = 0x0506;
  s.XonLim = 0x0708;
  s.XoffLim = 0x090A;
  s.ByteSize = 7;
  s.Parity = 4;
  s.StopBits = 2;
  s.XonChar = 0x0B;
  s.XoffChar = 0x0C;
  s.ErrorChar = 0x0D;
  s.EofChar = 0x0E;
  s.EvtChar = 0x0F;
  s.wReserved1 = 0x1011;
  const DCB dcb = ToDcb(s);
  static_assert(sizeof(TLineSettings) == sizeof(DCB));
  EXPECT_EQ(std::memcmp(&dcb, &s, sizeof dcb), 0);
}

}  // namespace
}  // namespace orvix
