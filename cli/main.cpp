// orvix-flash: programs an image into the device from the command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

#include "channel/com_ping.h"
#include "cli/console.h"
#include "cli/console_front_end.h"
#include "cli/options.h"
#include "cli/port_commands.h"
#include "exchange/exchange.h"
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

  void NameUnopened(const TExchange& exchange) {
    if (out_.Quiet()) return;
    for (const auto& [name, ping] : exchange.PortList())
      if (ping->Finished() && ping->OpenFailed()) Name(name, *ping);
  }

  // At the end of the run: a thread still opening its port gets a moment to know the outcome,
  // so that the lines before the verdict name every port that could not be opened.
  void NameUnopenedAtEnd(TPlainMessageLoop& loop, const TExchange& exchange) {
    if (out_.Quiet()) return;
    const auto opening = [&] {
      for (const auto& entry : exchange.PortList())
        if (!entry.second->Finished() && !entry.second->SerialPort()->Connected()) return true;
      return false;
    };
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (opening() && std::chrono::steady_clock::now() < give_up)
      loop.RunUntil([&] { return !opening(); }, std::chrono::milliseconds(10));
    NameUnopened(exchange);
  }

  void NameGivenUp(const TExchange& exchange) {
    if (exchange.PortList().empty()) {
      out_.PrintLine("orvix-flash: no serial port to ping");
      return;
    }
    for (const auto& [name, ping] : exchange.PortList()) Name(name, *ping);
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

int Flash(const TFlashOptions& options) {
  TImage loaded;
  try {
    loaded = ReadImage(options.Image, options.Format);
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kBadImage;
  }
  const std::vector<uint8_t>& image = loaded.Data;
  if (image.empty()) {
    PrintError("image \"" + FullFileName(options.Image) + "\" is empty: nothing to program");
    return kBadImage;
  }
  // The log is written from the first frame on, in the middle of the exchange: a log that cannot
  // be written is refused before the device hears anything.
  if (std::string why; !options.LogFile.empty() && !CanWriteFile(options.LogFile, why)) {
    PrintError("cannot write the frame log \"" + options.LogFile + "\": " + why);
    return kBadLog;
  }

  TPlainMessageLoop loop;
  TConsoleFrontEnd out(options.Quiet, StderrIsTerminal(), !options.LogFile.empty());
  SetExceptionHandler([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      out.PrintLine(std::string("orvix-flash: ") + e.what());
    } catch (...) {
      out.PrintLine("orvix-flash: unknown error");
    }
  });

  // Which format was taken, and where the run will write, before the device hears anything.
  if (!options.Quiet) {
    const std::string chosen = FullFileName(options.Image) + ": " + FormatName(loaded.Format) +
                               ", addresses " + AddressText(static_cast<uint32_t>(loaded.Start)) +
                               "-" + AddressText(static_cast<uint32_t>(loaded.Stop));
    out.Say("orvix-flash: " + chosen);
  }

  TExchangeSettings settings;
  settings.DeviceNumber = static_cast<uint8_t>(options.Device);
  settings.StartAddress = static_cast<uint16_t>(loaded.Start);
  settings.StopAddress = static_cast<uint16_t>(loaded.Stop);
  settings.ImageData = image.data();
  settings.ImageSize = static_cast<int>(image.size());
  settings.LogFileName = options.LogFile;
  if (!options.Port.empty()) settings.Ports = {options.Port};
  if (!options.PortFilters.empty()) {
    int code = kNoDevice;
    auto ports = PortsToPing(options.PortFilters, code);
    if (!ports) return code;
    settings.Ports = std::move(*ports);
  }

  const StopRequestAttachment attachment(loop);
  InstallStopHandler([] { StopRequest::Instance().Ask(); });

  int code = kNoReply;
  {
    TExchange exchange(out, settings);
    PortAccount ports(out);
    bool stopped = false, no_device = false;
    // Looks after what the window leaves to its user: the --wait limit, and a negotiation with
    // no port left to ping, which would otherwise wait for ever.
    TTimer watch;
    watch.SetInterval(250);
    const auto started = std::chrono::steady_clock::now();
    watch.OnTimer = [&] {
      if (out.Closed()) return;
      ports.NameUnopened(exchange);
      if (exchange.Phase() != TExchangePhase::epNegotiation) return;
      const double waited =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      bool any_pinging = false;
      for (const auto& entry : exchange.PortList())
        if (!entry.second->Finished()) any_pinging = true;
      if (!any_pinging) ports.NameGivenUp(exchange);
      if (!any_pinging || (options.WaitSeconds >= 0 && waited >= options.WaitSeconds)) {
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
      return kNoReply;
    }
    watch.SetEnabled(true);
    loop.RunUntil(stop_if_asked);
    watch.SetEnabled(false);
    ports.NameUnopenedAtEnd(loop, exchange);
    if (out.Result() == mrOk)
      code = kFinished;
    else if (stopped)
      code = kStopped;
    else if (no_device)
      code = kNoDevice;
    else
      code = kNoReply;
  }  // the teardown closes every port and ends every thread before the verdict is printed
  out.PrintLine(out.FinalText());
  return code;
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
