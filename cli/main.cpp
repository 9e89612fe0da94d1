// orvix-flash: programs an image into the device from the command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "app/hex_text.h"
#include "cli/console.h"
#include "cli/console_front_end.h"
#include "cli/options.h"
#include "exchange/exchange.h"
#include "exchange/image_file.h"
#include "link/com_ping.h"
#include "runtime/plain_loop.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"

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
  void Attach(MessageLoop* loop) {
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
  MessageLoop* loop_ = nullptr;
  std::atomic<bool> asked_{false};
};

// Detaches the loop from the stop request before the loop goes.
struct StopRequestAttachment {
  explicit StopRequestAttachment(MessageLoop& loop) { StopRequest::Instance().Attach(&loop); }
  ~StopRequestAttachment() { StopRequest::Instance().Attach(nullptr); }
  StopRequestAttachment(const StopRequestAttachment&) = delete;
  StopRequestAttachment& operator=(const StopRequestAttachment&) = delete;
};

void PrintError(const std::string& text) {
  std::fprintf(stderr, "orvix-flash: %s\n", text.c_str());
}

int ListPorts() {
  std::vector<std::string> names;
  try {
    ListSerialPorts(names);
  } catch (const std::exception& e) {
    PrintError(std::string("cannot list the serial ports: ") + e.what());
    return kNoReply;
  }
  for (const auto& name : names)
    std::printf("%s\t%s\n", name.c_str(), PortDevicePath(name).c_str());
  return kFinished;
}

// Names every port discovery gave up on, with the cause where one is known.
void ReportPortsGivenUp(ConsoleFrontEnd& out, const TExchange& exchange) {
  if (exchange.PortList().empty()) {
    out.PrintLine("orvix-flash: no serial port to ping");
    return;
  }
  for (const auto& [name, ping] : exchange.PortList()) {
    const std::string cause = ping->FailureText();
    out.PrintLine("orvix-flash: port " + name + ": " +
                  (cause.empty() ? "no answer, given up" : cause));
  }
}

int Flash(const FlashOptions& options) {
  TImage loaded;
  try {
    loaded = ReadImage(options.image, options.format);
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kBadImage;
  }
  const std::vector<uint8_t>& image = loaded.Data;
  if (image.empty()) {
    PrintError("image \"" + FullFileName(options.image) + "\" is empty: nothing to program");
    return kBadImage;
  }
  // The log is written from the first frame on, in the middle of the exchange: a log that cannot
  // be written is refused before the device hears anything.
  if (std::string why; !options.log_file.empty() && !CanWriteFile(options.log_file, why)) {
    PrintError("cannot write the frame log \"" + options.log_file + "\": " + why);
    return kBadLog;
  }

  PlainMessageLoop loop;
  ConsoleFrontEnd out(options.quiet, StderrIsTerminal(), !options.log_file.empty());
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
  if (!options.quiet) {
    const std::string chosen = FullFileName(options.image) + ": " + FormatName(loaded.Format) +
                               ", addresses " + AddressText(static_cast<uint32_t>(loaded.Start)) +
                               "-" + AddressText(static_cast<uint32_t>(loaded.Stop));
    std::fprintf(stderr, "orvix-flash: %s\n", chosen.c_str());
  }

  ExchangeSettings settings;
  settings.DeviceNumber = static_cast<uint8_t>(options.device);
  settings.StartAddress = static_cast<uint16_t>(loaded.Start);
  settings.StopAddress = static_cast<uint16_t>(loaded.Stop);
  settings.ImageData = image.data();
  settings.ImageSize = static_cast<int>(image.size());
  settings.LogFileName = options.log_file;
  if (!options.port.empty()) settings.Ports = {options.port};

  const StopRequestAttachment attachment(loop);
  InstallStopHandler([] { StopRequest::Instance().Ask(); });

  int code = kNoReply;
  {
    TExchange exchange(out, settings);
    bool stopped = false, no_device = false;
    // Looks after what the window leaves to its user: the --wait limit, and a negotiation with
    // no port left to ping, which would otherwise wait for ever.
    TTimer watch;
    watch.SetInterval(250);
    const auto started = std::chrono::steady_clock::now();
    watch.OnTimer = [&] {
      if (out.Closed() || exchange.Phase() != 0) return;
      const double waited =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      bool any_pinging = false;
      for (const auto& entry : exchange.PortList())
        if (!entry.second->Finished()) any_pinging = true;
      if (!any_pinging) ReportPortsGivenUp(out, exchange);
      if (!any_pinging || (options.wait_seconds >= 0 && waited >= options.wait_seconds)) {
        no_device = true;
        out.SetFinalText(kTextNoAnswer);
        out.Close(mrCancel);
      }
    };
    // A signal stops the run exactly as the stop button does.
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
  std::string error;
  auto options = ParseFlashOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "orvix-flash: %s\n\n%s", error.c_str(), kFlashUsage);
    return kUsage;
  }
  if (options->help) {
    std::fputs(kFlashUsage, stdout);
    return kFinished;
  }
  if (options->version) {
    std::printf("orvix-flash %s\n", ORVIX_VERSION);
    return kFinished;
  }
  if (options->list_ports) return ListPorts();
  return Flash(*options);
}
