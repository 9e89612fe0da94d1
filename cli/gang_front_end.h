// The flasher's front end for one port of a gang run: no progress bar (several runs share the
// terminal), one line when the device answers and one when its run ends.
#pragma once

#include <functional>
#include <string>

#include "cli/console_front_end.h"
#include "cli/json_events.h"
#include "exchange/exchange_front_end.h"

namespace orvix {

class TGangPortFrontEnd final : public TExchangeFrontEnd {
 public:
  // on_end: called once, as the run ends, after its line is printed.
  TGangPortFrontEnd(std::string port, TConsoleFrontEnd& console, TJsonEvents& json,
                    std::function<void(TGangPortFrontEnd&)> on_end)
      : port_(std::move(port)), console_(console), events_(json), on_end_(std::move(on_end)) {}

  void SetStatusText(const std::string& text) override;
  void SetProgress(int position) override { events_.Progress(position); }
  // The gang's loop runs everything; a pump here would nest one device's run inside another's.
  void ProcessMessages() override {}
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override;
  void ShowMessage(const std::string& text) override { final_text_ = text; }
  void Close(TModalResult result) override;
  bool LogFrames() override { return false; }
  void FrameResent(TResent what, uint16_t address) override { events_.Resent(what, address); }
  // Several ports share the terminal: the error says whose it is.
  void SendFailed(std::exception_ptr error) override;

  const std::string& Port() const { return port_; }
  bool Ended() const { return ended_; }
  bool Stopped() const { return stopped_; }
  TModalResult Result() const { return result_; }
  const std::string& FinalText() const { return final_text_; }
  TPortEvents& Events() { return events_; }

 private:
  void End(TModalResult result);

  std::string port_;
  TConsoleFrontEnd& console_;
  TPortEvents events_;
  std::function<void(TGangPortFrontEnd&)> on_end_;
  std::string final_text_;
  TModalResult result_ = mrNone;
  bool stopped_ = false;
  bool ended_ = false;
};

}  // namespace orvix
