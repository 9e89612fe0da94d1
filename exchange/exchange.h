// One programming run: find the device, write the range in acknowledged 128-byte blocks,
// confirm the 16-bit sum. Runs wholly on the main thread; its front end (the exchange window or
// the command line) shows what it reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "exchange/frame_log.h"
#include "link/frame.h"
#include "runtime/message_loop.h"

namespace orvix {

class TComPing;
class TCustomSerialPort;
class TRSPack;

inline constexpr char kTextNegotiation[] = "Посылка пакетов согласования";
inline constexpr char kTextProgramming[] = "Программирование";
inline constexpr char kTextChecksumError[] = "Error CS!";
inline constexpr char kTextNoAnswer[] = "Нет ответа от устройства";
inline constexpr char kTextNoChecksumConfirmation[] = "Нет подтверждения контрольной суммы";
inline constexpr char kTextFinished[] = "Программирование завершено";
inline constexpr char kTextAborted[] = "Прграммирование прервано";

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

// Where a run stands; the numbers are the run's own, from negotiation to done.
enum class TExchangePhase : uint8_t {
  epNegotiation = 0,  // pinging every port until a device answers
  epBlockTransfer = 1,
  epChecksumSent = 2,
  epDone = 3,
};

// The panels of the main window's status bar that a run writes; panel 1 is never written.
enum class TStatusPanel : int {
  spPortName = 0,
  spStatusText = 2,
};

// What the engine needs of the window that shows it.
class TExchangeFrontEnd {
 public:
  virtual ~TExchangeFrontEnd() = default;
  virtual void SetStatusText(const std::string& text) = 0;  // the window's one-line status
  virtual void SetProgress(int position) = 0;               // 0..100, may lie outside
  virtual void ProcessMessages() = 0;                       // run everything pending
  virtual void SetMainStatusPanel(TStatusPanel panel, const std::string& text) = 0;
  virtual void ShowMessage(const std::string& text) = 0;  // returns once the user closed it
  virtual void Close(TModalResult result) = 0;
  virtual bool LogFrames() = 0;  // read for every frame
};

struct TExchangeSettings {
  uint8_t DeviceNumber = 0;
  uint16_t StartAddress = 0;
  uint16_t StopAddress = 0;
  const uint8_t* ImageData = nullptr;  // byte i holds device address i; stays the caller's
  int ImageSize = 0;
  std::string LogFileName;  // used only while the front end's LogFrames() holds
  // When not empty, discovery pings only these ports instead of listing the machine's.
  std::vector<std::string> Ports;
};

// The position the progress bar shows: 100 / total x done, half to even; 0 for a total of 0.
int ProgressPosition(int total, int done);

class TExchange {
 public:
  static constexpr int kBlockSize = kBlockDataSize;
  static constexpr uint8_t kFill = 0xFF;
  static constexpr int kReplyTimeOut = 5000;
  static constexpr int32_t RetryLimit = 2;
  // How long the teardown lets a ping write that is under way finish before it closes the port.
  static constexpr std::chrono::milliseconds kPingWriteGrace{100};
  // Ping answers still on their way when the device's port is handed over. The bound: an answer
  // may come up to kPingAnswerDelay after its ping, and a ping may have any number of answers
  // (two, say, in separate reads). The margin covers the ping's and the answer's time on the
  // line, a USB adapter's latency timer and this machine's own delays under load.
  static constexpr std::chrono::milliseconds kPingAnswerDelay{200};
  static constexpr std::chrono::milliseconds kSettleMargin{150};

  TExchange(TExchangeFrontEnd& front_end, TExchangeSettings settings);
  // The teardown: frame log, packet channel, then discovery (every port closed, every thread
  // ended).
  ~TExchange();
  TExchange(const TExchange&) = delete;
  TExchange& operator=(const TExchange&) = delete;

  void StartNegotiation();
  void AbortExchange();

  // Operations driven by the channel, discovery and the reply timer; public for the front ends'
  // tests.
  void DeviceFound(TCustomSerialPort* port);
  void PacketReceived(const uint8_t* frame, int length);
  void FrameSent(const uint8_t* frame, int length);
  void TimerSendTimeoutTimer();

  uint8_t DeviceNumber() const { return settings_.DeviceNumber; }
  uint16_t StartAddress() const { return settings_.StartAddress; }
  uint16_t StopAddress() const { return settings_.StopAddress; }
  TExchangePhase Phase() const { return phase_; }
  int32_t Offset() const { return offset_; }
  bool LastBlock() const { return last_block_; }
  uint16_t RetryCount() const { return retry_count_; }
  bool Running() const { return running_; }
  TRSPack* Pack() const { return pack_.get(); }
  const TFrameLog& FrameLog() const { return *frame_log_; }
  const std::vector<std::pair<std::string, std::unique_ptr<TComPing>>>& PortList() const {
    return port_list_;
  }
  TTimer& TimerSendTimeout() { return timer_send_timeout_; }

  // The 16-bit sum of the image over the range; addresses past the image's end add nothing.
  static uint16_t RangeSum(const uint8_t* image, int image_size, uint16_t start, uint16_t stop);

 private:
  void StartDiscovery();
  void StopDiscovery();
  void SendBlock();
  void SendChecksum();
  void HandleReply(const RSPacket& packet);
  void StopPinging(TCustomSerialPort* port);
  bool MayAnswerAPing(const RSPacket& packet) const;
  void SendChecksumAfterSettle();
  void TimerSettleTimer();
  void ShowProgress(int total, int done);
  void ShowStatus(const std::string& text) {
    front_end_.SetMainStatusPanel(TStatusPanel::spStatusText, text);
  }
  void LogFrame(bool sent, const uint8_t* frame, int length);

  TExchangeFrontEnd& front_end_;
  TExchangeSettings settings_;
  TExchangePhase phase_ = TExchangePhase::epNegotiation;
  int32_t offset_ = 0;
  bool last_block_ = false;
  uint16_t retry_count_ = 0;
  bool running_ = false;
  // Until then a command-1 frame on the device's port may be the answer to a ping.
  std::chrono::steady_clock::time_point settle_until_{};
  bool checksum_held_ = false;  // the checksum frame waits for the settle time to end
  TTimer timer_settle_;
  std::unique_ptr<TFrameLog> frame_log_;
  std::vector<std::pair<std::string, std::unique_ptr<TComPing>>> port_list_;
  std::unique_ptr<TRSPack> pack_;
  TTimer timer_send_timeout_;
};

}  // namespace orvix
