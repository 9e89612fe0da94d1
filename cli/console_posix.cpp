#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "cli/console.h"

namespace orvix {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void InstallStopHandler(std::function<void()> on_stop) {
  // Blocked here and in every thread started later; one thread takes them with sigwait, where
  // the handler may do anything, not only what is safe in a signal handler.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, on_stop = std::move(on_stop)] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set, &sig) == 0) on_stop();
    }
  }).detach();
}

}  // namespace orvix
