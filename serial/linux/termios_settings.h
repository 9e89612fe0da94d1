// The line-settings record in termios terms. Pure, so the parts a pseudo-terminal cannot show
// (data bits, parity, flow control) are checked on the value itself.
#pragma once

#include <termios.h>

#include "serial/serial_settings.h"

namespace orvix {

// The Bxxx constant of a rate termios names, or 0 for a rate that needs BOTHER.
speed_t StandardSpeed(uint32_t rate);

// Raw mode always: no echo, no line editing, no translation, no signals; software flow control
// only when the record asks for it. The speed is left to the caller (it may need BOTHER).
void ApplyLineSettingsTo(termios& t, const TLineSettings& settings);

}  // namespace orvix
