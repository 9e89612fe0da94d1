// orvix-flash: programs an image into the device from the command line.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "channel/com_ping.h"
#include "cli/console.h"
#include "cli/console_events.h"
#include "cli/event_fan.h"
#include "cli/flash_catalogues.h"
#include "cli/json_events.h"
#include "cli/options.h"
#include "cli/port_commands.h"
#include "cli/run_texts.h"
#include "cli/sha256.h"
#include "exchange/exchange.h"
#include "exchange/gang.h"
#include "exchange/hex_digits.h"
#include "exchange/image_file.h"
#include "runtime/language.h"
#include "runtime/plain_loop.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "serial/setup_check.h"

namespace orvix {
namespace {

enum ExitCode {
  kFinished = 0,
  kNoReply = 1,
  kStopped = 2,
  kNoDevice = 3,
  kUsage = 64,
  kBadImage = 66,
  kBadLog = 73,
  kConfig = 78,  // EX_CONFIG: ORVIX_PORTS has a bad entry
};

// The stop thread lives as long as the process, the loop only as long as the run: the thread
// reaches the loop only through here, under the lock, so a signal that comes while the run
// ends finds no loop rather than one being destroyed.
class StopRequest {
 public:
  // Never destroyed: the stop thread may call Ask() while the process exits.
  static StopRequest& Instance() {
    static StopRequest* const kInstance = new StopRequest;
    return *kInstance;
  }
  void Attach(TMessageLoop* loop) {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = loop;
  }
  void Ask() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!asked_.exchange(true) && loop_) loop_->Post([] {});
  }
  bool Asked() const { return asked_.load(); }

 private:
  std::mutex mutex_;
  TMessageLoop* loop_ = nullptr;
  std::atomic<bool> asked_{false};
};

// The lines a resize redraws, reached from the signal thread only through here, under the lock,
// as the loop is through StopRequest.
class ResizeRequest {
 public:
  // Never destroyed: the signal thread may call Resized() while the process exits.
  static ResizeRequest& Instance() {
    static ResizeRequest* const kInstance = new ResizeRequest;
    return *kInstance;
  }
  void Attach(TConsoleLines* lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_ = lines;
  }
  void Resized() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_) lines_->Resized();
  }

 private:
  std::mutex mutex_;
  TConsoleLines* lines_ = nullptr;
};

struct ResizeAttachment {
  explicit ResizeAttachment(TConsoleLines& lines) { ResizeRequest::Instance().Attach(&lines); }
  ~ResizeAttachment() { ResizeRequest::Instance().Attach(nullptr); }
  ResizeAttachment(const ResizeAttachment&) = delete;
  ResizeAttachment& operator=(const ResizeAttachment&) = delete;
};

// Detaches the loop from the stop request before the loop goes.
struct StopRequestAttachment {
  explicit StopRequestAttachment(TMessageLoop& loop) { StopRequest::Instance().Attach(&loop); }
  ~StopRequestAttachment() { StopRequest::Instance().Attach(nullptr); }
  StopRequestAttachment(const StopRequestAttachment&) = delete;
  StopRequestAttachment& operator=(const StopRequestAttachment&) = delete;
};

void PrintError(const std::string& text) {
  std::fprintf(stderr, "orvix-flash: %s\n", text.c_str());
}

bool WriteStderr(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stderr) == text.size() &&
         std::fflush(stderr) == 0;
}

// What both kinds of run share, made ready before the device hears anything.
struct TPreparedRun {
  TImage Loaded;
  std::string Sha256;  // of the file's bytes as read
  TExchangeSettings Settings;
  std::vector<std::string> Ports;  // those that will be pinged
};

// The file's bytes again, for its digest: the image is what they decode to, not the file.
std::optional<std::string> FileSha256(const std::string& path, std::string& why) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    why = std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + got);
  const bool failed = std::ferror(file) != 0;
  if (failed) why = std::strerror(errno);
  std::fclose(file);
  if (failed) return std::nullopt;
  return Sha256Hex(bytes);
}

