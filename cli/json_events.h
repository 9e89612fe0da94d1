// The run as JSON lines on stdout, for the programs that drive the flasher: one object a line,
// each written and flushed as it happens, every one with its event's name and the time since the
// flasher started. docs/json-output.md is the contract.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/run_events.h"

namespace orvix {

// The members of one line after "event" and "time", in the order added.
class TJsonFields {
 public:
  TJsonFields& Text(std::string_view key, const std::string& value);
  TJsonFields& Number(std::string_view key, long long value);
  TJsonFields& Seconds(std::string_view key, double value);  // millisecond precision
  TJsonFields& Texts(std::string_view key, const std::vector<std::string>& values);
  const std::string& Body() const { return body_; }

 private:
  void Key(std::string_view key);
  std::string body_;
};

class TJsonEvents {
 public:
  // A null stream: JSON was not asked for, and nothing is written.
  TJsonEvents(std::FILE* out, std::chrono::steady_clock::time_point start)
      : out_(out), start_(start) {}

  bool On() const { return out_ != nullptr; }
  void Emit(std::string_view event, const TJsonFields& fields = {});
  // Seconds since the start.
  double Elapsed() const;

 private:
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  bool lost_ = false;  // a write failed (a closed pipe): the run goes on without its lines
  bool ended_ = false;  // the summary is out
};

// The lines of the runs, from the device's answer to the outcome: each port's own.
class TJsonRunEvents final : public TRunEvents {
 public:
  explicit TJsonRunEvents(TJsonEvents& json) : json_(json) {}

  void PortOpened(const std::string& port) override;
  void PortGivenUp(const TPortFailure& failure) override;
  void DeviceFound(const std::string& port) override;
  void Progress(const std::string& port, int done, int total) override;
  void FrameResent(const std::string& port, TResent what, uint16_t address) override;
  void BadReply(const std::string& port, TBadReply what) override;
  void LogFailed(const std::string& file, const std::string& cause) override;
  void RunEnded(const TRunResult& result) override;

 private:
  TJsonEvents& json_;
  std::map<std::string, int> last_percent_;  // by port: only a rising percent is written
};

// The word a run's outcome goes by in the result line.
std::string_view OutcomeStatus(TOutcome outcome);

// What the last line tells of the whole run.
struct TRunSummary {
  int Devices = 0;   // devices that answered
  int Finished = 0;
  int Failed = 0;    // no answer, checksum unconfirmed or line lost
  int Stopped = 0;
  int Expect = 0;    // --expect; 0: not given
  int ExitStatus = 0;
};
void EmitSummary(TJsonEvents& json, const TRunSummary& summary);

}  // namespace orvix
