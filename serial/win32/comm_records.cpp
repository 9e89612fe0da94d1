#include "serial/win32/comm_records.h"

namespace orvix {
namespace {

static_assert(sizeof(DCB) == 28, "TLineSettings::DCBlength assumes the 28-byte DCB");

DWORD Bit(uint32_t flags, uint32_t bit) {
  return (flags & bit) != 0 ? 1 : 0;
}

}  // namespace

DCB ToDcb(const TLineSettings& s) {
  DCB d{};
  d.DCBlength = s.DCBlength;
  d.BaudRate = s.BaudRate;
  d.fBinary = Bit(s.Flags, dcb::fBinary);
  d.fParity = Bit(s.Flags, dcb::fParity);
  d.fOutxCtsFlow = Bit(s.Flags, dcb::fOutxCtsFlow);
  d.fOutxDsrFlow = Bit(s.Flags, dcb::fOutxDsrFlow);
  d.fDtrControl = (s.Flags & dcb::fDtrControlMask) >> dcb::kDtrControlShift;
  d.fDsrSensitivity = Bit(s.Flags, dcb::fDsrSensitivity);
  d.fTXContinueOnXoff = Bit(s.Flags, dcb::fTXContinueOnXoff);
  d.fOutX = Bit(s.Flags, dcb::fOutX);
  d.fInX = Bit(s.Flags, dcb::fInX);
  d.fErrorChar = Bit(s.Flags, dcb::fErrorChar);
  d.fNull = Bit(s.Flags, dcb::fNull);
  d.fRtsControl = (s.Flags & dcb::fRtsControlMask) >> dcb::kRtsControlShift;
  d.fAbortOnError = Bit(s.Flags, dcb::fAbortOnError);
  d.fDummy2 = 0;
  d.wReserved = s.wReserved;
  d.XonLim = s.XonLim;
  d.XoffLim = s.XoffLim;
  d.ByteSize = s.ByteSize;
  d.Parity = s.Parity;
  d.StopBits = s.StopBits;
  d.XonChar = static_cast<char>(s.XonChar);
  d.XoffChar = static_cast<char>(s.XoffChar);
  d.ErrorChar = static_cast<char>(s.ErrorChar);
  d.EofChar = static_cast<char>(s.EofChar);
  d.EvtChar = static_cast<char>(s.EvtChar);
  d.wReserved1 = s.wReserved1;
  return d;
}

COMMTIMEOUTS ToCommTimeouts(const TTimeoutRecord& t) {
  COMMTIMEOUTS c{};
  c.ReadIntervalTimeout = t.ReadIntervalTimeout;
  c.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
  c.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
  c.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
  c.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
  return c;
}

}  // namespace orvix
