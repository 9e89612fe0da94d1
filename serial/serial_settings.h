// The port's settings: enumerations, the four settings objects, and the platform-neutral records
// (line settings as the Win32 DCB holds them, time-outs as COMMTIMEOUTS holds them) built from
// them.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace orvix {

class TCustomSerialPort;

// Ordinal order matters: set bits and table lookups follow it.
enum TBaudRate {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000,
  // Past Win32's own CBR_ list, at the end so the older ordinals keep their meaning: the rates
  // of the USB adapters boot loaders are commonly run at.
  br230400,
  br460800,
  br921600
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent {
  evRxChar,
  evTxEmpty,
  evRxFlag,
  evRing,
  evBreak,
  evCTS,
  evDSR,
  evError,
  evRLSD,
  evRx80Full
};
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// A small set of enumerators: bit n stands for the enumerator of ordinal n.
template <typename E, int N>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> items) {
    for (E e : items) Include(e);
  }
  static constexpr TEnumSet All() { return FromBits(static_cast<uint16_t>((1u << N) - 1)); }
  static constexpr TEnumSet FromBits(uint16_t bits) {
    TEnumSet s;
    s.bits_ = static_cast<uint16_t>(bits & ((1u << N) - 1));
    return s;
  }

  constexpr bool Contains(E e) const { return (bits_ >> static_cast<int>(e)) & 1u; }
  constexpr void Include(E e) {
    bits_ = static_cast<uint16_t>(bits_ | (1u << static_cast<int>(e)));
  }
  constexpr void Exclude(E e) {
    bits_ = static_cast<uint16_t>(bits_ & ~(1u << static_cast<int>(e)));
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint16_t Bits() const { return bits_; }
  friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.bits_ == b.bits_; }

 private:
  uint16_t bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent, 10>;
using TComErrors = TEnumSet<TComError, 8>;

// Settings objects: a setter stores a changed value and asks the owning port to re-apply the
// object's group (which does nothing while the port is closed). A detached object (no port) only
// stores. Assign copies every field from another object and always re-applies.

class TComTimeouts {
 public:
  explicit TComTimeouts(TCustomSerialPort* port = nullptr) : port_(port) {}
  TComTimeouts(const TComTimeouts&) = delete;
  TComTimeouts& operator=(const TComTimeouts&) = delete;
  void Assign(const TComTimeouts& source);

  // Milliseconds; -1 stands for the platform's maximum (all 32 bits set).
  int32_t ReadInterval() const { return read_interval_; }
  int32_t ReadTotalMultiplier() const { return read_total_multiplier_; }
  int32_t ReadTotalConstant() const { return read_total_constant_; }
  int32_t WriteTotalMultiplier() const { return write_total_multiplier_; }
  int32_t WriteTotalConstant() const { return write_total_constant_; }
  void SetReadInterval(int32_t value) { Set(read_interval_, value); }
  void SetReadTotalMultiplier(int32_t value) { Set(read_total_multiplier_, value); }
  void SetReadTotalConstant(int32_t value) { Set(read_total_constant_, value); }
  void SetWriteTotalMultiplier(int32_t value) { Set(write_total_multiplier_, value); }
  void SetWriteTotalConstant(int32_t value) { Set(write_total_constant_, value); }

 private:
  void Set(int32_t& field, int32_t value);
  void Changed();

  TCustomSerialPort* port_;
  int32_t read_interval_ = -1;
  int32_t read_total_multiplier_ = 0;
  int32_t read_total_constant_ = 0;
  int32_t write_total_multiplier_ = 100;
  int32_t write_total_constant_ = 1000;
};

class TComFlowControl {
 public:
  explicit TComFlowControl(TCustomSerialPort* port = nullptr) : port_(port) {}
  TComFlowControl(const TComFlowControl&) = delete;
  TComFlowControl& operator=(const TComFlowControl&) = delete;
  void Assign(const TComFlowControl& source);

