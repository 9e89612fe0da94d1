#include "exchange/transfer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "channel/rs_pack.h"
#include "exchange/frame_log.h"
#include "serial/serial_port.h"

namespace orvix {
namespace {

const char kLogChecksumError[] = "Error CS!";  // a line of the frame log's own format

// A text no catalogue of ours words: it follows as it is.
TText SystemText(std::string text) {
  return {"", "", {}, std::move(text)};
}

// The system's error in words when the port said which (the system's own text, no source of
// ours), else what was raised.
TText ErrorInWords(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const ESerialPort& e) {
    if (e.SystemCode() >= 0) return SystemText(SystemErrorText(e.SystemCode()));
    return e.Text();
  } catch (const ETextError& e) {
    return e.Text();
  } catch (const std::exception& e) {
    return SystemText(e.what());
  } catch (...) {
    return {"exchange", ORVIX_TEXT("exchange", "unknown error"), {}, {}};
  }
}

}  // namespace

int ProgressPosition(int total, int done) {
  if (total == 0) return 0;
  // nearbyint rounds a half to the even neighbour in the default rounding mode.
  return static_cast<int>(std::nearbyint(100.0 / total * done));
}

uint16_t TTransfer::RangeSum(const uint8_t* image, int image_size, uint16_t start, uint16_t stop) {
  uint16_t sum = 0;
  const int end = std::min<int>(stop, image_size - 1);
  for (int a = start; a <= end; ++a) sum = static_cast<uint16_t>(sum + image[a]);
  return sum;
}

TTransfer::TClock::time_point TTransfer::QuietUntil(std::optional<TClock::time_point> last_ping) {
  if (!last_ping) return TClock::now();
  return *last_ping + kPingAnswerDelay + kQuietMargin;
}

TTransfer::TTransfer(TRunEvents& events, const TExchangeSettings& settings,
                     TCustomSerialPort* port, TFrameLog* log)
    : events_(events), settings_(settings), log_(log), port_name_(port->Port()) {
  figures_.StartAddress = settings_.StartAddress;
  figures_.StopAddress = settings_.StopAddress;
  figures_.Bytes = settings_.StopAddress - settings_.StartAddress + 1;
  figures_.Checksum = RangeSum(settings_.ImageData, settings_.ImageSize, settings_.StartAddress,
                               settings_.StopAddress);
  timer_send_timeout_.SetInterval(settings_.ReplyTimeOut);
  timer_send_timeout_.OnTimer = [this] { TimerSendTimeoutTimer(); };
  timer_quiet_.OnTimer = [this] {
    timer_quiet_.SetEnabled(false);
    BeginBlocks();
  };
  timer_lost_.SetInterval(0);
  timer_lost_.OnTimer = [this] {
    timer_lost_.SetEnabled(false);
    if (lost_) End(*lost_);
  };
  port->OnRxChar = nullptr;
  port->OnLineLost = [this](TCustomSerialPort*, std::exception_ptr error) { LineLost(error); };
  pack_ = std::make_unique<TRSPack>(port);
  pack_->OnPacket = [this](const uint8_t* f, int n) { PacketReceived(f, n); };
  pack_->OnFrameSent = [this](const uint8_t* f, int n) { FrameSent(f, n); };
}

TTransfer::~TTransfer() {
  running_ = false;
  timer_send_timeout_.SetEnabled(false);
  timer_quiet_.SetEnabled(false);
  timer_lost_.SetEnabled(false);
  pack_->Port()->OnLineLost = nullptr;
}

void TTransfer::Start(TClock::time_point quiet_until) {
  found_at_ = TClock::now();
  if (ended_) return;  // stopped, or the line went, while discovery let go of the port
  events_.DeviceFound(port_name_);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(quiet_until - TClock::now());
  if (left.count() <= 0) {
    BeginBlocks();
    return;
  }
  timer_quiet_.SetInterval(static_cast<int>(left.count()));
  timer_quiet_.SetEnabled(true);
}

void TTransfer::BeginBlocks() {
  if (ended_ || !quiet_) return;
  quiet_ = false;
  // A frame begun before now is no reply to the first block.
  pack_->DiscardInput();
  running_ = true;
  phase_ = TExchangePhase::epBlockTransfer;
  SendBlock();
}

void TTransfer::SendBlock() {
  std::vector<uint8_t> block(kBlockSize, kFill);
  const int address = settings_.StartAddress + offset_;
  const int available = std::clamp(settings_.ImageSize - address, 0, kBlockSize);
  if (available > 0)
    std::copy_n(settings_.ImageData + address, available, block.begin());
  offset_ += kBlockSize;
  last_block_ = offset_ >= settings_.StopAddress - settings_.StartAddress + 1;
  events_.Progress(port_name_, offset_, settings_.StopAddress - settings_.StartAddress);
  events_.ProcessMessages();
  // The pump above may have run the stop button, or heard the line go: nothing more is sent.
  if (!running_) return;
  const RSPacket packet = MakePacket(settings_.DeviceNumber, cmdWriteBlock,
                                     static_cast<uint16_t>(address), std::move(block));
  timer_send_timeout_.SetEnabled(true);
  ++figures_.BlocksSent;
  Send(packet);
}

