#include "cli/gang_front_end.h"

namespace orvix {

void TGangPortFrontEnd::SetStatusText(const std::string& text) {
  if (text == kTextChecksumError)
    events_.BadReply();
  else if (text == kTextProgramming)
    console_.Say(port_ + ": " + text);
}

void TGangPortFrontEnd::SetMainStatusPanel(TStatusPanel panel, const std::string& text) {
  if (panel == TStatusPanel::spPortName) {
    events_.Found(port_);
    return;
  }
  final_text_ = text;
  // A stopped run is never closed by the engine: the stop is its end.
  if (text == kTextAborted) {
    stopped_ = true;
    End(mrCancel);
  }
}

void TGangPortFrontEnd::SendFailed(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    console_.PrintLine("orvix-flash: " + port_ + ": " + e.what());
  } catch (...) {
    console_.PrintLine("orvix-flash: " + port_ + ": cannot write");
  }
}

void TGangPortFrontEnd::Close(TModalResult result) { End(result); }

void TGangPortFrontEnd::End(TModalResult result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  console_.PrintLine(port_ + ": " + final_text_);
  if (on_end_) on_end_(*this);
}

}  // namespace orvix
