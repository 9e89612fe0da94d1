#include "exchange/exchange.h"

#include "channel/com_ping.h"
#include "channel/rs_pack.h"
#include "serial/serial_port.h"

namespace orvix {

TExchange::TExchange(TExchangeFrontEnd& front_end, TExchangeSettings settings)
    : front_end_(front_end),
      settings_(std::move(settings)),
      discovery_(settings_.DeviceNumber),
      frame_log_(std::make_unique<TFrameLog>(settings_.LogFileName)) {
  discovery_.OnDeviceFound = [this](TCustomSerialPort* port) { DeviceFound(port); };
}

TExchange::~TExchange() {
  // Waiting for the discovery threads runs their hand-overs: a device reported now must not
  // start a transfer on a channel and log that are going away.
  running_ = false;
  transfer_.reset();
  frame_log_.reset();
  discovery_.Stop();
}

void TExchange::StartNegotiation() {
  try {
    front_end_.SetStatusText(kTextNegotiation);
    running_ = true;
    front_end_.SetMainStatusPanel(TStatusPanel::spStatusText, kTextNoAnswer);
    discovery_.Start(settings_.Ports);
  } catch (...) {
    AbortExchange();
    throw;
  }
}

// The device's port is pinged no more, so the last ping answers are due by a known time. The
// first block goes out at once all the same: within the settle time only a command-1 frame can
// be a ping answer, and that is the one kind of reply the transfer holds back.
void TExchange::DeviceFound(TCustomSerialPort* port) {
  // One device per run: a later answer, on this port or another, or one that comes after the
  // run was stopped, must not start a second transfer.
  if (transfer_ || !running_) return;
  transfer_ = std::make_unique<TTransfer>(front_end_, settings_, port, frame_log_.get());
  transfer_->Start(TTransfer::SettleUntil(discovery_.HandOver(port)));
}

void TExchange::AbortExchange() {
  running_ = false;
  if (transfer_) {
    transfer_->Abort();
    return;
  }
  front_end_.SetProgress(0);
  front_end_.ProcessMessages();
  front_end_.SetMainStatusPanel(TStatusPanel::spStatusText, kTextAborted);
}

}  // namespace orvix
