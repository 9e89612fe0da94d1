// The serial transport's one exception type and its message table.
#pragma once

#include <string>

#include "runtime/text.h"

namespace orvix {

// Message codes, one per row of the message table.
enum TSerialErrorCode {
  ecOpen = 1,
  ecWrite = 2,
  ecRead = 3,
  ecInvalidAsync = 4,
  ecPurge = 5,
  ecAsyncStatus = 6,
  ecLineSettings = 7,
  ecTimeouts = 8,
  ecQueueSizes = 9,
  ecQueueStatus = 10,
  ecModemStatus = 11,
  ecEscape = 12,
  ecTransmitChar = 13,
  ecSetWhileConnected = 14,
  ecEnumPorts = 15,
  ecStoreSettings = 16,
  ecLoadSettings = 17,
  ecLinkRegistration = 18,
  ecLedState = 19,
  ecThreadCreated = 20,
  ecWaitForEvent = 21,
  ecRxBufLinked = 22,
  ecPortList = 23,
};

// The fixed English text of a message code ("" for a code outside 1..23).
const char* SerialErrorText(int message_code);

// A system error number in words as the platform says it: Linux's own text ("Input/output
// error"), where errno values mean nothing as Windows codes; Windows keeps "win error code: 5".
std::string SystemErrorText(int system_code);

// Its text is the table's, in the "serial" domain, followed by the detail and the system's error
// as they are; what() is the English one.
class ESerialPort : public ETextError {
 public:
  // system_code is the platform's error number (errno on Linux), -1 when there is none. A detail,
  // when given, follows the table text after ": " (used where the table text alone cannot say
  // what went wrong, such as a malformed port map entry).
  explicit ESerialPort(int message_code, int system_code = -1, const std::string& detail = {});

  int MessageCode() const { return message_code_; }
  int SystemCode() const { return system_code_; }

 private:
  int message_code_;
  int system_code_;
};

}  // namespace orvix
