#include <gtest/gtest.h>

#include "channel/com_ping.h"
#include "serial/serial_error.h"
#include "serial/serial_port.h"
#include "serial/serial_settings.h"

namespace orvix {
namespace {

TEST(ComSettings, NewPortReadsTheDefaults) {
  TSerialPort port;
  EXPECT_EQ(port.Port(), "COM1");
  EXPECT_EQ(port.BaudRate(), br9600);
  EXPECT_EQ(port.CustomBaudRate(), 9600);
  EXPECT_EQ(port.DataBits(), dbEight);
  EXPECT_EQ(port.StopBits(), sbOneStopBit);
  EXPECT_EQ(port.Parity().Bits(), prNone);
  EXPECT_EQ(port.Events(), TComEvents::All());
  EXPECT_EQ(port.Events().Bits(), 0x3FF);
  EXPECT_EQ(port.SyncMethod(), smThreadSync);
  EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
  EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
  EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
  EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
  EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
  EXPECT_EQ(port.Buffer().InputSize(), 1024);
  EXPECT_EQ(port.Buffer().OutputSize(), 1024);
  EXPECT_EQ(port.FlowControl().XonChar(), 17);
  EXPECT_EQ(port.FlowControl().XoffChar(), 19);
  EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
  EXPECT_FALSE(port.Connected());
}

TEST(ComSettings, PositiveOddBufferSizesAreStoredOneLess) {
  TComBuffer buffer;
  buffer.SetInputSize(1025);
  EXPECT_EQ(buffer.InputSize(), 1024);
  buffer.SetOutputSize(1);
  EXPECT_EQ(buffer.OutputSize(), 0);
  buffer.SetInputSize(-3);
  EXPECT_EQ(buffer.InputSize(), -3);
  buffer.SetOutputSize(4096);
  EXPECT_EQ(buffer.OutputSize(), 4096);
}

TEST(ComSettings, CompositeFlowControlReadsAndWrites) {
  TSerialPort port;
  ConfigureForDiscovery(port);
  auto& flow = port.FlowControl();
  // RTS held on is no handshake of any named kind.
  EXPECT_EQ(flow.FlowControl(), fcCustom);
  flow.SetFlowControl(fcNone);
  EXPECT_EQ(flow.ControlRTS(), rtsDisable);
  EXPECT_EQ(flow.FlowControl(), fcNone);
  EXPECT_EQ(flow.ControlDTR(), dtrEnable);  // DTR takes no part

  flow.SetFlowControl(fcHardware);
  EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
  EXPECT_TRUE(flow.OutCTSFlow());
  EXPECT_EQ(flow.FlowControl(), fcHardware);

  flow.SetFlowControl(fcSoftware);
  EXPECT_EQ(flow.ControlRTS(), rtsDisable);
  EXPECT_FALSE(flow.OutCTSFlow());
  EXPECT_TRUE(flow.XonXoffIn() && flow.XonXoffOut());
  EXPECT_EQ(flow.FlowControl(), fcSoftware);

  flow.SetFlowControl(fcCustom);  // changes nothing
  EXPECT_EQ(flow.FlowControl(), fcSoftware);
  flow.SetXonXoffIn(false);  // one Xon/Xoff direction alone is a custom mix
  EXPECT_EQ(flow.FlowControl(), fcCustom);
}

TEST(ComSettings, ParityErrorsCountOnlyWhenChecked) {
  const uint32_t flags = drv::kCeRxParity | drv::kCeFrame | drv::kCeRxOver;
  EXPECT_EQ(ErrorsOfFlags(flags, true), (TComErrors{ceRxParity, ceFrame, ceRxOver}));
  EXPECT_EQ(ErrorsOfFlags(flags, false), (TComErrors{ceFrame, ceRxOver}));
}

TEST(LineRecord, DiscoverySettingsGiveNoHandshakeWithDtrAndRtsOn) {
  TSerialPort port;
  ConfigureForDiscovery(port);
  const auto r = port.LineSettings();
  EXPECT_EQ(r.DCBlength, 28u);
  EXPECT_EQ(r.BaudRate, 57600u);
  EXPECT_EQ(r.Flags, 0x1011u);
  EXPECT_EQ(r.XonLim, 256);
  EXPECT_EQ(r.XoffLim, 256);
  EXPECT_EQ(r.ByteSize, 8);
  EXPECT_EQ(r.Parity, 0);
  EXPECT_EQ(r.StopBits, 0);
  EXPECT_EQ(r.XonChar, 0x11);
  EXPECT_EQ(r.XoffChar, 0x13);
  EXPECT_EQ(r.EvtChar, 0);
  EXPECT_EQ(r.ErrorChar, 0);
  EXPECT_EQ(r.EofChar, 0);
}

TEST(LineRecord, CustomRateCountsOnlyForBrCustom) {
  TSerialPort port;
  port.SetCustomBaudRate(250000);
  EXPECT_EQ(port.LineSettings().BaudRate, 9600u);
  port.SetBaudRate(brCustom);
  EXPECT_EQ(port.LineSettings().BaudRate, 250000u);
  port.SetBaudRate(br256000);
  EXPECT_EQ(port.LineSettings().BaudRate, 256000u);
  port.SetBaudRate(br110);
  EXPECT_EQ(port.LineSettings().BaudRate, 110u);
}

TEST(LineRecord, ReplaceCharNeedsParityCheck) {
  TSerialPort port;
  port.Parity().SetReplace(true);
  port.Parity().SetReplaceChar('?');
  auto r = port.LineSettings();
  EXPECT_EQ(r.Flags & (dcb::fParity | dcb::fErrorChar), 0u);
  EXPECT_EQ(r.ErrorChar, 0);

  port.Parity().SetCheck(true);
  r = port.LineSettings();
  EXPECT_EQ(r.Flags & (dcb::fParity | dcb::fErrorChar), dcb::fParity | dcb::fErrorChar);
  EXPECT_EQ(r.ErrorChar, '?');
}

TEST(TimeoutRecord, MinusOneReachesThePlatformAsMaxDword) {
  TSerialPort port;
  EXPECT_EQ(port.TimeoutRecord(), (TTimeoutRecord{0xFFFFFFFFu, 0, 0, 100, 1000}));
  ConfigureForDiscovery(port);
  EXPECT_EQ(port.TimeoutRecord(), (TTimeoutRecord{0, 0, 0, 50, 1000}));
}

TEST(SerialError, MessagesCarryThePlatformCodeOnlyWhenThereIsOne) {
  EXPECT_EQ(std::string(ESerialPort(1, 2).what()),
            "Unable to open com port (" + SystemErrorText(2) + ")");
  const ESerialPort bare(14);
  EXPECT_STREQ(bare.what(), "Cannot set property while connected");
  EXPECT_EQ(bare.SystemCode(), -1);
  EXPECT_STREQ(ESerialPort(23, -1, "bad entry").what(), "Registry error: bad entry");
}

}  // namespace
}  // namespace orvix
