// The setup check on Windows: no groups, no ModemManager, no brltty. A port another program
// holds refuses the open with "access denied" (Windows does not say who holds it), and FTDI's
// latency timer is a driver setting in the device's registry parameters.
#include <windows.h>

#include "serial/serial_error.h"
#include "serial/setup_check.h"

namespace orvix {
namespace {

TText Setup(const char* source, std::vector<std::string> args = {}) {
  return {"setup", source, std::move(args), {}};
}

std::optional<TFinding> OpenFinding(const TPortIdentity& port) {
  HANDLE h = CreateFileA(port.Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return std::nullopt;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
    return TFinding{"busy", port.Name, port.Path,
                    Setup(ORVIX_TEXT("setup", "in use by another program")),
                    Setup(ORVIX_TEXT("setup",
                                     "close the program that has the port open (a "
                                     "terminal, an IDE's serial monitor)"))};
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return TFinding{"missing", port.Name, port.Path,
                    Setup(ORVIX_TEXT("setup", "the port does not exist")),
                    Setup(ORVIX_TEXT("setup",
                                     "plug the adapter in; Device Manager, Ports (COM & "
                                     "LPT) lists the ports"))};
  return TFinding{"open",
                  port.Name,
                  port.Path,
                  Setup(ORVIX_TEXT("setup", "cannot be opened (%1)"),
                        {SystemErrorText(static_cast<int>(error))}),
                  {}};
}

std::optional<TFinding> LatencyFinding(const TPortIdentity& port) {
  if (!port.LatencyTimerMs || *port.LatencyTimerMs <= 1) return std::nullopt;
  return TFinding{
      "latency", port.Name, port.Path,
      Setup(ORVIX_TEXT("setup", "FTDI latency timer is %1 ms: each block's reply waits that long"),
            {std::to_string(*port.LatencyTimerMs)}),
      Setup(ORVIX_TEXT("setup",
                       "Device Manager, Ports (COM & LPT), %1, Properties, Port "
                       "Settings, Advanced: set \"Latency Timer (msec)\" to 1"),
            {port.Name})};
}

}  // namespace

TAccount CurrentAccount() {
  return {};
}

std::string PortHoldersText(const std::string&, const TCheckEnvironment&) {
  return {};  // Windows does not say which program holds a port
}

std::optional<TText> PermissionAdvice(const std::string&, const std::optional<TAccount>&) {
  return std::nullopt;
}

std::vector<TFinding> CheckSetup(const std::vector<TPortIdentity>& ports,
                                 const TCheckEnvironment&) {
  std::vector<TFinding> findings;
  if (ports.empty())
    findings.push_back(
        {"no-ports", "", "", Setup(ORVIX_TEXT("setup", "no serial port found")),
         Setup(ORVIX_TEXT("setup",
                          "connect the adapter and see in Device Manager whether its "
                          "driver is installed (an unknown device or a yellow mark "
                          "means it is not)"))});
  for (const auto& port : ports) {
    if (auto f = OpenFinding(port))
      findings.push_back(std::move(*f));
    else if (auto l = LatencyFinding(port))
      findings.push_back(std::move(*l));
  }
  return findings;
}

TText PortErrorText(int system_code, const std::string& /*path*/) {
  char text[512] = {};
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(system_code), 0, text, sizeof text, nullptr);
  std::string words(text, n);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
    words.pop_back();
  // The system's own words, in the language Windows speaks.
  return {"", "", {}, words.empty() ? SystemErrorText(static_cast<int>(system_code)) : words};
}

bool IsPermissionError(int) { return false; }

}  // namespace orvix
