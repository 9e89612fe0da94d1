// The Win32 records the port's settings turn into: the DCB for SetCommState and COMMTIMEOUTS
// for SetCommTimeouts.
#pragma once

#include <windows.h>

#include "serial/serial_settings.h"

namespace orvix {

// Every field of the DCB comes from the record: a field left as the driver had it would carry
// whatever state the device was in (a pseudo-terminal under Wine starts with fOutX on).
DCB ToDcb(const TLineSettings& settings);
COMMTIMEOUTS ToCommTimeouts(const TTimeoutRecord& timeouts);

}  // namespace orvix