  bool OutCTSFlow() const { return out_cts_flow_; }
  bool OutDSRFlow() const { return out_dsr_flow_; }
  TDTRFlowControl ControlDTR() const { return control_dtr_; }
  TRTSFlowControl ControlRTS() const { return control_rts_; }
  bool XonXoffOut() const { return xon_xoff_out_; }
  bool XonXoffIn() const { return xon_xoff_in_; }
  bool DSRSensitivity() const { return dsr_sensitivity_; }
  bool TxContinueOnXoff() const { return tx_continue_on_xoff_; }
  uint8_t XonChar() const { return xon_char_; }
  uint8_t XoffChar() const { return xoff_char_; }
  void SetOutCTSFlow(bool value) { Set(out_cts_flow_, value); }
  void SetOutDSRFlow(bool value) { Set(out_dsr_flow_, value); }
  void SetControlDTR(TDTRFlowControl value) { Set(control_dtr_, value); }
  void SetControlRTS(TRTSFlowControl value) { Set(control_rts_, value); }
  void SetXonXoffOut(bool value) { Set(xon_xoff_out_, value); }
  void SetXonXoffIn(bool value) { Set(xon_xoff_in_, value); }
  void SetDSRSensitivity(bool value) { Set(dsr_sensitivity_, value); }
  void SetTxContinueOnXoff(bool value) { Set(tx_continue_on_xoff_, value); }
  void SetXonChar(uint8_t value) { Set(xon_char_, value); }
  void SetXoffChar(uint8_t value) { Set(xoff_char_, value); }

  // The composite view: hardware, software, none, or custom for any other mix.
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl value);

 private:
  template <typename T>
  void Set(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }
  void Changed();

  TCustomSerialPort* port_;
  bool out_cts_flow_ = false;
  bool out_dsr_flow_ = false;
  TDTRFlowControl control_dtr_ = dtrDisable;
  TRTSFlowControl control_rts_ = rtsDisable;
  bool xon_xoff_out_ = false;
  bool xon_xoff_in_ = false;
  bool dsr_sensitivity_ = false;
  bool tx_continue_on_xoff_ = false;
  uint8_t xon_char_ = 17;
  uint8_t xoff_char_ = 19;
};

class TComParity {
 public:
  explicit TComParity(TCustomSerialPort* port = nullptr) : port_(port) {}
  TComParity(const TComParity&) = delete;
  TComParity& operator=(const TComParity&) = delete;
  void Assign(const TComParity& source);

  TParityBits Bits() const { return bits_; }
  bool Check() const { return check_; }
  bool Replace() const { return replace_; }
  uint8_t ReplaceChar() const { return replace_char_; }
  void SetBits(TParityBits value) { Set(bits_, value); }
  void SetCheck(bool value) { Set(check_, value); }
  void SetReplace(bool value) { Set(replace_, value); }
  void SetReplaceChar(uint8_t value) { Set(replace_char_, value); }

 private:
  template <typename T>
  void Set(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }
  void Changed();

  TCustomSerialPort* port_;
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  uint8_t replace_char_ = 0;
};

class TComBuffer {
 public:
  explicit TComBuffer(TCustomSerialPort* port = nullptr) : port_(port) {}
  TComBuffer(const TComBuffer&) = delete;
  TComBuffer& operator=(const TComBuffer&) = delete;
  void Assign(const TComBuffer& source);

  int32_t InputSize() const { return input_size_; }
  int32_t OutputSize() const { return output_size_; }
  // A positive odd size is stored one less, as the drivers want even queue sizes.
  void SetInputSize(int32_t value) { Set(input_size_, value); }
  void SetOutputSize(int32_t value) { Set(output_size_, value); }

 private:
  void Set(int32_t& field, int32_t value);
  void Changed();

  TCustomSerialPort* port_;
  int32_t input_size_ = 1024;
  int32_t output_size_ = 1024;
};

