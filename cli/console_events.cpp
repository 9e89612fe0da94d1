#include "cli/console_events.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/console.h"
#include "cli/run_texts.h"
#include "exchange/hex_digits.h"
#include "serial/port_list.h"
#include "serial/setup_check.h"

namespace orvix {

namespace {

constexpr int kBarCells = 50;
constexpr int kDefaultColumns = 80;
// Back to the row's start and everything on it gone, so that no row of the bar is left behind.
constexpr char kClearRow[] = "\r\x1b[K";

}  // namespace

std::string ProgressRow(int position, int columns) {
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", position);
  // The last column stays free: a row that fills it wraps on some terminals at the next byte.
  const int room = (columns > 0 ? columns : kDefaultColumns) - 1;
  const int cells = std::min(kBarCells, room - 7);  // "[" cells "] " and "100%"
  if (cells < 10) return room >= 4 ? percent : "";
  const int filled = position * cells / 100;
  return "[" + std::string(filled, '#') + std::string(cells - filled, ' ') + "] " + percent;
}

void TConsoleLines::PrintLine(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  PrintLineLocked(text);
}

void TConsoleLines::PrintLineLocked(const std::string& text) {
  if (bar_shown_) {
    Write(kClearRow);
    bar_shown_ = false;
  }
  Write(text + "\n");
}

void TConsoleLines::Say(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!quiet_) PrintLineLocked(text);
}

void TConsoleLines::ShowProgress(int position) {
  std::lock_guard<std::mutex> lock(mutex_);
  position = std::clamp(position, 0, 100);
  // A resend repeats a position: only a rising one is news.
  if (quiet_ || position <= last_position_) return;
  last_position_ = position;
  if (terminal_)
    DrawBar();
  else
    Write(std::to_string(position) + "%\n");
}

void TConsoleLines::Resized() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_ && bar_shown_) DrawBar();
}

void TConsoleLines::DrawBar() {
  // The width is asked each time: the user may have resized the window since.
  const int columns = columns_ ? columns_() : 0;
  Write("\r" + ProgressRow(last_position_, columns) + "\x1b[K");
  bar_shown_ = true;
}

void TConsoleLines::Write(const std::string& text) {
  if (!output_lost_ && !write_(text)) output_lost_ = true;
}

std::string FiguresText(TOutcome outcome, const TRunFigures& figures) {
  const std::string from = AddressText(figures.StartAddress);
  const std::string to = AddressText(figures.StopAddress);
  const std::string bytes = std::to_string(figures.Bytes);
  const std::string seconds = DecimalText(figures.Seconds);
  const std::string checksum = HexText(figures.Checksum, 4);
  if (outcome == TOutcome::ocFinished) {
    // A run inside a tenth of a second still gets a rate, not a division by nothing.
    const double rate = figures.Bytes / std::max(figures.Seconds, 0.001) / 1000;
    return FormatText(Worded(kTextFiguresFinished),
                      {from, to, bytes, seconds, DecimalText(rate), checksum});
  }
  return FormatText(Worded(outcome == TOutcome::ocChecksumUnconfirmed ? kTextFiguresUnconfirmed
                                                                      : kTextFiguresUnfinished),
                    {from, to, bytes, std::to_string(figures.BlocksSent), seconds, checksum});
}

std::string OutcomeText(const TRunResult& result) {
  switch (result.Outcome) {
    case TOutcome::ocFinished:
      return Worded(kTextFinished);
    case TOutcome::ocChecksumUnconfirmed:
      return Worded(kTextNoChecksumConfirmation);
    case TOutcome::ocStopped:
      return Worded(kTextAborted);
    case TOutcome::ocLineLost:
      return Worded(result.Phase == TExchangePhase::epChecksumSent ? kTextNoChecksumConfirmation
                                                                   : kTextNoAnswer);
    case TOutcome::ocNoAnswer:
    case TOutcome::ocNoDevice:
      break;
  }
  return Worded(kTextNoAnswer);
}

void TConsoleEvents::LookingForDevice(const std::vector<std::string>& ports) {
  ports_ = ports;
  if (mode_ == TMode::mSingle) lines_.Say(Worded(kTextNegotiation));
}

void TConsoleEvents::PortGivenUp(const TPortFailure& failure) {
  given_up_.push_back(failure);
  // A port that opened and went quiet is no news while others may still answer.
  if (failure.OpenFailed && !lines_.Quiet()) NamePort(failure);
}

