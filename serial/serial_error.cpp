#include "serial/serial_error.h"

#include <array>

#include "runtime/text.h"

namespace orvix {
namespace {

// The table's texts are the "serial" text domain's: a front end words them in its user's language.
constexpr std::array<const char*, 23> kTexts = {
    ORVIX_TEXT("serial", "Unable to open com port"),
    ORVIX_TEXT("serial", "WriteFile function failed"),
    ORVIX_TEXT("serial", "ReadFile function failed"),
    ORVIX_TEXT("serial", "Invalid Async parameter"),
    ORVIX_TEXT("serial", "PurgeComm function failed"),
    ORVIX_TEXT("serial", "Unable to get async status"),
    ORVIX_TEXT("serial", "SetCommState function failed"),
    ORVIX_TEXT("serial", "SetCommTimeouts failed"),
    ORVIX_TEXT("serial", "SetupComm function failed"),
    ORVIX_TEXT("serial", "ClearCommError function failed"),
    ORVIX_TEXT("serial", "GetCommModemStatus function failed"),
    ORVIX_TEXT("serial", "EscapeCommFunction function failed"),
    ORVIX_TEXT("serial", "TransmitCommChar function failed"),
    ORVIX_TEXT("serial", "Cannot set property while connected"),
    ORVIX_TEXT("serial", "EnumPorts function failed"),
    ORVIX_TEXT("serial", "Failed to store settings"),
    ORVIX_TEXT("serial", "Failed to load settings"),
    ORVIX_TEXT("serial", "Link (un)registration failed"),
    ORVIX_TEXT("serial", "Cannot change led state if SerialPort is selected"),
    ORVIX_TEXT("serial", "Cannot wait for event if event thread is created"),
    ORVIX_TEXT("serial", "WaitForEvent method failed"),
    ORVIX_TEXT("serial", "A component is linked to OnRxBuf event"),
    ORVIX_TEXT("serial", "Registry error"),
};

// The table's text, then what follows it as it is: the detail and the system's own error text.
TText ComposeMessage(int message_code, int system_code, const std::string& detail) {
  std::string tail;
  if (!detail.empty()) tail += ": " + detail;
  if (system_code != -1) tail += " (" + SystemErrorText(system_code) + ")";
  return {"serial", SerialErrorText(message_code), {}, std::move(tail)};
}

}  // namespace

const char* SerialErrorText(int message_code) {
  if (message_code < 1 || message_code > static_cast<int>(kTexts.size())) return "";
  return kTexts[static_cast<size_t>(message_code - 1)];
}

ESerialPort::ESerialPort(int message_code, int system_code, const std::string& detail)
    : ETextError(ComposeMessage(message_code, system_code, detail)),
      message_code_(message_code),
      system_code_(system_code) {}

}  // namespace orvix
