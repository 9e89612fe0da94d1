// The run on one port whose device has answered: the range in acknowledged 128-byte blocks, a
// resend after a silence, then the 16-bit sum. The single run has one; a gang run one a device.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "exchange/exchange_front_end.h"
#include "link/frame.h"
#include "runtime/message_loop.h"

namespace orvix {

class TCustomSerialPort;
class TFrameLog;
class TRSPack;

class TTransfer {
 public:
  static constexpr int kBlockSize = kBlockDataSize;
  static constexpr uint8_t kFill = 0xFF;
  static constexpr int kReplyTimeOut = 5000;
  static constexpr int32_t RetryLimit = 2;
  // Ping answers still on their way when the device's port is handed over. The bound: an answer
  // may come up to kPingAnswerDelay after its ping, and a ping may have any number of answers
  // (two, say, in separate reads). The margin covers the ping's and the answer's time on the
  // line, a USB adapter's latency timer and this machine's own delays under load.
  static constexpr std::chrono::milliseconds kPingAnswerDelay{200};
  static constexpr std::chrono::milliseconds kSettleMargin{150};

  // The 16-bit sum of the image over the range; addresses past the image's end add nothing.
  static uint16_t RangeSum(const uint8_t* image, int image_size, uint16_t start, uint16_t stop);
  // When the last ping answers on a handed-over port are due, from when its last ping went out.
  static std::chrono::steady_clock::time_point SettleUntil(
      std::optional<std::chrono::steady_clock::time_point> last_ping);

  // Takes the open port's received bytes over at once, so that nothing received while discovery
  // lets go of the port starts anything; the port stays the caller's. A null log: frames are not
  // logged.
  TTransfer(TExchangeFrontEnd& front_end, const TExchangeSettings& settings,
            TCustomSerialPort* port, TFrameLog* log);
  ~TTransfer();
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;

  // Sends the first block. Until settle_until a command-1 frame may still be a ping's answer.
  void Start(std::chrono::steady_clock::time_point settle_until);
  // The stop button: nothing more is sent.
  void Abort();

  // Driven by the channel and the reply timer; public for the front ends' tests.
  void PacketReceived(const uint8_t* frame, int length);
  void FrameSent(const uint8_t* frame, int length);
  void TimerSendTimeoutTimer();

  TExchangePhase Phase() const { return phase_; }
  int32_t Offset() const { return offset_; }
  bool LastBlock() const { return last_block_; }
  uint16_t RetryCount() const { return retry_count_; }
  bool Running() const { return running_; }
  // Finished, given up or stopped: nothing more will be sent. Not before Start().
  bool Ended() const { return ended_; }
  // Block frames sent so far, resends included.
  int BlocksSent() const { return blocks_sent_; }
  TRSPack* Pack() const { return pack_.get(); }
  TTimer& TimerSendTimeout() { return timer_send_timeout_; }

 private:
  void SendBlock();
  void SendChecksum();
  void Send(const RSPacket& packet);
  void HandleReply(const RSPacket& packet);
  bool MayAnswerAPing(const RSPacket& packet) const;
  void SendChecksumAfterSettle();
  void TimerSettleTimer();
  void ShowProgress(int total, int done);
  void ShowStatus(const std::string& text) {
    front_end_.SetMainStatusPanel(TStatusPanel::spStatusText, text);
  }

  TExchangeFrontEnd& front_end_;
  const TExchangeSettings& settings_;
  TFrameLog* log_;
  TExchangePhase phase_ = TExchangePhase::epBlockTransfer;
  int32_t offset_ = 0;
  bool last_block_ = false;
  uint16_t retry_count_ = 0;
  bool running_ = false;
  bool ended_ = false;
  int blocks_sent_ = 0;
  // Until then a command-1 frame on the device's port may be the answer to a ping.
  std::chrono::steady_clock::time_point settle_until_;
  bool checksum_held_ = false;  // the checksum frame waits for the settle time to end
  TTimer timer_settle_;
  std::unique_ptr<TRSPack> pack_;
  TTimer timer_send_timeout_;
};

}  // namespace orvix
