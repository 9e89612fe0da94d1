#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

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

int StderrColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

// No signal tells of a resize here: the bar asks for the width each time it is drawn.
void InstallResizeHandler(std::function<void()> /*on_resize*/) {}

void IgnoreBrokenPipe() {}

void InstallStopHandler(std::function<void()> on_stop) {
  // The texts are UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  g_on_stop = new std::function<void()>(std::move(on_stop));
  SetConsoleCtrlHandler(ConsoleCtrl, TRUE);
}

bool CanWriteFile(const std::string& path, std::string& why) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      why = "Is a directory";
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      why = "Permission denied";
      return false;
    }
    return true;
  }
  // A new file needs its folder.
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return true;
  const DWORD folder = GetFileAttributesA(path.substr(0, slash + 1).c_str());
  if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY)) {
    why = "No such file or directory";
    return false;
  }
  return true;
}

}  // namespace orvix