// Loads the image, checks the log and picks the ports; an exit status when the run cannot be.
std::optional<int> Prepare(const TFlashOptions& options, TPreparedRun& run) {
  try {
    run.Loaded = ReadImage(options.Image, options.Format);
  } catch (const std::exception& e) {
    PrintError(ErrorText(e));
    return kBadImage;
  }
  if (run.Loaded.Data.empty()) {
    PrintError(FormatText(Tr("flash", "image \"%1\" is empty: nothing to program"),
                          {FullFileName(options.Image)}));
    return kBadImage;
  }
  std::string why;
  // Only the JSON lines carry it, and on a large file it costs more than the run's own work.
  if (options.Json) {
    if (const auto digest = FileSha256(options.Image, why)) {
      run.Sha256 = *digest;
    } else {
      PrintError(
          FormatText(Tr("flash", "cannot read \"%1\": %2"), {FullFileName(options.Image), why}));
      return kBadImage;
    }
  }
  // Refused before the device hears anything; a log that fails later only loses the log.
  if (!options.LogFile.empty() && !CanWriteFile(options.LogFile, why)) {
    PrintError(
        FormatText(Tr("flash", "cannot write the frame log \"%1\": %2"), {options.LogFile, why}));
    return kBadLog;
  }
  TExchangeSettings& settings = run.Settings;
  settings.DeviceNumber = static_cast<uint8_t>(options.Device);
  settings.StartAddress = static_cast<uint16_t>(run.Loaded.Start);
  settings.StopAddress = static_cast<uint16_t>(run.Loaded.Stop);
  settings.ImageData = run.Loaded.Data.data();
  settings.ImageSize = static_cast<int>(run.Loaded.Data.size());
  settings.LogFileName = options.LogFile;
  // The single run gives up by itself: at --wait, or when no port is left to ping.
  // Rounded, not cut: 0.29 s is 289.99... ms in binary.
  settings.WaitMs =
      options.WaitSeconds >= 0 ? static_cast<int>(std::lround(options.WaitSeconds * 1000)) : -1;
  settings.GiveUpWhenNoPortLeft = true;
  settings.BaudRate = options.BaudRate;
  settings.Reset = options.Reset;
  settings.ResetMs = options.ResetMs;
  if (!options.Port.empty()) {
    // Refused here, before a port is opened: opening an unknown name reads as a missing file.
    if (const auto code = RefuseUnknownPort(options.Port)) return *code;
    settings.Ports = {options.Port};
  }
  if (!options.PortFilters.empty()) {
    int code = kNoDevice;
    auto ports = PortsToPing(options.PortFilters, code);
    if (!ports) return code;
    settings.Ports = std::move(*ports);
  }
  run.Ports = settings.Ports;
  try {
    if (run.Ports.empty()) ListSerialPorts(run.Ports);
  } catch (const std::exception& e) {
    return PortListError(e);
  }
  return std::nullopt;
}

// Which format was taken, and where the run will write, before the device hears anything.
void SayWhatIsWritten(const TFlashOptions& options, const TPreparedRun& run,
                      TConsoleLines& lines, TJsonEvents& json) {
  const TImage& loaded = run.Loaded;
  lines.Say("orvix-flash: " +
            FormatText(Tr("flash", "%1: %2, addresses %3-%4"),
                       {FullFileName(options.Image), Tr("image", FormatName(loaded.Format).c_str()),
                        AddressText(static_cast<uint32_t>(loaded.Start)),
                        AddressText(static_cast<uint32_t>(loaded.Stop))}));
  TJsonFields start;
  start.Text("image", FullFileName(options.Image))
      .Text("format", FormatWord(loaded.Format))
      .Text("sha256", run.Sha256)
      .Number("start", loaded.Start)
      .Number("stop", loaded.Stop)
      .Number("bytes", loaded.Stop - loaded.Start + 1)
      .Number("device", options.Device)
      .Texts("ports", run.Ports)
      .Text("mode", options.All ? "gang" : "single");
  if (options.Expect > 0) start.Number("expect", options.Expect);
  if (options.WaitSeconds >= 0) start.Seconds("wait", options.WaitSeconds);
  json.Emit("start", start);
}

// The harness's own account of the runs: what the summary and the exit status are made of.
class RunTally final : public TRunEvents {
 public:
  void LogFailed(const std::string& /*file*/, const std::string& /*cause*/) override {
    log_failed_ = true;
  }
  void RunEnded(const TRunResult& result) override {
    ++ended_;
    last_ = result;
    if (!result.LogError.empty()) log_failed_ = true;
    // A single run stopped or given up before any device answered has no port's result.
    if (result.Port.empty()) return;
    ++devices_;
    switch (result.Outcome) {
      case TOutcome::ocFinished:
        ++finished_;
        break;
      case TOutcome::ocStopped:
        ++stopped_;
        break;
      default:
        ++failed_;
    }
  }

  int Ended() const { return ended_; }
  const TRunResult& Last() const { return last_; }
  bool LogLost() const { return log_failed_; }
  TRunSummary Summary(int devices, int expect, int exit_status) const {
    return {devices, finished_, failed_, stopped_, expect, exit_status};
  }
  int ResultsWithPort() const { return devices_; }
  int Finished() const { return finished_; }
  int Failed() const { return failed_; }

