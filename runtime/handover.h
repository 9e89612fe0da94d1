// The main-thread hand-over: other threads reach the exchange only through here.
#pragma once

#include <cstdint>
#include <functional>

namespace orvix {

// Marks the calling thread as the main thread. The message loop binding calls it once at start.
void SetMainThread();
bool IsMainThread();

// From another thread: queue the call for the main thread, wake it and block until the call has
// run there; an exception thrown by the call is rethrown here. On the main thread: run at once.
void RunOnMainThread(const std::function<void()>& call);

// Main thread only: runs every hand-over queued so far. Returns whether any ran.
bool RunPendingHandOvers();

// The loop binding's way to be woken when a hand-over is queued (called from the queuing thread).
void SetHandOverWakeHook(std::function<void()> hook);

// A counter the main thread can sleep on while it waits for a thread: it moves on every queued
// hand-over and on every call of SignalMainThread (a thread body ending).
uint64_t MainThreadSignalCount();
void SignalMainThread();
// Sleeps until the count differs from `seen` or `timeout_ms` passes (negative: no limit).
void WaitMainThreadSignal(uint64_t seen, int timeout_ms);

}  // namespace orvix
