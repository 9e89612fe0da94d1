// A front end for driving the exchange engine inside a benchmark: it shows nothing and keeps the
// outcome.
#pragma once

#include <string>

#include "exchange/exchange.h"
#include "runtime/message_loop.h"

namespace orvix::bench {

class QuietFrontEnd final : public TExchangeFrontEnd {
 public:
  void SetStatusText(const std::string& /*text*/) override {}
  void SetProgress(int /*position*/) override {}
  void ProcessMessages() override { CurrentLoop().ProcessMessages(); }
  void SetMainStatusPanel(TStatusPanel panel, const std::string& text) override {
    if (panel == TStatusPanel::spStatusText) final_text = text;
  }
  void ShowMessage(const std::string& text) override { final_text = text; }
  void Close(TModalResult modal_result) override {
    if (result == mrNone) result = modal_result;
  }
  bool LogFrames() override { return false; }

  bool Closed() const { return result != mrNone; }

  TModalResult result = mrNone;
  std::string final_text;
};

}  // namespace orvix::bench