void TConsoleEvents::NameGivenUpPorts() {
  if (ports_.empty() && given_up_.empty()) {
    lines_.PrintLine("orvix-flash: " + Tr("flash", "no serial port to ping"));
    return;
  }
  for (const TPortFailure& failure : given_up_) NamePort(failure);
}

void TConsoleEvents::NamePort(const TPortFailure& failure) {
  const std::string& name = failure.Port;
  if (!named_.insert(name).second) return;
  if (!failure.OpenFailed) {
    lines_.PrintLine("orvix-flash: " +
                     FormatText(Tr("flash", "port %1: %2"),
                                {name, EnglishText(failure.Cause).empty() ? Tr("flash", "no answer, given up")
                                                            : Tr(failure.Cause)}));
    return;
  }
  const TRefusedPort refused =
      DescribeRefusedPort(name, failure.SystemCode, failure.Cause, permission_hint_given_);
  lines_.PrintLine("orvix-flash: " + FormatText(Tr("flash", "%1: cannot open: %2"),
                                                {refused.Where, RefusedCauseText(refused)}));
}

void TConsoleEvents::DeviceFound(const std::string& port) {
  if (mode_ == TMode::mSingle) lines_.Say(port);
}

void TConsoleEvents::Progress(const std::string& port, int done, int total) {
  // The window says "programming" once its first block is under way; so do these lines, before
  // the first percent.
  if (programming_.insert(port).second)
    lines_.Say(mode_ == TMode::mSingle ? Worded(kTextProgramming)
                                       : port + ": " + Worded(kTextProgramming));
  // Several runs share the terminal in a gang: no bar there.
  if (mode_ == TMode::mSingle) lines_.ShowProgress(ProgressPosition(total, done));
}

void TConsoleEvents::BadReply(const std::string& /*port*/, TBadReply what) {
  if (mode_ == TMode::mSingle && what == TBadReply::brChecksumError)
    lines_.Say(kTextChecksumError);
}

void TConsoleEvents::LogFailed(const std::string& file, const std::string& cause) {
  if (log_failure_named_) return;
  log_failure_named_ = true;
  lines_.PrintLine("orvix-flash: " +
                   FormatText(Tr("flash", "cannot write the frame log \"%1\": %2"), {file, cause}));
}

void TConsoleEvents::RunEnded(const TRunResult& result) {
  if (result.Outcome == TOutcome::ocLineLost)
    lines_.PrintLine("orvix-flash: " +
                     FormatText(Worded(kTextLineLost), {result.Port, Tr(result.Cause)}));
  // The log's failure is told as it happens; one the run only reports at its end still gets a line.
  if (!result.LogError.empty() && !log_failure_named_) {
    log_failure_named_ = true;
    lines_.PrintLine("orvix-flash: " +
                     FormatText(Tr("flash", "cannot write the frame log: %1"), {result.LogError}));
  }
  if (mode_ == TMode::mGang) {
    lines_.PrintLine(FormatText(Worded(kTextGangResult), {result.Port, OutcomeText(result),
                                                          DecimalText(result.Figures.Seconds),
                                                          HexText(result.Figures.Checksum, 4)}));
    return;
  }
  ended_ = true;
  result_ = result;
  if (result.Outcome == TOutcome::ocNoDevice && given_up_.size() >= ports_.size())
    NameGivenUpPorts();
}

void TConsoleEvents::PrintVerdict() {
  lines_.PrintLine(OutcomeText(result_));
  if (lines_.Quiet()) return;
  if (result_.Outcome == TOutcome::ocNoDevice) {
    lines_.Say(FormatText(Worded(kTextPortsPinged), {std::to_string(result_.PortsPinged),
                                                     DecimalText(result_.SearchSeconds)}));
    return;
  }
  if (result_.Port.empty()) return;  // stopped before any device answered: nothing was sent
  lines_.Say(FiguresText(result_.Outcome, result_.Figures));
  if (result_.Outcome == TOutcome::ocNoAnswer)
    lines_.Say(
        FormatText(Worded(kTextUnansweredBlock), {result_.Port, AddressText(result_.Address)}));
  else if (result_.Outcome == TOutcome::ocChecksumUnconfirmed)
    lines_.Say(FormatText(Worded(kTextUnansweredChecksum), {result_.Port}));
}

}  // namespace orvix
