// What the placement tests share: the ini file's text, the screen's work area, and a window
// opened and closed as a user would, with the events that follow run.
#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace orvix::testing {

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline QRect WorkArea() {
  return QGuiApplication::primaryScreen()->availableGeometry();
}

inline void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// A window built with its ini file's name, shown.
template <typename Window>
std::unique_ptr<Window> OpenWindow(const std::filesystem::path& ini) {
  auto window = std::make_unique<Window>(ini.string());
  window->show();
  Settle();
  return window;
}

template <typename Window>
void CloseWindow(std::unique_ptr<Window> window) {
  window->close();
  Settle();
  window.reset();
}

}  // namespace orvix::testing
