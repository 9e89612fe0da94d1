// What the flasher needs of its console, one source file per platform.
#pragma once

#include <functional>

namespace orvix {

bool StderrIsTerminal();
// Calls on_stop (from another thread) when the user interrupts or the system asks the process to
// end. Call it before any other thread starts, so that every thread leaves the signals to it.
void InstallStopHandler(std::function<void()> on_stop);

}  // namespace orvix
