#include "exchange/exchange.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "link/com_ping.h"
#include "link/rs_pack.h"
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

TExchange::TExchange(ExchangeFrontEnd& front_end, ExchangeSettings settings)
    : front_end_(front_end),
      settings_(std::move(settings)),
      FrameLog_(std::make_unique<TFrameLog>(settings_.LogFileName)) {
  TimerSendTimeout_.SetInterval(kReplyTimeOut);
  TimerSendTimeout_.OnTimer = [this] { TimerSendTimeoutTimer(); };
  TimerSettle_.OnTimer = [this] { TimerSettleTimer(); };
}

TExchange::~TExchange() {
  // Waiting for the discovery threads runs their hand-overs: a device reported now must not
  // start a transfer on a channel and log that are going away.
  Running_ = false;
  TimerSendTimeout_.SetEnabled(false);
  TimerSettle_.SetEnabled(false);
  FrameLog_.reset();
  Pack_.reset();
  StopDiscovery();
}

void TExchange::StartNegotiation() {
  try {
    Offset_ = 0;
    front_end_.SetStatusText(kTextNegotiation);
    Phase_ = 0;
    Running_ = true;
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
    auto ping = std::make_unique<TComPing>(name, settings_.DeviceNumber);
    ping->OnDeviceFound = [this](TCustomSerialPort* port) { DeviceFound(port); };
    PortList_.emplace_back(name, std::move(ping));
  }
}