// The line-settings record: the fields of the Win32 DCB, which a backend hands to SetCommState
// as is or translates (termios on Linux).
struct TLineSettings {
  uint32_t DCBlength = 28;
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  uint8_t XonChar = 0;
  uint8_t XoffChar = 0;
  uint8_t ErrorChar = 0;
  uint8_t EofChar = 0;
  uint8_t EvtChar = 0;
  uint16_t wReserved1 = 0;
  friend bool operator==(const TLineSettings&, const TLineSettings&) = default;
};

// Flag bits of TLineSettings::Flags.
namespace dcb {
constexpr uint32_t fBinary = 0x0001;
constexpr uint32_t fParity = 0x0002;
constexpr uint32_t fOutxCtsFlow = 0x0004;
constexpr uint32_t fOutxDsrFlow = 0x0008;
constexpr uint32_t fDtrControlMask = 0x0030;  // 0x00 disable, 0x10 enable, 0x20 handshake
constexpr uint32_t fDsrSensitivity = 0x0040;
constexpr uint32_t fTXContinueOnXoff = 0x0080;
constexpr uint32_t fOutX = 0x0100;
constexpr uint32_t fInX = 0x0200;
constexpr uint32_t fErrorChar = 0x0400;
constexpr uint32_t fNull = 0x0800;
constexpr uint32_t fRtsControlMask = 0x3000;  // 0x0000 disable ... 0x3000 toggle
constexpr uint32_t fAbortOnError = 0x4000;
constexpr int kDtrControlShift = 4;
constexpr int kRtsControlShift = 12;
}  // namespace dcb

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

// The time-outs record, the five COMMTIMEOUTS values in milliseconds.
struct TTimeoutRecord {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
  friend bool operator==(const TTimeoutRecord&, const TTimeoutRecord&) = default;
};

// The line values that do not live in a settings object.
struct TLineOptions {
  TBaudRate BaudRate = br9600;
  int32_t CustomBaudRate = 9600;
  TDataBits DataBits = dbEight;
  TStopBits StopBits = sbOneStopBit;
  bool DiscardNull = false;
  uint8_t EventChar = 0;
};

// The bit rate a TBaudRate stands for; brCustom gives the custom rate.
uint32_t BaudRateValue(TBaudRate rate, int32_t custom_rate);
// The enumerator that stands for this bit rate; brCustom when none does.
TBaudRate BaudRateOf(uint32_t rate);

TLineSettings BuildLineSettings(const TLineOptions& options, const TComParity& parity,
                                const TComFlowControl& flow, const TComBuffer& buffer);
TTimeoutRecord BuildTimeoutRecord(const TComTimeouts& timeouts);

// Driver event flags (the values of Win32's EV_ macros), line error flags (CE_) and modem status
// bits (MS_), under names of their own so this header and <windows.h> can meet in any order.
namespace drv {
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvRxFlag = 0x0002;
constexpr uint32_t kEvTxEmpty = 0x0004;
constexpr uint32_t kEvCts = 0x0008;
constexpr uint32_t kEvDsr = 0x0010;
constexpr uint32_t kEvRlsd = 0x0020;
constexpr uint32_t kEvBreak = 0x0040;
constexpr uint32_t kEvErr = 0x0080;
constexpr uint32_t kEvRing = 0x0100;
constexpr uint32_t kEvRx80Full = 0x0400;

constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeBreak = 0x0010;
constexpr uint32_t kCeTxFull = 0x0100;
constexpr uint32_t kCeIoe = 0x0400;
constexpr uint32_t kCeMode = 0x8000;

constexpr uint32_t kMsCtsOn = 0x0010;
constexpr uint32_t kMsDsrOn = 0x0020;
constexpr uint32_t kMsRingOn = 0x0040;
constexpr uint32_t kMsRlsdOn = 0x0080;
}  // namespace drv

uint32_t EventMaskOf(TComEvents events);
TComEvents EventsOfMask(uint32_t mask);
// Parity errors count only when the port checks parity.
TComErrors ErrorsOfFlags(uint32_t flags, bool parity_check);

}  // namespace orvix
