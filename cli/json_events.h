// The run as JSON lines on stdout, for the programs that drive the flasher: one object a line,
// each written and flushed as it happens, every one with its event's name and the time since the
// flasher started. docs/json-output.md is the contract.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/exchange_front_end.h"

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
};

// The lines of one port's run, from the device's answer to the outcome.
class TPortEvents {
 public:
  explicit TPortEvents(TJsonEvents& json) : json_(json) {}

  void Found(const std::string& port);
  void Progress(int percent);  // only a rising percent is written
  void Resent(TResent what, uint16_t address);
  void BadReply();
  void Result(std::string_view status, int blocks, int bytes, const std::string& text);
  const std::string& Port() const { return port_; }
  bool WasFound() const { return found_; }

 private:
  TJsonEvents& json_;
  std::string port_;
  bool found_ = false;
  double found_at_ = 0;
  int last_percent_ = -1;
};

// The word a run's outcome goes by in the result line.
std::string_view OutcomeStatus(TModalResult result, bool stopped, const std::string& final_text);

}  // namespace orvix
