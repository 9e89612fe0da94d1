// What the flasher needs of its console and files, one source file per platform.
#pragma once

#include <functional>
#include <string>

namespace orvix {

bool StderrIsTerminal();
// The width of the terminal on stderr in columns, 0 when it has none or does not say.
int StderrColumns();
// Calls on_resize (from another thread) when the terminal changes its size. Call it, as
// InstallStopHandler, before any other thread starts.
void InstallResizeHandler(std::function<void()> on_resize);
// A closed pipe on stdout or stderr makes writes fail instead of ending the process, so a run
// whose reader went away (`orvix-flash image 2>&1 | head -3`) still finishes.
void IgnoreBrokenPipe();
// Calls on_stop (from another thread) when the user interrupts, the terminal goes away or the
// system asks the process to end. Call it before any other thread starts, so that every thread
// leaves the signals to it.
void InstallStopHandler(std::function<void()> on_stop);

// Whether `path` could be written (created, or replaced) now, found without opening, creating
// or changing anything; `why` gets the cause when not.
bool CanWriteFile(const std::string& path, std::string& why);

}  // namespace orvix
