#include "serial/serial_error.h"

#include <array>

namespace orvix {
namespace {

constexpr std::array<const char*, 23> kTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if SerialPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string ComposeMessage(int message_code, int system_code, const std::string& detail) {
  std::string text = SerialErrorText(message_code);
  if (!detail.empty()) text += ": " + detail;
  if (system_code != -1) text += " (" + SystemErrorText(system_code) + ")";
  return text;
}

}  // namespace

const char* SerialErrorText(int message_code) {
  if (message_code < 1 || message_code > static_cast<int>(kTexts.size())) return "";
  return kTexts[static_cast<size_t>(message_code - 1)];
}

ESerialPort::ESerialPort(int message_code, int system_code, const std::string& detail)
    : std::runtime_error(ComposeMessage(message_code, system_code, detail)),
      message_code_(message_code),
      system_code_(system_code) {}

}  // namespace orvix
