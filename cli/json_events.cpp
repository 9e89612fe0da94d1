#include "cli/json_events.h"

#include <algorithm>
#include <charconv>

#include "cli/port_report.h"

namespace orvix {

void TJsonFields::Key(std::string_view key) {
  body_ += ",\"";
  body_ += key;
  body_ += "\":";
}

TJsonFields& TJsonFields::Text(std::string_view key, const std::string& value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

TJsonFields& TJsonFields::Number(std::string_view key, long long value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

TJsonFields& TJsonFields::Seconds(std::string_view key, double value) {
  Key(key);
  // to_chars, not printf: a locale's decimal comma would break the line.
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, std::max(value, 0.0),
                                 std::chars_format::fixed, 3);
  body_.append(text, end.ptr);
  return *this;
}

TJsonFields& TJsonFields::Texts(std::string_view key, const std::vector<std::string>& values) {
  Key(key);
  body_ += '[';
  for (size_t i = 0; i < values.size(); ++i) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on literal + string.
    if (i > 0) body_ += ',';
    body_ += JsonString(values[i]);
  }
  body_ += ']';
  return *this;
}

double TJsonEvents::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TJsonEvents::Emit(std::string_view event, const TJsonFields& fields) {
  if (!out_ || lost_) return;
  TJsonFields time;
  time.Seconds("time", Elapsed());
  const std::string line =
      "{\"event\":" + JsonString(std::string(event)) + time.Body() + fields.Body() + "}\n";
  if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::fflush(out_) != 0)
    lost_ = true;
}

void TPortEvents::Found(const std::string& port) {
  port_ = port;
  found_ = true;
  found_at_ = json_.Elapsed();
  json_.Emit("found", TJsonFields().Text("port", port_));
}

void TPortEvents::Progress(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (!found_ || percent <= last_percent_) return;
  last_percent_ = percent;
  json_.Emit("progress", TJsonFields().Text("port", port_).Number("percent", percent));
}

void TPortEvents::Resent(TResent what, uint16_t address) {
  json_.Emit("resend", TJsonFields()
                           .Text("port", port_)
                           .Number("address", address)
                           .Text("what", what == TResent::rsBlock ? "block" : "checksum"));
}

void TPortEvents::BadReply() {
  json_.Emit("bad_reply", TJsonFields().Text("port", port_).Text("text", kTextChecksumError));
}

void TPortEvents::Result(std::string_view status, int blocks, int bytes,
                         const std::string& text) {
  json_.Emit("result", TJsonFields()
                           .Text("port", port_)
                           .Text("status", std::string(status))
                           .Number("blocks", blocks)
                           .Number("bytes", bytes)
                           .Seconds("seconds", json_.Elapsed() - found_at_)
                           .Text("text", text));
}

std::string_view OutcomeStatus(TModalResult result, bool stopped, const std::string& final_text) {
  if (result == mrOk) return "finished";
  if (stopped) return "stopped";
  if (final_text == kTextNoChecksumConfirmation) return "checksum_unconfirmed";
  return "no_answer";
}

}  // namespace orvix
