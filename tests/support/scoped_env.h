// An environment variable set (or, with nullopt, removed) for a scope, then put back.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace orvix::testing {

class ScopedEnv {
 public:
  // Keeps the variable's value, to be put back; changes nothing yet.
  explicit ScopedEnv(std::string name) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) old_ = old;
  }
  ScopedEnv(std::string name, const std::optional<std::string>& value)
      : ScopedEnv(std::move(name)) {
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void Set(const std::optional<std::string>& value) {
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace orvix::testing