void TTransfer::SendChecksum() {
  const RSPacket packet = MakePacket(
      settings_.DeviceNumber, cmdChecksum, 0,
      {static_cast<uint8_t>(figures_.Checksum & 0xFF), static_cast<uint8_t>(figures_.Checksum >> 8)});
  timer_send_timeout_.SetEnabled(true);
  Send(packet);
}

void TTransfer::Send(const RSPacket& packet) {
  try {
    pack_->SendPacket(packet);
  } catch (...) {
    LineLost(std::current_exception());
  }
}

void TTransfer::PacketReceived(const uint8_t* frame, int length) {
  if (ended_) return;
  LogFrame(false, frame, length);
  // Before the first block only ping answers can come: logged, never a reply.
  if (quiet_ || !running_) return;
  if (!CheckFrame(frame, length)) {
    LogLine(kLogChecksumError);
    events_.BadReply(port_name_, TBadReply::brChecksumError);
    return;
  }
  HandleReply(pack_->DecodePacket(frame, length));
}

void TTransfer::FrameSent(const uint8_t* frame, int length) { LogFrame(true, frame, length); }

void TTransfer::HandleReply(const RSPacket& packet) {
  if (packet.Command == cmdWriteBlock && packet.Device != settings_.DeviceNumber) {
    events_.BadReply(port_name_, TBadReply::brForeignDevice);
    return;
  }
  if (packet.Command != cmdPing && packet.Command != cmdWriteBlock &&
      packet.Command != cmdChecksum) {
    events_.BadReply(port_name_, TBadReply::brUnknownCommand);
    return;
  }
  retry_count_ = 0;
  timer_send_timeout_.SetEnabled(false);
  if (phase_ == TExchangePhase::epBlockTransfer && !last_block_) {
    SendBlock();
  } else if (phase_ == TExchangePhase::epBlockTransfer) {
    offset_ = 0;
    phase_ = TExchangePhase::epChecksumSent;
    SendChecksum();
  } else if (phase_ == TExchangePhase::epChecksumSent) {
    offset_ = 0;
    phase_ = TExchangePhase::epDone;
    End(Result(TOutcome::ocFinished));
  }
}

void TTransfer::TimerSendTimeoutTimer() {
  timer_send_timeout_.SetEnabled(false);
  if (ended_) return;
  ++retry_count_;
  // The block awaiting its reply is the one Offset last moved past.
  const auto address =
      static_cast<uint16_t>(settings_.StartAddress + std::max(offset_ - kBlockSize, 0));
  if (retry_count_ >= RetryLimit) {
    retry_count_ = 0;
    offset_ = 0;
    TRunResult result = Result(phase_ == TExchangePhase::epChecksumSent
                                   ? TOutcome::ocChecksumUnconfirmed
                                   : TOutcome::ocNoAnswer);
    if (result.Outcome == TOutcome::ocNoAnswer) result.Address = address;
    End(result);
    return;
  }
  ++figures_.Resends;
  offset_ = offset_ < kBlockSize ? 0 : offset_ - kBlockSize;
  if (phase_ == TExchangePhase::epBlockTransfer) {
    events_.FrameResent(port_name_, TResent::rsBlock, address);
    SendBlock();
  } else if (phase_ == TExchangePhase::epChecksumSent) {
    events_.FrameResent(port_name_, TResent::rsChecksum, 0);
    SendChecksum();
  }
}

void TTransfer::Abort() {
  if (ended_) return;
  End(Result(TOutcome::ocStopped));
}

// Whatever the failure, the run on this port is over; the front end hears of it from the loop.
void TTransfer::LineLost(std::exception_ptr error) {
  if (ended_) return;
  TRunResult result = Result(TOutcome::ocLineLost);
  result.Cause = ErrorInWords(error);
  running_ = false;
  ended_ = true;
  timer_send_timeout_.SetEnabled(false);
  timer_quiet_.SetEnabled(false);
  lost_ = result;
  timer_lost_.SetEnabled(true);
}

// A log that cannot be written is named once and closed; it never cuts the programming.
void TTransfer::LogFrame(bool sent, const uint8_t* frame, int length) {
  if (!log_ || log_->Failed()) return;
  if (!log_->LogFrame(sent, frame, length)) {
    log_error_ = log_->FileName() + ": " + log_->Error();
    events_.LogFailed(log_->FileName(), log_->Error());
  }
}

void TTransfer::LogLine(const std::string& line) {
  if (log_ && !log_->Failed()) log_->AddLine(line);
}

TRunResult TTransfer::Result(TOutcome outcome) {
  TRunResult result;
  result.Outcome = outcome;
  result.Port = port_name_;
  result.Phase = phase_;
  result.LogError = log_error_;
  result.Figures = figures_;
  result.Figures.Seconds = std::chrono::duration<double>(TClock::now() - found_at_).count();
  return result;
}

void TTransfer::End(const TRunResult& result) {
  running_ = false;
  ended_ = true;
  timer_send_timeout_.SetEnabled(false);
  timer_quiet_.SetEnabled(false);
  // Copied before lost_ goes: a lost line's end passes lost_'s own result in here.
  TRunResult told = result;
  lost_.reset();
  told.LogError = log_error_;  // a lost line's result was taken before a last failed log line
  events_.RunEnded(told);
}

}  // namespace orvix
