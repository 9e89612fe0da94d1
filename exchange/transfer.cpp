#include "exchange/transfer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "channel/rs_pack.h"
#include "exchange/frame_log.h"
#include "serial/serial_port.h"

namespace orvix {

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

std::chrono::steady_clock::time_point TTransfer::SettleUntil(
    std::optional<std::chrono::steady_clock::time_point> last_ping) {
  if (!last_ping) return {};
  return *last_ping + kPingAnswerDelay + kSettleMargin;
}

TTransfer::TTransfer(TExchangeFrontEnd& front_end, const TExchangeSettings& settings,
                     TCustomSerialPort* port, TFrameLog* log)
    : front_end_(front_end), settings_(settings), log_(log) {
  timer_send_timeout_.SetInterval(settings_.ReplyTimeOut);
  timer_send_timeout_.OnTimer = [this] { TimerSendTimeoutTimer(); };
  timer_settle_.OnTimer = [this] { TimerSettleTimer(); };
  port->OnRxChar = nullptr;
  pack_ = std::make_unique<TRSPack>(port);
  pack_->OnPacket = [this](const uint8_t* f, int n) { PacketReceived(f, n); };
  pack_->OnFrameSent = [this](const uint8_t* f, int n) { FrameSent(f, n); };
}

TTransfer::~TTransfer() {
  running_ = false;
  timer_send_timeout_.SetEnabled(false);
  timer_settle_.SetEnabled(false);
}

void TTransfer::Start(std::chrono::steady_clock::time_point settle_until) {
  if (ended_) return;  // stopped while discovery let go of the port
  settle_until_ = settle_until;
  running_ = true;
  front_end_.SetMainStatusPanel(TStatusPanel::spPortName, pack_->Port()->Port());
  phase_ = TExchangePhase::epBlockTransfer;
  SendBlock();
  front_end_.SetStatusText(kTextProgramming);
}

// A command-1 frame inside the settle time cannot be told from a late ping answer, so it
// acknowledges nothing; the frame awaiting its reply keeps its reply timer. Replies with
// command 2 or 3 never answer a ping and count at once.
bool TTransfer::MayAnswerAPing(const RSPacket& packet) const {
  return packet.Command == cmdPing && std::chrono::steady_clock::now() < settle_until_;
}

// The checksum's reply ends the run, so it must not come inside the settle time, where a
// command-1 reply counts for nothing: a device that confirms with command 1 and then starts its
// new firmware would be reported as not confirming. Only a short image gets there that soon.
void TTransfer::SendChecksumAfterSettle() {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(
      settle_until_ - std::chrono::steady_clock::now());
  if (left.count() <= 0) {
    SendChecksum();
    return;
  }
  checksum_held_ = true;
  timer_settle_.SetInterval(static_cast<int>(left.count()));
  timer_settle_.SetEnabled(true);
}

void TTransfer::TimerSettleTimer() {
  timer_settle_.SetEnabled(false);
  if (!checksum_held_ || !running_) return;
  checksum_held_ = false;
  SendChecksum();
}

void TTransfer::SendBlock() {
  std::vector<uint8_t> block(kBlockSize, kFill);
  const int address = settings_.StartAddress + offset_;
  const int available = std::clamp(settings_.ImageSize - address, 0, kBlockSize);
  if (available > 0)
    std::copy_n(settings_.ImageData + address, available, block.begin());
  offset_ += kBlockSize;
  last_block_ = offset_ >= settings_.StopAddress - settings_.StartAddress + 1;
  ShowProgress(settings_.StopAddress - settings_.StartAddress, offset_);
  // The pump above may have run the stop button: a stopped run sends nothing more.
  if (!running_) return;
  const RSPacket packet = MakePacket(settings_.DeviceNumber, cmdWriteBlock,
                                     static_cast<uint16_t>(address), std::move(block));
  timer_send_timeout_.SetEnabled(true);
  ++blocks_sent_;
  Send(packet);
}

void TTransfer::SendChecksum() {
  const uint16_t sum = RangeSum(settings_.ImageData, settings_.ImageSize, settings_.StartAddress,
                                settings_.StopAddress);
  const RSPacket packet =
      MakePacket(settings_.DeviceNumber, cmdChecksum, 0,
                 {static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>(sum >> 8)});
  timer_send_timeout_.SetEnabled(true);
  Send(packet);
}

void TTransfer::Send(const RSPacket& packet) {
  try {
    pack_->SendPacket(packet);
  } catch (...) {
    front_end_.SendFailed(std::current_exception());
  }
}

void TTransfer::PacketReceived(const uint8_t* frame, int length) {
  if (!running_) return;
  if (log_ && front_end_.LogFrames()) log_->LogFrame(false, frame, length);
  if (!CheckFrame(frame, length)) {
    front_end_.SetStatusText(kTextChecksumError);
    if (log_ && front_end_.LogFrames()) log_->AddLine(kTextChecksumError);
    return;
  }
  HandleReply(pack_->DecodePacket(frame, length));
}

void TTransfer::FrameSent(const uint8_t* frame, int length) {
  if (log_ && front_end_.LogFrames()) log_->LogFrame(true, frame, length);
}

void TTransfer::HandleReply(const RSPacket& packet) {
  const bool accepted = (packet.Command == cmdWriteBlock &&
                         packet.Device == settings_.DeviceNumber) ||
                        packet.Command == cmdPing || packet.Command == cmdChecksum;
  // While the checksum frame is held back no frame awaits a reply.
  if (!accepted || checksum_held_ || MayAnswerAPing(packet)) return;
  retry_count_ = 0;
  timer_send_timeout_.SetEnabled(false);
  if (phase_ == TExchangePhase::epBlockTransfer && !last_block_) {
    SendBlock();
  } else if (phase_ == TExchangePhase::epBlockTransfer) {
    offset_ = 0;
    phase_ = TExchangePhase::epChecksumSent;
    SendChecksumAfterSettle();
  } else if (phase_ == TExchangePhase::epChecksumSent) {
    offset_ = 0;
    phase_ = TExchangePhase::epDone;
    running_ = false;
    ended_ = true;
    ShowStatus(kTextFinished);
    front_end_.Close(mrOk);
  }
}

void TTransfer::TimerSendTimeoutTimer() {
  timer_send_timeout_.SetEnabled(false);
  ++retry_count_;
  if (retry_count_ >= RetryLimit) {
    retry_count_ = 0;
    offset_ = 0;
    running_ = false;
    ended_ = true;
    ShowProgress(0, 0);
    front_end_.ShowMessage(phase_ == TExchangePhase::epChecksumSent ? kTextNoChecksumConfirmation
                                                                    : kTextNoAnswer);
    front_end_.Close(mrCancel);
    return;
  }
  offset_ = offset_ < kBlockSize ? 0 : offset_ - kBlockSize;
  if (phase_ == TExchangePhase::epBlockTransfer) {
    front_end_.FrameResent(TResent::rsBlock,
                           static_cast<uint16_t>(settings_.StartAddress + offset_));
    SendBlock();
  } else if (phase_ == TExchangePhase::epChecksumSent) {
    front_end_.FrameResent(TResent::rsChecksum, 0);
    SendChecksum();
  }
}

void TTransfer::Abort() {
  running_ = false;
  ended_ = true;
  timer_send_timeout_.SetEnabled(false);
  timer_settle_.SetEnabled(false);
  ShowProgress(0, 0);
  ShowStatus(kTextAborted);
}

void TTransfer::ShowProgress(int total, int done) {
  front_end_.SetProgress(ProgressPosition(total, done));
  front_end_.ProcessMessages();
}

}  // namespace orvix
