#include "cli/console_front_end.h"

#include <algorithm>

namespace orvix {

void TConsoleFrontEnd::PrintLine(const std::string& text) {
  if (bar_shown_) {
    std::fputc('\n', stderr);
    bar_shown_ = false;
  }
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void TConsoleFrontEnd::Say(const std::string& text) {
  if (!quiet_) PrintLine(text);
}

void TConsoleFrontEnd::SetStatusText(const std::string& text) {
  Say(text);
}

void TConsoleFrontEnd::SetMainStatusPanel(TStatusPanel panel, const std::string& text) {
  if (panel == TStatusPanel::spPortName)
    Say(text);
  else if (panel == TStatusPanel::spStatusText)
    final_text_ = text;
}

void TConsoleFrontEnd::SetProgress(int position) {
  position = std::clamp(position, 0, 100);
  // Only a rising position is news: a resend repeats one, a give-up or stop drops it to 0.
  if (quiet_ || position <= last_position_) return;
  last_position_ = position;
  if (terminal_) {
    const int filled = position / 2;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(50 - filled, ' ').c_str(), position);
    bar_shown_ = true;
  } else {
    std::fprintf(stderr, "%d%%\n", position);
  }
  std::fflush(stderr);
}

void TConsoleFrontEnd::Close(TModalResult result) {
  if (result_ == mrNone) result_ = result;
}

}  // namespace orvix
