// What discovery sets on a port before it opens it, for tests on any platform.
#pragma once

#include "serial/serial_port.h"

namespace orvix::test {

inline void ConfigureLikeDiscovery(TCustomSerialPort& port) {
  port.SetBaudRate(br57600);
  port.SetDataBits(dbEight);
  port.SetEvents({evRxChar});
  port.FlowControl().SetControlDTR(dtrEnable);
  port.FlowControl().SetControlRTS(rtsEnable);
  port.FlowControl().SetOutCTSFlow(false);
  port.FlowControl().SetOutDSRFlow(false);
  port.FlowControl().SetXonXoffIn(false);
  port.FlowControl().SetXonXoffOut(false);
  port.Parity().SetBits(prNone);
  port.SetStopBits(sbOneStopBit);
  port.Timeouts().SetReadInterval(0);
  port.Timeouts().SetWriteTotalMultiplier(50);
}

}  // namespace orvix::test
