#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "cli/console.h"
#include "serial/setup_check.h"

namespace orvix {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int StderrColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

void InstallResizeHandler(std::function<void()> on_resize) {
  // As the stop signals: blocked everywhere, taken by one thread that may do anything.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGWINCH);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, on_resize = std::move(on_resize)] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set, &sig) == 0) on_resize();
    }
  }).detach();
}

void IgnoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

void InstallStopHandler(std::function<void()> on_stop) {
  // Blocked here and in every thread started later; one thread takes them with sigwait, where
  // the handler may do anything, not only what is safe in a signal handler.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set, on_stop = std::move(on_stop)] {
    for (;;) {
      int sig = 0;
      if (sigwait(&set, &sig) == 0) on_stop();
    }
  }).detach();
}

bool CanWriteFile(const std::string& path, std::string& why) {
  // An existing file must take writes; a new one needs a folder that takes new entries.
  struct stat st {};
  std::string target = path;
  int mode = W_OK;
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      why = std::strerror(EISDIR);
      return false;
    }
  } else {
    const size_t slash = path.find_last_of('/');
    target = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    mode = W_OK | X_OK;
  }
  if (access(target.c_str(), mode) != 0) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace orvix