 private:
  int ended_ = 0;
  int devices_ = 0;
  int finished_ = 0, failed_ = 0, stopped_ = 0;
  bool log_failed_ = false;
  TRunResult last_;
};

// What the harness drives, a single run or a gang.
class Driver {
 public:
  virtual ~Driver() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;  // as the stop button
  virtual bool Done() const = 0;
  virtual TDiscovery& Discovery() = 0;
  virtual void Watch() {}  // now and then while the run goes on
};

class SingleDriver final : public Driver {
 public:
  SingleDriver(TRunEvents& events, const TExchangeSettings& settings, const RunTally& tally)
      : exchange_(events, settings), tally_(tally) {}
  void Start() override { exchange_.StartNegotiation(); }
  void Stop() override {
    stopped_ = true;
    exchange_.AbortExchange();
  }
  // A stop that somehow brought no end must not keep the flasher waiting.
  bool Done() const override { return tally_.Ended() > 0 || (stopped_ && !exchange_.Running()); }
  TDiscovery& Discovery() override { return exchange_.Discovery(); }

 private:
  TExchange exchange_;
  const RunTally& tally_;
  bool stopped_ = false;
};

class GangDriver final : public Driver {
 public:
  GangDriver(TRunEvents& events, const TExchangeSettings& settings, const TFlashOptions& options,
             TConsoleEvents& console)
      : gang_(settings, options.Expect, events),
        wait_seconds_(options.WaitSeconds),
        console_(console) {}
  void Start() override {
    started_ = std::chrono::steady_clock::now();
    gang_.Start();
    // On the millisecond: the watch's quarter-second ticks would end discovery up to a tick late.
    if (wait_seconds_ >= 0) {
      wait_limit_.OnTimer = [this] {
        wait_limit_.SetEnabled(false);
        if (gang_.DiscoveryOpen()) gang_.EndDiscovery();
      };
      wait_limit_.SetInterval(static_cast<int>(std::lround(wait_seconds_ * 1000)));
      wait_limit_.SetEnabled(true);
    }
  }
  void Stop() override { gang_.Abort(); }
  bool Done() const override { return gang_.Done(); }
  TDiscovery& Discovery() override { return gang_.Discovery(); }
  // Discovery ends at --wait, or when no port is left to ping.
  void Watch() override {
    if (!gang_.DiscoveryOpen()) return;
    const bool any_pinging = gang_.Discovery().AnyPinging();
    if (!any_pinging && gang_.Devices() == 0) console_.NameGivenUpPorts();
    const double waited =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (!any_pinging || (wait_seconds_ >= 0 && waited >= wait_seconds_)) gang_.EndDiscovery();
  }
  int Devices() const { return gang_.Devices(); }

 private:
  TGangRun gang_;
  double wait_seconds_;
  TConsoleEvents& console_;
  std::chrono::steady_clock::time_point started_;
  TTimer wait_limit_;
};

// At the end of the run: a thread still opening its port gets a moment to know the outcome, so
// that the lines before the verdict name every port that could not be opened.
void LetOpeningPortsEnd(TPlainMessageLoop& loop, const TDiscovery& discovery) {
  const auto opening = [&] {
    for (const auto& entry : discovery.PortList())
      if (!entry.second->Finished() && !entry.second->SerialPort()->Connected()) return true;
    return false;
  };
  if (!opening()) return;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (opening() && std::chrono::steady_clock::now() < give_up)
    loop.RunUntil([&] { return !opening(); }, std::chrono::milliseconds(10));
  // Discovery tells of a port's end on its next look.
  const auto told = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(2 * TDiscovery::kWatchInterval);
  loop.RunUntil([&] { return std::chrono::steady_clock::now() >= told; },
                std::chrono::milliseconds(2 * TDiscovery::kWatchInterval));
}

// "3 of 4 devices programmed"; in Russian the noun agrees with the number after "из".
std::string GangSummaryText(int finished, int of) {
  return FormatText(TrN("flash", "%1 of %n device(s) programmed",
                        "%1: how many were programmed; %n: of how many", of),
                    {std::to_string(finished)});
}

