// A front end for driving the engine in tests, the soak and the benchmarks: records everything
// the engine shows and pumps the loop when asked to, with hooks to act at the moments a window
// would.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "exchange/exchange.h"
#include "runtime/message_loop.h"

namespace orvix::testing {

class RecordingFrontEnd final : public TExchangeFrontEnd {
 public:
  void SetStatusText(const std::string& text) override { status.push_back(text); }
  void SetProgress(int position) override { progress.push_back(position); }
  void ProcessMessages() override {
    ++pump_depth;
    if (OnPump) OnPump();
    if (pump) CurrentLoop().ProcessMessages();
    --pump_depth;
  }
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override {
    panels.emplace_back(static_cast<int>(panel), text);
    if (panel == TStatusPanel::spStatusText) final_text = text;
    if (OnPanel) OnPanel(panel, text);
  }
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    final_text = text;
  }
  void Close(TModalResult modal_result) override {
    closes.push_back(modal_result);
    if (OnClose) OnClose();
  }
  bool LogFrames() override { return log_frames; }
  void FrameResent(TResent what, uint16_t address) override { resends.emplace_back(what, address); }

  bool Closed() const { return !closes.empty(); }
  // How the run ended: its first close, as the window's modal result; mrNone while open.
  TModalResult Result() const { return closes.empty() ? mrNone : closes.front(); }
  // The last text written to a panel of the main window's status bar, by its number there; empty
  // when none was.
  std::string Panel(int panel) const {
    std::string text;
    for (const auto& [p, t] : panels)
      if (p == panel) text = t;
    return text;
  }

  std::vector<std::string> status;
  std::vector<int> progress;
  std::vector<std::pair<int, std::string>> panels;
  std::vector<std::string> messages;
  std::vector<TModalResult> closes;
  std::vector<std::pair<TResent, uint16_t>> resends;
  std::string final_text;  // the outcome as the user last saw it: status panel 2 or a message
  bool log_frames = false;
  int pump_depth = 0;
  bool pump = true;  // false: as the flasher's gang runs, where the outer loop runs everything

  std::function<void()> OnPump;   // at each pump, before the loop runs
  std::function<void()> OnClose;  // when the engine closes the window
  std::function<void(TStatusPanel, const std::string&)> OnPanel;  // after a panel is written
};

}  // namespace orvix::testing
