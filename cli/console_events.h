// The flasher's human lines on stderr, from the run's events: the window's texts for a single
// run with a progress bar, one line a port in a gang, and the figures after the result.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/run_events.h"

namespace orvix {

// Where the lines go, and the progress bar's line that a printed line must clear first.
class TConsoleLines {
 public:
  // write: takes the text, false when it could not be written.
  using TWrite = std::function<bool(std::string_view text)>;
  // The terminal's width in columns now; 0 when it cannot be told.
  using TColumns = std::function<int()>;
  TConsoleLines(bool quiet, bool terminal, TWrite write, TColumns columns = {})
      : quiet_(quiet), terminal_(terminal), write_(std::move(write)), columns_(std::move(columns)) {}

  // Errors and the result lines; they clear any progress bar first.
  void PrintLine(const std::string& text);
  // What is said unless --quiet.
  void Say(const std::string& text);
  // A bar redrawn in place on a terminal, as wide as it leaves room for; else a line a percent.
  // Only a rising position is news.
  void ShowProgress(int position);
  // The terminal changed its size: a bar on the screen is drawn again to fit. From any thread.
  void Resized();
  bool Quiet() const { return quiet_; }

 private:
  void PrintLineLocked(const std::string& text);
  void DrawBar();
  void Write(const std::string& text);

  std::mutex mutex_;  // Resized comes from the signal thread
  bool quiet_;
  bool terminal_;
  TWrite write_;
  TColumns columns_;
  bool bar_shown_ = false;
  // A write failed (a closed pipe, a full disk): nothing more is written, the run goes on.
  bool output_lost_ = false;
  int last_position_ = -1;
};

// The bar's row for a terminal of that many columns: "[####    ]  42%", narrower on a narrow
// terminal, the percent alone when no bar fits; never more than columns - 1 characters.
std::string ProgressRow(int position, int columns);

// The line for a run's end that says what it did: range, bytes, time, rate, checksum.
std::string FiguresText(TOutcome outcome, const TRunFigures& figures);
// The words of a run's end, as the window shows them; a lost line reads as the silence of the
// phase it was lost in.
std::string OutcomeText(const TRunResult& result);

class TConsoleEvents final : public TRunEvents {
 public:
  enum class TMode { mSingle, mGang };
  TConsoleEvents(TConsoleLines& lines, TMode mode) : lines_(lines), mode_(mode) {}

  void LookingForDevice(const std::vector<std::string>& ports) override;
  void PortGivenUp(const TPortFailure& failure) override;
  void DeviceFound(const std::string& port) override;
  void Progress(const std::string& port, int done, int total) override;
  void BadReply(const std::string& port, TBadReply what) override;
  void LogFailed(const std::string& file, const std::string& cause) override;
  void RunEnded(const TRunResult& result) override;

  // No port is left to ping and no device answered: every port not named yet, with its cause.
  void NameGivenUpPorts();
  // The single run's last lines, once its ports are closed: the result text, then the figures.
  void PrintVerdict();
  bool Ended() const { return ended_; }

 private:
  void NamePort(const TPortFailure& failure);

  TConsoleLines& lines_;
  TMode mode_;
  std::vector<std::string> ports_;
  std::vector<TPortFailure> given_up_;
  std::set<std::string> named_;
  bool permission_hint_given_ = false;
  bool log_failure_named_ = false;
  std::set<std::string> programming_;  // ports whose first block went out
  bool ended_ = false;
  TRunResult result_;
};

}  // namespace orvix
