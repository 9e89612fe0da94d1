// What a process holds and has used, from /proc: "self" or a process id.
#pragma once

#include <chrono>
#include <string>

namespace orvix::testing {

int OpenDescriptorsOf(const std::string& pid);  // the one reading /proc/self/fd counts too
int ThreadsOf(const std::string& pid);
long ResidentKibOf(const std::string& pid);
// Seconds on a CPU so far, all its live threads.
double CpuSecondsOf(const std::string& pid);

// CPU time this process has used, user and system, all threads, ended ones included.
std::chrono::microseconds ProcessCpuTime();

}  // namespace orvix::testing
