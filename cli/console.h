// What the flasher needs of its console and files, one source file per platform.
#pragma once

#include <functional>
#include <string>

namespace orvix {

bool StderrIsTerminal();
// Calls on_stop (from another thread) when the user interrupts or the system asks the process to
// end. Call it before any other thread starts, so that every thread leaves the signals to it.
void InstallStopHandler(std::function<void()> on_stop);

// Whether `path` could be written (created, or replaced) now, found without opening, creating
// or changing anything; `why` gets the cause when not.
bool CanWriteFile(const std::string& path, std::string& why);

}  // namespace orvix
