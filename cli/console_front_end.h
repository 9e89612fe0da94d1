// The flasher's front end: the window's texts, written to stderr.
#pragma once

#include <cstdio>
#include <string>

#include "cli/json_events.h"
#include "exchange/exchange.h"
#include "runtime/message_loop.h"

namespace orvix {

class TConsoleFrontEnd final : public TExchangeFrontEnd {
 public:
  // events: where the run's JSON lines go, or null.
  TConsoleFrontEnd(bool quiet, bool terminal, bool log_frames, TPortEvents* events = nullptr)
      : quiet_(quiet), terminal_(terminal), log_frames_(log_frames), events_(events) {}

  void SetStatusText(const std::string& text) override;
  void SetProgress(int position) override;
  void ProcessMessages() override { CurrentLoop().ProcessMessages(); }
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override { final_text_ = text; }
  void Close(TModalResult result) override;
  bool LogFrames() override { return log_frames_; }
  void FrameResent(TResent what, uint16_t address) override;

  // Errors and the final text; they end any progress bar line first.
  void PrintLine(const std::string& text);
  // What is said unless --quiet.
  void Say(const std::string& text);
  bool Quiet() const { return quiet_; }
  // A write to stderr failed (a closed pipe, a full disk): nothing more is written, and the run
  // goes on to its end.
  bool OutputLost() const { return output_lost_; }

  bool Closed() const { return result_ != mrNone; }
  TModalResult Result() const { return result_; }
  const std::string& FinalText() const { return final_text_; }
  void SetFinalText(const std::string& text) { final_text_ = text; }

 private:
  void Write(const std::string& text);

  bool quiet_;
  bool terminal_;
  bool log_frames_;
  TPortEvents* events_;
  bool bar_shown_ = false;
  bool output_lost_ = false;
  int last_position_ = -1;
  std::string final_text_;
  TModalResult result_ = mrNone;
};

}  // namespace orvix
