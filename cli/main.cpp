// orvix-flash: programs an image into the device from the command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "channel/com_ping.h"
#include "cli/console.h"
#include "cli/console_front_end.h"
#include "cli/gang_front_end.h"
#include "cli/json_events.h"
#include "cli/options.h"
#include "cli/port_commands.h"
#include "exchange/exchange.h"
#include "exchange/gang.h"
#include "exchange/hex_digits.h"
#include "exchange/image_file.h"
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
};

// The stop thread lives as long as the process, the loop only as long as the run: the thread
// reaches the loop only through here, under the lock, so a signal that comes while the run
// ends finds no loop rather than one being destroyed.
class StopRequest {
 public:
  // Never destroyed: the stop thread may call Ask() while the process exits.
  static StopRequest& Instance() {
    static StopRequest* const instance = new StopRequest;
    return *instance;
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

// Every port of the run accounted for, each named once: one that cannot be opened as soon as that
// is known (unless --quiet), and when no port is left to ping, every port not named yet with why
// it was given up.
class PortAccount {
 public:
  explicit PortAccount(TConsoleFrontEnd& out) : out_(out) {}

  void NameUnopened(const TDiscovery& discovery) {
    if (out_.Quiet()) return;
    for (const auto& [name, ping] : discovery.PortList())
      if (ping->Finished() && ping->OpenFailed()) Name(name, *ping);
  }

  // At the end of the run: a thread still opening its port gets a moment to know the outcome,
  // so that the lines before the verdict name every port that could not be opened.
  void NameUnopenedAtEnd(TPlainMessageLoop& loop, const TDiscovery& discovery) {
    if (out_.Quiet()) return;
    const auto opening = [&] {
      for (const auto& entry : discovery.PortList())
        if (!entry.second->Finished() && !entry.second->SerialPort()->Connected()) return true;
      return false;
    };
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (opening() && std::chrono::steady_clock::now() < give_up)
      loop.RunUntil([&] { return !opening(); }, std::chrono::milliseconds(10));
    NameUnopened(discovery);
  }

  void NameGivenUp(const TDiscovery& discovery) {
    if (discovery.PortList().empty()) {
      out_.PrintLine("orvix-flash: no serial port to ping");
      return;
    }
    for (const auto& [name, ping] : discovery.PortList()) Name(name, *ping);
  }

 private:
  void Name(const std::string& name, const TComPing& ping) {
    if (!named_.insert(name).second) return;
    if (!ping.OpenFailed()) {
      const std::string cause = ping.FailureText();
      out_.PrintLine("orvix-flash: port " + name + ": " +
                     (cause.empty() ? "no answer, given up" : cause));
      return;
    }
    const std::string path = PortDevicePath(name);
    const std::string where = path.empty() || path == name ? name : name + " (" + path + ")";
    std::string cause =
        ping.FailureCode() >= 0 ? PortErrorText(ping.FailureCode()) : ping.FailureText();
    // The way out, once a run: every port the user may not open has the same cure.
    if (!permission_hint_given_ && ping.FailureCode() >= 0 &&
        IsPermissionError(ping.FailureCode())) {
      if (const auto advice = PermissionAdvice(path.empty() ? name : path)) {
        cause += "; " + *advice;
        permission_hint_given_ = true;
      }
    }
    out_.PrintLine("orvix-flash: " + where + ": cannot open: " + cause);
  }

  TConsoleFrontEnd& out_;
  std::set<std::string> named_;
  bool permission_hint_given_ = false;
};

// What both kinds of run share, made ready before the device hears anything.
struct TPreparedRun {
  TImage Loaded;
  TExchangeSettings Settings;
  std::vector<std::string> Ports;  // those that will be pinged
};

// Loads the image, checks the log and picks the ports; an exit status when the run cannot be.
std::optional<int> Prepare(const TFlashOptions& options, TPreparedRun& run) {
  try {
    run.Loaded = ReadImage(options.Image, options.Format);
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kBadImage;
  }
  if (run.Loaded.Data.empty()) {
    PrintError("image \"" + FullFileName(options.Image) + "\" is empty: nothing to program");
    return kBadImage;
  }
  // The log is written from the first frame on, in the middle of the exchange: a log that cannot
  // be written is refused before the device hears anything.
  if (std::string why; !options.LogFile.empty() && !CanWriteFile(options.LogFile, why)) {
    PrintError("cannot write the frame log \"" + options.LogFile + "\": " + why);
    return kBadLog;
  }
  TExchangeSettings& settings = run.Settings;
  settings.DeviceNumber = static_cast<uint8_t>(options.Device);
  settings.StartAddress = static_cast<uint16_t>(run.Loaded.Start);
  settings.StopAddress = static_cast<uint16_t>(run.Loaded.Stop);
  settings.ImageData = run.Loaded.Data.data();
  settings.ImageSize = static_cast<int>(run.Loaded.Data.size());
  settings.LogFileName = options.LogFile;
  if (!options.Port.empty()) settings.Ports = {options.Port};
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
    PrintError(e.what());
    return kNoReply;
  }
  return std::nullopt;
}

// Which format was taken, and where the run will write, before the device hears anything.
void SayWhatIsWritten(const TFlashOptions& options, const TPreparedRun& run,
                      TConsoleFrontEnd& out, TJsonEvents& json) {
  const TImage& loaded = run.Loaded;
  if (!options.Quiet) {
    const std::string chosen = FullFileName(options.Image) + ": " + FormatName(loaded.Format) +
                               ", addresses " + AddressText(static_cast<uint32_t>(loaded.Start)) +
                               "-" + AddressText(static_cast<uint32_t>(loaded.Stop));
    out.Say("orvix-flash: " + chosen);
  }
  TJsonFields start;
  start.Text("image", FullFileName(options.Image))
      .Text("format", FormatWord(loaded.Format))
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

// Errors the loop catches go where the run's messages go; then what will be written is said.
void BeginRun(const TFlashOptions& options, const TPreparedRun& run, TConsoleFrontEnd& out,
              TJsonEvents& json) {
  SetExceptionHandler([&out](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      out.PrintLine(std::string("orvix-flash: ") + e.what());
    } catch (...) {
      out.PrintLine("orvix-flash: unknown error");
    }
  });
  SayWhatIsWritten(options, run, out, json);
}

// The port lines: each port as it opens or is given up.
void ReportPorts(TDiscovery& discovery, TJsonEvents& json) {
  if (!json.On()) return;
  discovery.OnPortOpened = [&json](const std::string& name) {
    json.Emit("port", TJsonFields()
                          .Text("port", name)
                          .Text("path", PortDevicePath(name))
                          .Text("state", "opened"));
  };
  discovery.OnPortFailed = [&json](const std::string& name, const TComPing& ping) {
    std::string cause =
        ping.FailureCode() >= 0 ? PortErrorText(ping.FailureCode()) : ping.FailureText();
    if (cause.empty()) cause = "no answer, given up";
    json.Emit("port", TJsonFields()
                          .Text("port", name)
                          .Text("path", PortDevicePath(name))
                          .Text("state", "failed")
                          .Text("error", cause));
  };
}

void EmitSummary(TJsonEvents& json, int devices, int finished, int failed, int stopped,
                 int expect, int exit_status) {
  TJsonFields summary;
  summary.Number("devices", devices)
      .Number("finished", finished)
      .Number("failed", failed)
      .Number("stopped", stopped);
  if (expect > 0) summary.Number("expect", expect);
  summary.Number("exit_status", exit_status);
  json.Emit("summary", summary);
}

double SecondsSince(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int FlashOne(const TFlashOptions& options, TPreparedRun& run, TJsonEvents& json) {
  TPlainMessageLoop loop;
  TPortEvents events(json);
  TConsoleFrontEnd out(options.Quiet, StderrIsTerminal(), !options.LogFile.empty(),
                       json.On() ? &events : nullptr);
  BeginRun(options, run, out, json);
  const StopRequestAttachment attachment(loop);
  InstallStopHandler([] { StopRequest::Instance().Ask(); });

  int code = kNoReply;
  {
    TExchange exchange(out, run.Settings);
    ReportPorts(exchange.Discovery(), json);
    PortAccount ports(out);
    bool stopped = false, no_device = false;
    // Looks after what the window leaves to its user: the --wait limit, and a negotiation with
    // no port left to ping, which would otherwise wait for ever.
    TTimer watch;
    watch.SetInterval(250);
    const auto started = std::chrono::steady_clock::now();
    watch.OnTimer = [&] {
      if (out.Closed()) return;
      ports.NameUnopened(exchange.Discovery());
      if (exchange.Phase() != TExchangePhase::epNegotiation) return;
      const bool any_pinging = exchange.Discovery().AnyPinging();
      if (!any_pinging) ports.NameGivenUp(exchange.Discovery());
      if (!any_pinging || (options.WaitSeconds >= 0 && SecondsSince(started) >= options.WaitSeconds)) {
        no_device = true;
        out.SetFinalText(kTextNoAnswer);
        out.Close(mrCancel);
      }
    };
    // A signal (SIGINT, SIGTERM, SIGHUP) stops the run exactly as the stop button does.
    auto stop_if_asked = [&] {
      if (StopRequest::Instance().Asked() && !out.Closed()) {
        stopped = true;
        exchange.AbortExchange();
        out.Close(mrCancel);
      }
      return out.Closed();
    };

    try {
      exchange.StartNegotiation();
    } catch (const std::exception& e) {
      PrintError(e.what());
      EmitSummary(json, 0, 0, 0, 0, 0, kNoReply);  // a start line is always followed by one
      return kNoReply;
    }
    watch.SetEnabled(true);
    loop.RunUntil(stop_if_asked);
    watch.SetEnabled(false);
    ports.NameUnopenedAtEnd(loop, exchange.Discovery());
    if (out.Result() == mrOk)
      code = kFinished;
    else if (stopped)
      code = kStopped;
    else if (no_device)
      code = kNoDevice;
    else
      code = kNoReply;
    if (const TTransfer* transfer = exchange.Transfer(); transfer && events.WasFound()) {
      events.Result(OutcomeStatus(out.Result(), stopped, out.FinalText()), transfer->BlocksSent(),
                    run.Settings.StopAddress - run.Settings.StartAddress + 1, out.FinalText());
    }
    const bool found = exchange.Transfer() != nullptr;
    EmitSummary(json, found ? 1 : 0, code == kFinished ? 1 : 0,
                found && code == kNoReply ? 1 : 0, found && stopped ? 1 : 0, 0, code);
  }  // the teardown closes every port and ends every thread before the verdict is printed
  out.PrintLine(out.FinalText());
  return code;
}

// "3 из 4 устройств запрограммированы": the count agrees with the number after "из".
std::string GangSummaryText(int finished, int of) {
  const bool one = of % 10 == 1 && of % 100 != 11;
  return std::to_string(finished) + " из " + std::to_string(of) +
         (one ? " устройства" : " устройств") + " запрограммированы";
}

int FlashAll(const TFlashOptions& options, TPreparedRun& run, TJsonEvents& json) {
  TPlainMessageLoop loop;
  TConsoleFrontEnd out(options.Quiet, StderrIsTerminal(), false);
  BeginRun(options, run, out, json);
  const StopRequestAttachment attachment(loop);
  InstallStopHandler([] { StopRequest::Instance().Ask(); });

  const int bytes = run.Settings.StopAddress - run.Settings.StartAddress + 1;
  // Each port's front end lives until the end of the process's run, past the gang's teardown.
  std::vector<std::unique_ptr<TGangPortFrontEnd>> front_ends;
  int finished = 0, failed = 0, stopped_runs = 0;
  bool stopped = false;
  int code = kNoDevice;
  {
    TGangRun* gang_ptr = nullptr;
    auto on_end = [&](TGangPortFrontEnd& port) {
      int blocks = 0;
      for (const auto& gang_run : gang_ptr->Runs())
        if (gang_run.Port == port.Port()) blocks = gang_run.Transfer->BlocksSent();
      port.Events().Result(OutcomeStatus(port.Result(), port.Stopped(), port.FinalText()), blocks,
                           bytes, port.FinalText());
      if (port.Result() == mrOk)
        ++finished;
      else if (port.Stopped())
        ++stopped_runs;
      else
        ++failed;
    };
    TGangRun gang(run.Settings, options.Expect, [&](const std::string& port) -> TExchangeFrontEnd& {
      front_ends.push_back(std::make_unique<TGangPortFrontEnd>(port, out, json, on_end));
      return *front_ends.back();
    });
    gang_ptr = &gang;
    ReportPorts(gang.Discovery(), json);
    PortAccount ports(out);
    TTimer watch;
    watch.SetInterval(250);
    const auto started = std::chrono::steady_clock::now();
    watch.OnTimer = [&] {
      ports.NameUnopened(gang.Discovery());
      if (!gang.DiscoveryOpen()) return;
      const bool any_pinging = gang.Discovery().AnyPinging();
      if (!any_pinging && gang.Devices() == 0) ports.NameGivenUp(gang.Discovery());
      if (!any_pinging || (options.WaitSeconds >= 0 && SecondsSince(started) >= options.WaitSeconds))
        gang.EndDiscovery();
    };
    // A signal stops every run as the stop button stops one.
    auto stop_if_asked = [&] {
      if (StopRequest::Instance().Asked() && !stopped) {
        stopped = true;
        gang.Abort();
      }
      return gang.Done();
    };
    try {
      gang.Start();
    } catch (const std::exception& e) {
      PrintError(e.what());
      EmitSummary(json, 0, 0, 0, 0, options.Expect, kNoReply);
      return kNoReply;
    }
    watch.SetEnabled(true);
    loop.RunUntil(stop_if_asked);
    watch.SetEnabled(false);
    ports.NameUnopenedAtEnd(loop, gang.Discovery());
    const int devices = gang.Devices();
    if (stopped)
      code = kStopped;
    else if (failed > 0)
      code = kNoReply;
    else if (devices == 0 || devices < options.Expect)
      code = kNoDevice;
    else
      code = kFinished;
    EmitSummary(json, devices, finished, failed, stopped_runs, options.Expect, code);
    if (devices == 0 && options.Expect == 0)
      out.SetFinalText(stopped ? kTextAborted : kTextNoAnswer);
    else
      out.SetFinalText(GangSummaryText(finished, std::max(devices, options.Expect)));
  }  // every port closed and every thread ended before the verdict
  out.PrintLine(out.FinalText());
  return code;
}

int Flash(const TFlashOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  TPreparedRun run;
  if (const auto code = Prepare(options, run)) return *code;
  TJsonEvents json(options.Json ? stdout : nullptr, started);
  return options.All ? FlashAll(options, run, json) : FlashOne(options, run, json);
}

}  // namespace
}  // namespace orvix

int main(int argc, char** argv) {
  using namespace orvix;
  IgnoreBrokenPipe();
  RaiseOpenPortLimit();
  std::string error;
  auto options = ParseFlashOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "orvix-flash: %s\n\n%s", error.c_str(), kFlashUsage);
    return kUsage;
  }
  if (options->Help) {
    std::fputs(kFlashUsage, stdout);
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
