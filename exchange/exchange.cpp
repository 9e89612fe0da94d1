#include "exchange/exchange.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "channel/com_ping.h"
#include "channel/rs_pack.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"

namespace orvix {

int ProgressPosition(int total, int done) {
  if (total == 0) return 0;
  // nearbyint rounds a half to the even neighbour in the default rounding mode.
  return static_cast<int>(std::nearbyint(100.0 / total * done));
}

uint16_t TExchange::RangeSum(const uint8_t* image, int image_size, uint16_t start,
                             uint16_t stop) {
  uint16_t sum = 0;
  const int end = std::min<int>(stop, image_size - 1);
  for (int a = start; a <= end; ++a) sum = static_cast<uint16_t>(sum + image[a]);
  return sum;
}

TExchange::TExchange(TExchangeFrontEnd& front_end, TExchangeSettings settings)
    : front_end_(front_end),
      settings_(std::move(settings)),
      frame_log_(std::make_unique<TFrameLog>(settings_.LogFileName)) {
  timer_send_timeout_.SetInterval(kReplyTimeOut);
  timer_send_timeout_.OnTimer = [this] { TimerSendTimeoutTimer(); };
  timer_settle_.OnTimer = [this] { TimerSettleTimer(); };
}

TExchange::~TExchange() {
  // Waiting for the discovery threads runs their hand-overs: a device reported now must not
  // start a transfer on a channel and log that are going away.
  running_ = false;
  timer_send_timeout_.SetEnabled(false);
  timer_settle_.SetEnabled(false);
  frame_log_.reset();
  pack_.reset();
  StopDiscovery();
}

void TExchange::StartNegotiation() {
  try {
    offset_ = 0;
    front_end_.SetStatusText(kTextNegotiation);
    phase_ = TExchangePhase::epNegotiation;
    running_ = true;
    StartDiscovery();
  } catch (...) {
    AbortExchange();
    throw;
  }
}

void TExchange::StartDiscovery() {
  ShowStatus(kTextNoAnswer);
  std::vector<std::string> names = settings_.Ports;
  if (names.empty()) ListSerialPorts(names);
  for (const std::string& name : names) {
    auto ping = StartThread<TComPing>(name, settings_.DeviceNumber);
    ping->OnDeviceFound = [this](TCustomSerialPort* port) { DeviceFound(port); };
    port_list_.emplace_back(name, std::move(ping));
  }
}

void TExchange::StopDiscovery() {
  // Every thread is asked at once, and a port is closed as soon as its thread has ended: only a
  // ping write still under way is waited for, up to 100 ms from the request, and the waits of
  // all the ports overlap instead of adding up.
  for (auto& entry : port_list_)
    if (entry.second) entry.second->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + kPingWriteGrace;
  for (auto& [name, ping] : port_list_) {
    if (!ping) continue;
    TSerialPort* port = ping->SerialPort();
    if (port->Connected()) {
      ping->WaitUntil(deadline);
      try {
        port->ClosePort();
      } catch (...) {
        // Destroying the thread releases the port, which closes it again.
        HandleException(std::current_exception());
      }
    }
    ping.reset();
  }
  port_list_.clear();
}

void TExchange::DeviceFound(TCustomSerialPort* port) {
  // One device per run: a later answer, on this port or another, or one that comes after the
  // run was stopped, must not start a second transfer.
  if (pack_ || !running_) return;
  port->OnRxChar = nullptr;
  pack_ = std::make_unique<TRSPack>(port);
  pack_->OnPacket = [this](const uint8_t* f, int n) { PacketReceived(f, n); };
  pack_->OnFrameSent = [this](const uint8_t* f, int n) { FrameSent(f, n); };
  StopPinging(port);
  front_end_.SetMainStatusPanel(TStatusPanel::spPortName, port->Port());
  phase_ = TExchangePhase::epBlockTransfer;
  SendBlock();
  front_end_.SetStatusText(kTextProgramming);
}

// The device's port is pinged no more, so the last ping answers are due by a known time. The
// first block goes out at once all the same: within the settle time only a command-1 frame can
// be a ping answer, and that is the one kind of reply MayAnswerAPing holds back.
void TExchange::StopPinging(TCustomSerialPort* port) {
  for (auto& [name, ping] : port_list_) {
    if (!ping || ping->SerialPort() != port) continue;
    ping->Terminate();
    if (const auto last = ping->LastPingWritten())
      settle_until_ = *last + kPingAnswerDelay + kSettleMargin;
  }
}

// A command-1 frame inside the settle time cannot be told from a late ping answer, so it
// acknowledges nothing; the frame awaiting its reply keeps its reply timer. Replies with
// command 2 or 3 never answer a ping and count at once.
bool TExchange::MayAnswerAPing(const RSPacket& packet) const {
  return packet.Command == cmdPing && std::chrono::steady_clock::now() < settle_until_;
}

// The checksum's reply ends the run, so it must not come inside the settle time, where a
// command-1 reply counts for nothing: a device that confirms with command 1 and then starts its
// new firmware would be reported as not confirming. Only a short image gets there that soon.
void TExchange::SendChecksumAfterSettle() {
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

void TExchange::TimerSettleTimer() {
  timer_settle_.SetEnabled(false);
  if (!checksum_held_ || !running_) return;
  checksum_held_ = false;
  SendChecksum();
}

void TExchange::SendBlock() {
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
  pack_->SendPacket(packet);
}

void TExchange::SendChecksum() {
  const uint16_t sum = RangeSum(settings_.ImageData, settings_.ImageSize, settings_.StartAddress,
                                settings_.StopAddress);
  const RSPacket packet =
      MakePacket(settings_.DeviceNumber, cmdChecksum, 0,
                 {static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>(sum >> 8)});
  timer_send_timeout_.SetEnabled(true);
  pack_->SendPacket(packet);
}

void TExchange::PacketReceived(const uint8_t* frame, int length) {
  if (!running_) return;
  if (front_end_.LogFrames()) LogFrame(false, frame, length);
  if (!CheckFrame(frame, length)) {
    front_end_.SetStatusText(kTextChecksumError);
    if (front_end_.LogFrames()) frame_log_->AddLine(kTextChecksumError);
    return;
  }
  HandleReply(pack_->DecodePacket(frame, length));
}

void TExchange::FrameSent(const uint8_t* frame, int length) {
  if (front_end_.LogFrames()) LogFrame(true, frame, length);
}

void TExchange::HandleReply(const RSPacket& packet) {
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
    ShowStatus(kTextFinished);
    front_end_.Close(mrOk);
  }
}

void TExchange::TimerSendTimeoutTimer() {
  timer_send_timeout_.SetEnabled(false);
  ++retry_count_;
  if (retry_count_ >= RetryLimit) {
    retry_count_ = 0;
    offset_ = 0;
    running_ = false;
    ShowProgress(0, 0);
    front_end_.ShowMessage(phase_ == TExchangePhase::epChecksumSent ? kTextNoChecksumConfirmation
                                                                    : kTextNoAnswer);
    front_end_.Close(mrCancel);
    return;
  }
  offset_ = offset_ < kBlockSize ? 0 : offset_ - kBlockSize;
  if (phase_ == TExchangePhase::epBlockTransfer)
    SendBlock();
  else if (phase_ == TExchangePhase::epChecksumSent)
    SendChecksum();
}

void TExchange::AbortExchange() {
  running_ = false;
  timer_send_timeout_.SetEnabled(false);
  timer_settle_.SetEnabled(false);
  ShowProgress(0, 0);
  ShowStatus(kTextAborted);
}

void TExchange::ShowProgress(int total, int done) {
  front_end_.SetProgress(ProgressPosition(total, done));
  front_end_.ProcessMessages();
}

void TExchange::LogFrame(bool sent, const uint8_t* frame, int length) {
  frame_log_->LogFrame(sent, frame, length);
}

}  // namespace orvix