// The single run and the gang alike: start, signals, output, summary, exit status.
int RunHarness(const TFlashOptions& options, TPreparedRun& run, TJsonEvents& json) {
  TPlainMessageLoop loop;
  const bool terminal = StderrIsTerminal();
  TConsoleLines lines(options.Quiet, terminal, WriteStderr, StderrColumns);
  TConsoleEvents console(lines, options.All ? TConsoleEvents::TMode::mGang
                                            : TConsoleEvents::TMode::mSingle);
  TJsonRunEvents json_events(json);
  RunTally tally;
  TEventFan with_json{&console, &json_events, &tally};
  TEventFan without_json{&console, &tally};
  TRunEvents& events = json.On() ? static_cast<TRunEvents&>(with_json) : without_json;

  // Errors the loop catches go where the run's messages go.
  SetExceptionHandler([&lines](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      lines.PrintLine("orvix-flash: " + ErrorText(e));
    } catch (...) {
      lines.PrintLine("orvix-flash: " + Tr("flash", "unknown error"));
    }
  });
  SayWhatIsWritten(options, run, lines, json);
  const StopRequestAttachment attachment(loop);
  InstallStopHandler([] { StopRequest::Instance().Ask(); });
  const ResizeAttachment resize(lines);
  if (terminal && !options.Quiet) InstallResizeHandler([] { ResizeRequest::Instance().Resized(); });

  int code = kNoReply;
  int devices = 0;
  bool stopped = false;
  {
    std::unique_ptr<Driver> driver;
    GangDriver* gang = nullptr;
    if (options.All) {
      auto made = std::make_unique<GangDriver>(events, run.Settings, options, console);
      gang = made.get();
      driver = std::move(made);
    } else {
      driver = std::make_unique<SingleDriver>(events, run.Settings, tally);
    }
    try {
      driver->Start();
    } catch (const std::exception& e) {
      PrintError(ErrorText(e));
      // A start line is always followed by a summary.
      EmitSummary(json, tally.Summary(0, options.Expect, kNoReply));
      return kNoReply;
    }
    TTimer watch;
    watch.SetInterval(250);
    watch.OnTimer = [&] { driver->Watch(); };
    watch.SetEnabled(true);
    // A signal (SIGINT, SIGTERM, SIGHUP) stops the run exactly as the stop button does.
    loop.RunUntil([&] {
      if (StopRequest::Instance().Asked() && !stopped) {
        stopped = true;
        driver->Stop();
      }
      return driver->Done();
    });
    watch.SetEnabled(false);
    if (!options.Quiet) LetOpeningPortsEnd(loop, driver->Discovery());

    if (gang) {
      devices = gang->Devices();
      if (stopped)
        code = kStopped;
      else if (tally.Failed() > 0)
        code = kNoReply;
      else if (devices == 0 || devices < options.Expect)
        code = kNoDevice;
      else
        code = kFinished;
    } else {
      devices = tally.ResultsWithPort();
      const TOutcome outcome = tally.Ended() ? tally.Last().Outcome
                               : stopped     ? TOutcome::ocStopped
                                             : TOutcome::ocNoAnswer;
      switch (outcome) {
        case TOutcome::ocFinished:
          // The device holds its image; the log the user asked for does not hold the run.
          code = tally.LogLost() ? kBadLog : kFinished;
          break;
        case TOutcome::ocStopped:
          code = kStopped;
          break;
        case TOutcome::ocNoDevice:
          code = kNoDevice;
          break;
        default:
          code = kNoReply;
      }
    }
    EmitSummary(json, tally.Summary(devices, options.Expect, code));
  }  // the teardown closes every port and ends every thread before the verdict is printed
  if (!options.All)
    console.PrintVerdict();
  else if (devices == 0 && (stopped || options.Expect == 0))
    lines.PrintLine(Worded(stopped ? kTextAborted : kTextNoAnswer));
  else
    lines.PrintLine(GangSummaryText(tally.Finished(), std::max(devices, options.Expect)));
  return code;
}

int Flash(const TFlashOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  TPreparedRun run;
  if (const auto code = Prepare(options, run)) return *code;
  TJsonEvents json(options.Json ? stdout : nullptr, started);
  return RunHarness(options, run, json);
}

}  // namespace
}  // namespace orvix

int main(int argc, char** argv) {
  using namespace orvix;
  InstallCatalogues(FlashCatalogues());
  IgnoreBrokenPipe();
  RaiseOpenPortLimit();
  std::string error;
  auto options = ParseFlashOptions(argc, argv, error);
  if (!options) {
    std::fputs(UsageErrorText(error).c_str(), stderr);
    return kUsage;
  }
  if (options->Help) {
    std::fputs(FlashUsage().c_str(), stdout);
    return kFinished;
  }
  if (options->Version) {
    std::printf("orvix-flash %s\n", ORVIX_VERSION);
    return kFinished;
  }
  if (options->ListPorts)
    return ListPortsCommand(options->PortFilters, options->Long   ? TListFormat::Long
                                                  : options->Json ? TListFormat::Json
                                                                  : TListFormat::Plain);
  if (options->Check) return CheckCommand(options->PortFilters, options->Json);
  return Flash(*options);
}