void TExchange::StopDiscovery() {
  // Every thread is asked at once, and a port is closed as soon as its thread has ended: only a
  // ping write still under way is waited for, up to 100 ms from the request, and the waits of
  // all the ports overlap instead of adding up.
  for (auto& entry : PortList_)
    if (entry.second) entry.second->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + kPingWriteGrace;
  for (auto& [name, ping] : PortList_) {
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
  PortList_.clear();
}

void TExchange::DeviceFound(TCustomSerialPort* port) {
  // One device per run: a later answer, on this port or another, or one that comes after the
  // run was stopped, must not start a second transfer.
  if (Pack_ || !Running_) return;
  port->OnRxChar = nullptr;
  Pack_ = std::make_unique<TRSPack>(port);
  Pack_->OnPacket = [this](const uint8_t* f, int n) { PacketReceived(f, n); };
  Pack_->OnFrameSent = [this](const uint8_t* f, int n) { FrameSent(f, n); };
  StopPinging(port);
  front_end_.SetMainStatusPanel(0, port->Port());
  Phase_ = 1;
  SendBlock();
  front_end_.SetStatusText(kTextProgramming);
}

// The device's port is pinged no more, so the last ping answers are due by a known time. The
// first block goes out at once all the same: within the settle time only a command-1 frame can
// be a ping answer, and that is the one kind of reply MayAnswerAPing holds back.
void TExchange::StopPinging(TCustomSerialPort* port) {
  for (auto& [name, ping] : PortList_) {
    if (!ping || ping->SerialPort() != port) continue;
    ping->Terminate();
    if (const auto last = ping->LastPingWritten())
      SettleUntil_ = *last + kPingAnswerDelay + kSettleMargin;
  }
}

// A command-1 frame inside the settle time cannot be told from a late ping answer, so it
// acknowledges nothing; the frame awaiting its reply keeps its reply timer. Replies with
// command 2 or 3 never answer a ping and count at once.
bool TExchange::MayAnswerAPing(const RSPacket& packet) const {
  return packet.Command == cmdPing && std::chrono::steady_clock::now() < SettleUntil_;
}

// The checksum's reply ends the run, so it must not come inside the settle time, where a
// command-1 reply counts for nothing: a device that confirms with command 1 and then starts its
// new firmware would be reported as not confirming. Only a short image gets there that soon.
void TExchange::SendChecksumAfterSettle() {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(
      SettleUntil_ - std::chrono::steady_clock::now());
  if (left.count() <= 0) {
    SendChecksum();
    return;
  }
  ChecksumHeld_ = true;
  TimerSettle_.SetInterval(static_cast<int>(left.count()));
  TimerSettle_.SetEnabled(true);
}

void TExchange::TimerSettleTimer() {
  TimerSettle_.SetEnabled(false);
  if (!ChecksumHeld_ || !Running_) return;
  ChecksumHeld_ = false;
  SendChecksum();
}

void TExchange::SendBlock() {
  std::vector<uint8_t> block(kBlockSize, kFill);
  const int address = settings_.StartAddress + Offset_;
  const int available = std::clamp(settings_.ImageSize - address, 0, kBlockSize);
  if (available > 0)
    std::copy_n(settings_.ImageData + address, available, block.begin());
  Offset_ += kBlockSize;
  LastBlock_ = Offset_ >= settings_.StopAddress - settings_.StartAddress + 1;
  ShowProgress(settings_.StopAddress - settings_.StartAddress, Offset_);
  // The pump above may have run the stop button: a stopped run sends nothing more.
  if (!Running_) return;
  RSPacket packet{133, settings_.DeviceNumber, cmdWriteBlock, static_cast<uint16_t>(address),
                  std::move(block)};
  TimerSendTimeout_.SetEnabled(true);
  Pack_->SendPacket(packet);
}

void TExchange::SendChecksum() {
  const uint16_t sum = RangeSum(settings_.ImageData, settings_.ImageSize, settings_.StartAddress,
                                settings_.StopAddress);
  RSPacket packet{7, settings_.DeviceNumber, cmdChecksum, 0,
                  {static_cast<uint8_t>(sum & 0xFF), static_cast<uint8_t>(sum >> 8)}};
  TimerSendTimeout_.SetEnabled(true);
  Pack_->SendPacket(packet);
}

void TExchange::PacketReceived(const uint8_t* frame, int length) {
  if (!Running_) return;
  if (front_end_.LogFrames()) LogFrame(false, frame, length);
  if (!CheckFrame(frame, length)) {
    front_end_.SetStatusText(kTextChecksumError);
    if (front_end_.LogFrames()) FrameLog_->AddLine(kTextChecksumError);
    return;
  }
  HandleReply(Pack_->DecodePacket(frame, length));
}

void TExchange::FrameSent(const uint8_t* frame, int length) {
  if (front_end_.LogFrames()) LogFrame(true, frame, length);
}

void TExchange::HandleReply(const RSPacket& packet) {
  const bool accepted = (packet.Command == cmdWriteBlock &&
                         packet.Device == settings_.DeviceNumber) ||
                        packet.Command == cmdPing || packet.Command == cmdChecksum;
  // While the checksum frame is held back no frame awaits a reply.
  if (!accepted || ChecksumHeld_ || MayAnswerAPing(packet)) return;
  RetryCount_ = 0;
  TimerSendTimeout_.SetEnabled(false);
  if (Phase_ == 1 && !LastBlock_) {
    SendBlock();
  } else if (Phase_ == 1) {
    Offset_ = 0;
    Phase_ = 2;
    SendChecksumAfterSettle();
  } else if (Phase_ == 2) {
    Offset_ = 0;
    Phase_ = 3;
    Running_ = false;
    ShowStatus(kTextFinished);
    front_end_.Close(mrOk);
  }
}

void TExchange::TimerSendTimeoutTimer() {
  TimerSendTimeout_.SetEnabled(false);
  ++RetryCount_;
  if (RetryCount_ >= RetryLimit) {
    RetryCount_ = 0;
    Offset_ = 0;
    Running_ = false;
    ShowProgress(0, 0);
    front_end_.ShowMessage(Phase_ == 2 ? kTextNoChecksumConfirmation : kTextNoAnswer);
    front_end_.Close(mrCancel);
    return;
  }
  Offset_ = Offset_ < kBlockSize ? 0 : Offset_ - kBlockSize;
  if (Phase_ == 1)
    SendBlock();
  else if (Phase_ == 2)
    SendChecksum();
}

void TExchange::AbortExchange() {
  Running_ = false;
  TimerSendTimeout_.SetEnabled(false);
  TimerSettle_.SetEnabled(false);
  ShowProgress(0, 0);
  ShowStatus(kTextAborted);
}

void TExchange::ShowProgress(int total, int done) {
  front_end_.SetProgress(ProgressPosition(total, done));
  front_end_.ProcessMessages();
}

void TExchange::LogFrame(bool sent, const uint8_t* frame, int length) {
  FrameLog_->LogFrame(sent, frame, length);
}

}  // namespace orvix
