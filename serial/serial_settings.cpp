#include "serial/serial_settings.h"

#include <array>

#include "serial/serial_port.h"

namespace orvix {

void TComTimeouts::Set(int32_t& field, int32_t value) {
  if (field == value) return;
  field = value;
  Changed();
}

void TComTimeouts::Changed() {
  if (port_) port_->ApplyTimeoutSettings();
}

void TComTimeouts::Assign(const TComTimeouts& source) {
  read_interval_ = source.read_interval_;
  read_total_multiplier_ = source.read_total_multiplier_;
  read_total_constant_ = source.read_total_constant_;
  write_total_multiplier_ = source.write_total_multiplier_;
  write_total_constant_ = source.write_total_constant_;
  Changed();
}

void TComFlowControl::Changed() {
  if (port_) port_->ApplyLineSettings();
}

void TComFlowControl::Assign(const TComFlowControl& source) {
  out_cts_flow_ = source.out_cts_flow_;
  out_dsr_flow_ = source.out_dsr_flow_;
  control_dtr_ = source.control_dtr_;
  control_rts_ = source.control_rts_;
  xon_xoff_out_ = source.xon_xoff_out_;
  xon_xoff_in_ = source.xon_xoff_in_;
  dsr_sensitivity_ = source.dsr_sensitivity_;
  tx_continue_on_xoff_ = source.tx_continue_on_xoff_;
  xon_char_ = source.xon_char_;
  xoff_char_ = source.xoff_char_;
  Changed();
}

TFlowControl TComFlowControl::FlowControl() const {
  const bool xon_xoff_off = !xon_xoff_in_ && !xon_xoff_out_;
  if (control_rts_ == rtsHandshake && out_cts_flow_ && xon_xoff_off) return fcHardware;
  if (control_rts_ == rtsDisable && !out_cts_flow_ && xon_xoff_in_ && xon_xoff_out_)
    return fcSoftware;
  if (control_rts_ == rtsDisable && !out_cts_flow_ && xon_xoff_off) return fcNone;
  return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
  if (value != fcCustom) {
    control_rts_ = rtsDisable;
    out_cts_flow_ = false;
    xon_xoff_in_ = false;
    xon_xoff_out_ = false;
    if (value == fcHardware) {
      control_rts_ = rtsHandshake;
      out_cts_flow_ = true;
    } else if (value == fcSoftware) {
      xon_xoff_in_ = true;
      xon_xoff_out_ = true;
    }
  }
  Changed();
}

void TComParity::Changed() {
  if (port_) port_->ApplyLineSettings();
}

void TComParity::Assign(const TComParity& source) {
  bits_ = source.bits_;
  check_ = source.check_;
  replace_ = source.replace_;
  replace_char_ = source.replace_char_;
  Changed();
}

void TComBuffer::Set(int32_t& field, int32_t value) {
  if (value > 0 && value % 2 == 1) --value;
  if (field == value) return;
  field = value;
  Changed();
}

void TComBuffer::Changed() {
  if (port_) port_->ApplyBufferSizes();
}

void TComBuffer::Assign(const TComBuffer& source) {
  input_size_ = source.input_size_;
  output_size_ = source.output_size_;
  Changed();
}

namespace {

constexpr std::array<uint32_t, 19> kRates = {
    0,     110,   300,   600,   1200,   2400,   4800,   9600,   14400,  19200,
    38400, 56000, 57600, 115200, 128000, 256000, 230400, 460800, 921600};

}  // namespace

uint32_t BaudRateValue(TBaudRate rate, int32_t custom_rate) {
  if (rate == brCustom) return static_cast<uint32_t>(custom_rate);
  return kRates.at(static_cast<size_t>(rate));
}

TBaudRate BaudRateOf(uint32_t rate) {
  for (size_t i = 1; i < kRates.size(); ++i)
    if (kRates[i] == rate) return static_cast<TBaudRate>(i);
  return brCustom;
}

TLineSettings BuildLineSettings(const TLineOptions& options, const TComParity& parity,
                                const TComFlowControl& flow, const TComBuffer& buffer) {
  TLineSettings r;
  r.BaudRate = BaudRateValue(options.BaudRate, options.CustomBaudRate);

  uint32_t f = dcb::fBinary;
  if (parity.Check()) f |= dcb::fParity;
  if (flow.OutCTSFlow()) f |= dcb::fOutxCtsFlow;
  if (flow.OutDSRFlow()) f |= dcb::fOutxDsrFlow;
  f |= static_cast<uint32_t>(flow.ControlDTR()) << dcb::kDtrControlShift;
  if (flow.DSRSensitivity()) f |= dcb::fDsrSensitivity;
  if (flow.TxContinueOnXoff()) f |= dcb::fTXContinueOnXoff;
  if (flow.XonXoffOut()) f |= dcb::fOutX;
  if (flow.XonXoffIn()) f |= dcb::fInX;
  const bool error_char = parity.Check() && parity.Replace();
  if (error_char) f |= dcb::fErrorChar;
  if (options.DiscardNull) f |= dcb::fNull;
  f |= static_cast<uint32_t>(flow.ControlRTS()) << dcb::kRtsControlShift;
  r.Flags = f;

  r.XonLim = static_cast<uint16_t>(buffer.InputSize() / 4);
  r.XoffLim = r.XonLim;
  r.ByteSize = static_cast<uint8_t>(5 + static_cast<int>(options.DataBits));
  r.Parity = static_cast<uint8_t>(parity.Bits());
  r.StopBits = static_cast<uint8_t>(options.StopBits);
  r.XonChar = flow.XonChar();
  r.XoffChar = flow.XoffChar();
  r.EvtChar = options.EventChar;
  r.ErrorChar = error_char ? parity.ReplaceChar() : 0;
  return r;
}

TTimeoutRecord BuildTimeoutRecord(const TComTimeouts& t) {
  // Two's complement: -1 becomes all 32 bits set, the platform's "maximum".
  return {static_cast<uint32_t>(t.ReadInterval()), static_cast<uint32_t>(t.ReadTotalMultiplier()),
          static_cast<uint32_t>(t.ReadTotalConstant()),
          static_cast<uint32_t>(t.WriteTotalMultiplier()),
          static_cast<uint32_t>(t.WriteTotalConstant())};
}

namespace {

// Events in ordinal order with their driver flags.
constexpr std::array<uint32_t, 10> kEventFlags = {
    drv::kEvRxChar, drv::kEvTxEmpty, drv::kEvRxFlag, drv::kEvRing, drv::kEvBreak,
    drv::kEvCts,    drv::kEvDsr,     drv::kEvErr,    drv::kEvRlsd, drv::kEvRx80Full};

}  // namespace

uint32_t EventMaskOf(TComEvents events) {
  uint32_t mask = 0;
  for (size_t i = 0; i < kEventFlags.size(); ++i)
    if (events.Contains(static_cast<TComEvent>(i))) mask |= kEventFlags[i];
  return mask;
}

TComEvents EventsOfMask(uint32_t mask) {
  TComEvents events;
  for (size_t i = 0; i < kEventFlags.size(); ++i)
    if (mask & kEventFlags[i]) events.Include(static_cast<TComEvent>(i));
  return events;
}

TComErrors ErrorsOfFlags(uint32_t flags, bool parity_check) {
  TComErrors errors;
  if (flags & drv::kCeFrame) errors.Include(ceFrame);
  if ((flags & drv::kCeRxParity) && parity_check) errors.Include(ceRxParity);
  if (flags & drv::kCeOverrun) errors.Include(ceOverrun);
  if (flags & drv::kCeBreak) errors.Include(ceBreak);
  if (flags & drv::kCeIoe) errors.Include(ceIO);
  if (flags & drv::kCeMode) errors.Include(ceMode);
  if (flags & drv::kCeRxOver) errors.Include(ceRxOver);
  if (flags & drv::kCeTxFull) errors.Include(ceTxFull);
  return errors;
}

}  // namespace orvix
