#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/console.h"

namespace orvix {
namespace {

std::function<void()>* g_on_stop = nullptr;

BOOL WINAPI ConsoleCtrl(DWORD type) {
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
    if (g_on_stop) (*g_on_stop)();
    return TRUE;
  }
  return FALSE;
}

}  // namespace

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void InstallStopHandler(std::function<void()> on_stop) {
  // The texts are UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  g_on_stop = new std::function<void()>(std::move(on_stop));
  SetConsoleCtrlHandler(ConsoleCtrl, TRUE);
}

}  // namespace orvix
