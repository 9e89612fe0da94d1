#include "serial/port_filter.h"

#include <algorithm>

namespace orvix {
namespace {

constexpr const char* kKeys[] = {"vid", "pid", "serial", "name", "driver"};

// One [...] set at pattern[p] (just after '['); moves p past it. A set that never closes is a
// plain '[' to the shell.
bool MatchSet(const std::string& pattern, size_t& p, char c, bool& valid) {
  size_t i = p;
  const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  bool found = false;
  bool first = true;
  for (; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
    char lo = pattern[i];
    if (lo == '\\' && i + 1 < pattern.size()) lo = pattern[++i];
    ++i;
    char hi = lo;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      hi = pattern[i + 1];
      if (hi == '\\' && i + 2 < pattern.size()) hi = pattern[++i + 1];
      i += 2;
    }
    if (lo <= c && c <= hi) found = true;
  }
  valid = i < pattern.size();
  if (!valid) return false;
  p = i + 1;
  return found != negate;
}

bool MatchOne(const TPortIdentity& port, const TPortFilter& filter) {
  if (filter.Key == "vid") return port.Vid && port.Vid == ParseHexId(filter.Value);
  if (filter.Key == "pid") return port.Pid && port.Pid == ParseHexId(filter.Value);
  if (filter.Key == "serial") return port.Serial == filter.Value;
  if (filter.Key == "driver") return port.Driver == filter.Value;
  if (filter.Key == "name") return ShellPatternMatch(filter.Value, port.Name);
  return false;
}

}  // namespace

bool ShellPatternMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0;
  // Where the last '*' was and how much of the text it has taken: on a mismatch it takes one
  // more character and the match resumes after it.
  size_t star = std::string::npos, star_text = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_text = t;
      continue;
    }
    if (p < pattern.size()) {
      const char c = pattern[p];
      size_t next = p + 1;
      bool match = false;
      if (c == '?') {
        match = true;
      } else if (c == '[') {
        bool valid = true;
        size_t q = p + 1;
        match = MatchSet(pattern, q, text[t], valid);
        if (valid)
          next = q;
        else
          match = text[t] == '[';
      } else if (c == '\\' && p + 1 < pattern.size()) {
        match = text[t] == pattern[p + 1];
        next = p + 2;
      } else {
        match = text[t] == c;
      }
      if (match) {
        p = next;
        ++t;
        continue;
      }
    }
    if (star == std::string::npos) return false;
    p = star;
    t = ++star_text;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::optional<TPortFilter> ParsePortFilter(const std::string& text, TText& error) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) {
    error = {"filter", ORVIX_TEXT("filter", "port filter \"%1\" is not KEY=VALUE"), {text}, {}};
    return std::nullopt;
  }
  TPortFilter f{text.substr(0, eq), text.substr(eq + 1)};
  if (std::find(std::begin(kKeys), std::end(kKeys), f.Key) == std::end(kKeys)) {
    error = {
        "filter",
        ORVIX_TEXT("filter",
                   "port filter \"%1\": unknown key \"%2\" (vid, pid, serial, name or driver)"),
        {text, f.Key},
        {}};
    return std::nullopt;
  }
  if (f.Value.empty()) {
    error = {"filter", ORVIX_TEXT("filter", "port filter \"%1\": empty value"), {text}, {}};
    return std::nullopt;
  }
  if ((f.Key == "vid" || f.Key == "pid") && !ParseHexId(f.Value)) {
    error = {"filter",
             ORVIX_TEXT("filter", "port filter \"%1\": %2 is four hexadecimal digits, as 0403"),
             {text, f.Key},
             {}};
    return std::nullopt;
  }
  return f;
}

bool MatchesFilters(const TPortIdentity& port, const std::vector<TPortFilter>& filters) {
  for (const char* key : kKeys) {
    bool any = false, matched = false;
    for (const auto& f : filters) {
      if (f.Key != key) continue;
      any = true;
      matched = matched || MatchOne(port, f);
    }
    if (any && !matched) return false;
  }
  return true;
}

std::vector<TPortIdentity> FilterPorts(std::vector<TPortIdentity> ports,
                                       const std::vector<TPortFilter>& filters) {
  std::erase_if(ports, [&](const TPortIdentity& p) { return !MatchesFilters(p, filters); });
  return ports;
}

std::string FiltersText(const std::vector<TPortFilter>& filters) {
  std::string text;
  for (const auto& f : filters) text += (text.empty() ? "" : " ") + f.Key + "=" + f.Value;
  return text;
}

}  // namespace orvix
