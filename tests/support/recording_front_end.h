// A front end for driving the engine in tests, the soak and the benchmarks: records every event
// the engine tells, pumps the loop when asked to, with hooks to act at the moments a window
// would.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "exchange/exchange.h"
#include "runtime/message_loop.h"

namespace orvix::testing {

class RecordingFrontEnd final : public TRunEvents {
 public:
  void LookingForDevice(const std::vector<std::string>& ports) override {
    events.push_back("looking " + std::to_string(ports.size()));
  }
  void PortOpened(const std::string& port) override { events.push_back("opened " + port); }
  void PortGivenUp(const TPortFailure& failure) override {
    events.push_back("given up " + failure.Port);
    failures.push_back(failure);
  }
  void DeviceFound(const std::string& port) override {
    events.push_back("found " + port);
    found.push_back(port);
  }
  void Progress(const std::string& /*port*/, int done, int total) override {
    progress.emplace_back(done, total);
  }
  void FrameResent(const std::string& /*port*/, TResent what, uint16_t address) override {
    events.push_back("resent");
    resends.emplace_back(what, address);
  }
  void BadReply(const std::string& /*port*/, TBadReply what) override {
    events.push_back("bad reply");
    bad_replies.push_back(what);
  }
  void LogFailed(const std::string& file, const std::string& cause) override {
    events.push_back("log failed");
    log_failures.push_back(file + ": " + cause);
  }
  void RunEnded(const TRunResult& result) override {
    events.push_back("ended");
    results.push_back(result);
    if (OnEnd) OnEnd(result);
  }
  void ProcessMessages() override {
    ++pump_depth;
    if (OnPump) OnPump();
    if (pump) CurrentLoop().ProcessMessages();
    --pump_depth;
  }

  bool Ended() const { return !results.empty(); }
  // How the run ended (its first end); a default result while it has not.
  TRunResult Result() const { return results.empty() ? TRunResult{} : results.front(); }
  TOutcome Outcome() const { return Result().Outcome; }
  bool Finished() const { return Ended() && Outcome() == TOutcome::ocFinished; }
  // The progress bar's positions, as the window shows them.
  std::vector<int> Positions() const {
    std::vector<int> positions;
    for (const auto& [done, total] : progress) positions.push_back(ProgressPosition(total, done));
    return positions;
  }

  std::vector<std::string> events;  // one word or two a call, in order
  std::vector<TRunResult> results;
  std::vector<std::pair<int, int>> progress;  // done, total
  std::vector<std::pair<TResent, uint16_t>> resends;
  std::vector<TBadReply> bad_replies;
  std::vector<TPortFailure> failures;
  std::vector<std::string> found;
  std::vector<std::string> log_failures;
  int pump_depth = 0;
  bool pump = true;  // false: as the flasher's gang runs, where the outer loop runs everything

  std::function<void()> OnPump;                      // at each pump, before the loop runs
  std::function<void(const TRunResult&)> OnEnd;      // when the run ends
};

}  // namespace orvix::testing
