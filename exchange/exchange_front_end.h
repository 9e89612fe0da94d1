// What a programming run shows and what it is given: the texts, the phases, the front end's
// interface and the run's settings, shared by the single run, the gang run and their transfers.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace orvix {

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

// What a resend repeats.
enum class TResent : uint8_t { rsBlock, rsChecksum };

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
  // A frame went out again after its reply did not come; the window shows nothing of it.
  virtual void FrameResent(TResent /*what*/, uint16_t /*address*/) {}
  // A frame could not be written (the line went away); the reply timer still runs. By default
  // the error goes on to the loop's handler, as any error there does.
  virtual void SendFailed(std::exception_ptr error) { std::rethrow_exception(error); }
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
  int ReplyTimeOut = 5000;  // ms a frame waits for its reply before it goes out again
};

// The position the progress bar shows: 100 / total x done, half to even; 0 for a total of 0.
int ProgressPosition(int total, int done);

}  // namespace orvix
