// The run on one port whose device has answered: a quiet start, the range in acknowledged
// 128-byte blocks, a resend after a silence, then the 16-bit sum. The single run has one; a gang
// run one a device.
#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "exchange/run_events.h"
#include "link/frame.h"
#include "runtime/message_loop.h"

namespace orvix {

class TCustomSerialPort;
class TFrameLog;
class TRSPack;

class TTransfer {
 public:
  using TClock = std::chrono::steady_clock;

  static constexpr int kBlockSize = kBlockDataSize;
  static constexpr uint8_t kFill = 0xFF;
  static constexpr int32_t RetryLimit = 2;
  // The bound of the quiet start: a device may answer a ping up to kPingAnswerDelay after it,
  // any number of times. No frame goes out before the last ping's answers are all in, so none of
  // them is ever taken for a reply; the margin covers the line, a USB adapter's latency timer and
  // this machine's own delays. Together at most 300 ms after the last ping.
  static constexpr std::chrono::milliseconds kPingAnswerDelay{200};
  static constexpr std::chrono::milliseconds kQuietMargin{50};

  // The 16-bit sum of the image over the range; addresses past the image's end add nothing.
  static uint16_t RangeSum(const uint8_t* image, int image_size, uint16_t start, uint16_t stop);
  // When the first block may go out on a port whose last ping went out then; now, with none.
  static TClock::time_point QuietUntil(std::optional<TClock::time_point> last_ping);

  // Takes the open port's received bytes over at once, so that nothing received while discovery
  // lets go of the port starts anything; the port stays the caller's. A null log: frames are not
  // logged.
  TTransfer(TRunEvents& events, const TExchangeSettings& settings, TCustomSerialPort* port,
            TFrameLog* log);
  ~TTransfer();
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;

  // The device answered: it is told, and the first block goes out at quiet_until. Whatever
  // arrives before then is logged and dropped.
  void Start(TClock::time_point quiet_until);
  // The stop button: nothing more is sent.
  void Abort();

  // Driven by the channel, the port and the reply timer; public for the front ends' tests.
  void PacketReceived(const uint8_t* frame, int length);
  void FrameSent(const uint8_t* frame, int length);
  void TimerSendTimeoutTimer();

  TExchangePhase Phase() const { return phase_; }
  uint16_t RetryCount() const { return retry_count_; }
  bool Running() const { return running_; }
  // Before the first block: ping answers may still be on their way.
  bool Quiet() const { return quiet_; }
  // Finished, given up, stopped or cut off: nothing more will be sent.
  bool Ended() const { return ended_; }
  int BlocksSent() const { return figures_.BlocksSent; }
  TRSPack* Pack() const { return pack_.get(); }

 private:
  void BeginBlocks();
  void SendBlock();
  void SendChecksum();
  void Send(const RSPacket& packet);
  void HandleReply(const RSPacket& packet);
  void LogFrame(bool sent, const uint8_t* frame, int length);
  void LogLine(const std::string& line);
  void LineLost(std::exception_ptr error);
  TRunResult Result(TOutcome outcome);
  void End(const TRunResult& result);

  TRunEvents& events_;
  const TExchangeSettings& settings_;
  TFrameLog* log_;
  std::string port_name_;
  TExchangePhase phase_ = TExchangePhase::epBlockTransfer;
  int32_t offset_ = 0;
  bool last_block_ = false;
  uint16_t retry_count_ = 0;
  bool running_ = false;
  bool quiet_ = true;
  bool ended_ = false;
  TClock::time_point found_at_;
  TRunFigures figures_;
  std::string log_error_;
  TTimer timer_quiet_;
  // A lost line is told from the loop, never from inside the failing port's own handler.
  TTimer timer_lost_;
  std::optional<TRunResult> lost_;
  std::unique_ptr<TRSPack> pack_;
  TTimer timer_send_timeout_;
};

}  // namespace orvix
