// What a programming run tells its front end, as facts: the window, the console lines and the
// JSON lines each turn them into what they show, from texts of their own. The engine never names
// a text, and no front end learns what happened by reading one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "channel/discovery_line.h"
#include "runtime/text.h"

namespace orvix {

// Where a run stands; the numbers are the run's own, from negotiation to done.
enum class TExchangePhase : uint8_t {
  epNegotiation = 0,  // pinging every port until a device answers
  epBlockTransfer = 1,
  epChecksumSent = 2,
  epDone = 3,
};

// What a resend repeats.
enum class TResent : uint8_t { rsBlock, rsChecksum };

// A reply that acknowledged nothing.
enum class TBadReply : uint8_t {
  brChecksumError,  // the frame failed its checksum ("Error CS!" in the window)
  brForeignDevice,  // a command-2 reply with another device number
  brUnknownCommand,  // a command the reply rules do not know
};

// How a run on one port ended, or a single run that found no device.
enum class TOutcome : uint8_t {
  ocFinished,             // every block acknowledged and the checksum confirmed
  ocNoAnswer,             // a block frame went unanswered twice in a row
  ocChecksumUnconfirmed,  // every block acknowledged, the checksum frame unanswered twice
  ocStopped,              // the stop button, or a signal in the flasher
  ocLineLost,             // the port failed under the run (unplugged, adapter gone)
  ocNoDevice,             // no device answered within the wait, or no port was left to ping
};

// A port that discovery could not use.
struct TPortFailure {
  std::string Port;
  bool OpenFailed = false;  // the open failed; otherwise a write failed or an answer never ended
  int SystemCode = -1;      // the system's error number, -1 when none
  TText Cause;              // the error as raised; none for an answer that never ended
};

// What the run did, for the user and for programs.
struct TRunFigures {
  uint16_t StartAddress = 0;
  uint16_t StopAddress = 0;
  int Bytes = 0;        // of the range
  int BlocksSent = 0;   // block frames, resends included
  int Resends = 0;      // frames of any kind sent again after a silence
  double Seconds = 0;   // from the device's answer to the end
  uint16_t Checksum = 0;  // the 16-bit sum of the range, as sent
};

struct TRunResult {
  TOutcome Outcome = TOutcome::ocNoDevice;
  std::string Port;  // where the device answered; empty with ocNoDevice
  // Where the run stood when it ended: tells a line lost during the blocks from one after the
  // checksum, as the no-answer texts do.
  TExchangePhase Phase = TExchangePhase::epNegotiation;
  uint16_t Address = 0;  // ocNoAnswer: the address of the block left unanswered
  // ocLineLost: the system's error in words, for a front end to word in its language
  // (EnglishText for logs and scripts).
  TText Cause;
  int PortsPinged = 0;   // ocNoDevice: ports discovery tried
  double SearchSeconds = 0;  // ocNoDevice: from the start to the give-up
  // The frame log failed during the run ("file: cause"); it was closed and the run went on.
  std::string LogError;
  TRunFigures Figures;
};

// The front end of a run. Every call comes on the main thread; every event but RunEnded may be
// left as it is. In a gang run each call names the port it is about.
class TRunEvents {
 public:
  virtual ~TRunEvents() = default;

  // Discovery begins on these ports.
  virtual void LookingForDevice(const std::vector<std::string>& /*ports*/) {}
  virtual void PortOpened(const std::string& /*port*/) {}
  virtual void PortGivenUp(const TPortFailure& /*failure*/) {}
  virtual void DeviceFound(const std::string& /*port*/) {}
  // Bytes of the range covered by the blocks sent so far (the block under way included) of the
  // total StopAddress - StartAddress; a resent block repeats its values. A give-up or a stop
  // does not report progress: the front end resets its display on RunEnded.
  virtual void Progress(const std::string& /*port*/, int /*done*/, int /*total*/) {}
  virtual void FrameResent(const std::string& /*port*/, TResent /*what*/, uint16_t /*address*/) {}
  virtual void BadReply(const std::string& /*port*/, TBadReply /*what*/) {}
  // The frame log could not be written: told once, as it happens; the run goes on without it.
  virtual void LogFailed(const std::string& /*file*/, const std::string& /*cause*/) {}
  // The run on a port ended, or the single run found no device. Once per run, last.
  virtual void RunEnded(const TRunResult& result) = 0;
  // Called after each progress step: the window lets pending input and painting run there. A
  // gang's front end leaves it empty, as its loop runs everything.
  virtual void ProcessMessages() {}
};

// The 5000 ms a frame waits for its reply before it goes out again.
inline constexpr int kReplyTimeOut = 5000;

struct TExchangeSettings {
  uint8_t DeviceNumber = 0;
  uint16_t StartAddress = 0;
  uint16_t StopAddress = 0;
  const uint8_t* ImageData = nullptr;  // byte i holds device address i; stays the caller's
  int ImageSize = 0;
  // The frame log's file; empty: no frame log.
  std::string LogFileName;
  // When not empty, discovery pings only these ports instead of listing the machine's.
  std::vector<std::string> Ports;
  // A single run that found no device ends with ocNoDevice after this many ms (-1: never), and,
  // when GiveUpWhenNoPortLeft, as soon as every port has been given up.
  int WaitMs = -1;
  bool GiveUpWhenNoPortLeft = false;
  int ReplyTimeOut = kReplyTimeOut;  // ms; shortened only by tests
  // The line's rate for discovery and the run; the reply time-out stays as it is at any rate.
  uint32_t BaudRate = kDiscoveryBaudRate;
  // A pulse on this line of each port before its first ping; only where the ports are chosen,
  // since it resets whatever device is on the line.
  TResetLine Reset = TResetLine::rlNone;
  int ResetMs = kDefaultResetMs;
};

// The position the progress bar shows: 100 / total x done, half to even; 0 for a total of 0.
int ProgressPosition(int total, int done);

}  // namespace orvix
