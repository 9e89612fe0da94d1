#include "cli/console_front_end.h"

#include <algorithm>

namespace orvix {

void TConsoleFrontEnd::PrintLine(const std::string& text) {
  if (bar_shown_) {
    Write("\n");
    bar_shown_ = false;
  }
  Write(text + "\n");
}

void TConsoleFrontEnd::Say(const std::string& text) {
  if (!quiet_) PrintLine(text);
}

void TConsoleFrontEnd::Write(const std::string& text) {
  if (output_lost_) return;
  if (std::fwrite(text.data(), 1, text.size(), stderr) != text.size() || std::fflush(stderr) != 0)
    output_lost_ = true;
}

void TConsoleFrontEnd::SetStatusText(const std::string& text) {
  if (events_ && text == kTextChecksumError) events_->BadReply();
  Say(text);
}

void TConsoleFrontEnd::SetMainStatusPanel(TStatusPanel panel, const std::string& text) {
  if (panel == TStatusPanel::spPortName) {
    if (events_) events_->Found(text);
    Say(text);
  } else if (panel == TStatusPanel::spStatusText) {
    final_text_ = text;
  }
}

void TConsoleFrontEnd::FrameResent(TResent what, uint16_t address) {
  if (events_) events_->Resent(what, address);
}

void TConsoleFrontEnd::SetProgress(int position) {
  position = std::clamp(position, 0, 100);
  if (events_) events_->Progress(position);
  // Only a rising position is news: a resend repeats one, a give-up or stop drops it to 0.
  if (quiet_ || position <= last_position_) return;
  last_position_ = position;
  if (terminal_) {
    const int filled = position / 2;
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", position);
    Write("\r[" + std::string(filled, '#') + std::string(50 - filled, ' ') + "] " + percent);
    bar_shown_ = true;
  } else {
    Write(std::to_string(position) + "%\n");
  }
}

void TConsoleFrontEnd::Close(TModalResult result) {
  if (result_ == mrNone) result_ = result;
}

}  // namespace orvix
