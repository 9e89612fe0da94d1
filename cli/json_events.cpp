#include "cli/json_events.h"

#include <algorithm>
#include <charconv>

#include "cli/console.h"
#include "cli/console_events.h"
#include "cli/port_report.h"
#include "cli/run_texts.h"
#include "serial/port_list.h"
#include "serial/setup_check.h"

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
  // The summary is the last line: a port that finished opening while the run was torn down is
  // no news to the reader any more.
  if (!out_ || lost_ || ended_) return;
  if (event == "summary") ended_ = true;
  TJsonFields time;
  time.Seconds("time", Elapsed());
  const std::string line =
      "{\"event\":" + JsonString(std::string(event)) + time.Body() + fields.Body() + "}\n";
  if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::fflush(out_) != 0)
    lost_ = true;
}

void TJsonRunEvents::PortOpened(const std::string& port) {
  json_.Emit("port", TJsonFields()
                         .Text("port", port)
                         .Text("path", PortDevicePath(port))
                         .Text("state", "opened"));
}

void TJsonRunEvents::PortGivenUp(const TPortFailure& failure) {
  const std::string path = PortDevicePath(failure.Port);
  // English, as every value but "text": scripts match on it.
  std::string cause =
      EnglishText(failure.SystemCode >= 0 ? PortErrorText(failure.SystemCode, path) : failure.Cause);
  if (cause.empty()) cause = "no answer, given up";
  json_.Emit("port", TJsonFields()
                         .Text("port", failure.Port)
                         .Text("path", path)
                         .Text("state", "failed")
                         .Text("error", cause));
}

void TJsonRunEvents::DeviceFound(const std::string& port) {
  json_.Emit("found", TJsonFields().Text("port", port));
}

void TJsonRunEvents::Progress(const std::string& port, int done, int total) {
  const int percent = std::clamp(ProgressPosition(total, done), 0, 100);
  const auto [last, first] = last_percent_.try_emplace(port, -1);
  if (percent <= last->second) return;
  last->second = percent;
  json_.Emit("progress", TJsonFields().Text("port", port).Number("percent", percent));
}

void TJsonRunEvents::FrameResent(const std::string& port, TResent what, uint16_t address) {
  json_.Emit("resend", TJsonFields()
                           .Text("port", port)
                           .Number("address", address)
                           .Text("what", what == TResent::rsBlock ? "block" : "checksum"));
}

void TJsonRunEvents::BadReply(const std::string& port, TBadReply what) {
  TJsonFields fields;
  fields.Text("port", port);
  switch (what) {
    case TBadReply::brChecksumError:
      fields.Text("reason", "checksum").Text("text", kTextChecksumError);
      break;
    case TBadReply::brForeignDevice:
      fields.Text("reason", "foreign_device");
      break;
    case TBadReply::brUnknownCommand:
      fields.Text("reason", "unknown_command");
      break;
  }
  json_.Emit("bad_reply", fields);
}

void TJsonRunEvents::LogFailed(const std::string& file, const std::string& cause) {
  json_.Emit("log_failed", TJsonFields().Text("file", file).Text("error", cause));
}

void TJsonRunEvents::RunEnded(const TRunResult& result) {
  // A single run that found no device, or was stopped before one answered, has no port's result.
  if (result.Port.empty()) return;
  const TRunFigures& figures = result.Figures;
  TJsonFields fields;
  fields.Text("port", result.Port)
      .Text("status", std::string(OutcomeStatus(result.Outcome)))
      .Number("blocks", figures.BlocksSent)
      .Number("bytes", figures.Bytes)
      .Seconds("seconds", figures.Seconds)
      .Number("checksum", figures.Checksum)
      .Number("resends", figures.Resends);
  if (result.Outcome == TOutcome::ocNoAnswer) fields.Number("address", result.Address);
  if (result.Outcome == TOutcome::ocLineLost) fields.Text("error", EnglishText(result.Cause));
  fields.Text("text", OutcomeText(result));
  json_.Emit("result", fields);
}

std::string_view OutcomeStatus(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::ocFinished:
      return "finished";
    case TOutcome::ocNoAnswer:
      return "no_answer";
    case TOutcome::ocChecksumUnconfirmed:
      return "checksum_unconfirmed";
    case TOutcome::ocStopped:
      return "stopped";
    case TOutcome::ocLineLost:
      return "line_lost";
    case TOutcome::ocNoDevice:
      break;
  }
  return "no_device";
}

void EmitSummary(TJsonEvents& json, const TRunSummary& summary) {
  TJsonFields fields;
  fields.Number("devices", summary.Devices)
      .Number("finished", summary.Finished)
      .Number("failed", summary.Failed)
      .Number("stopped", summary.Stopped);
  if (summary.Expect > 0) fields.Number("expect", summary.Expect);
  fields.Number("exit_status", summary.ExitStatus);
  json.Emit("summary", fields);
}

}  // namespace orvix
