// The placement ini reader and writer over arbitrary files, sections, keys and values: a value
// written reads back, the write touches only its own line (or adds one), every other byte stays,
// and the integer reader follows its rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/placement/ini_file.h"
#include "fuzz/fuzz_check.h"

namespace orvix::fuzz {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(kBlanks) - first + 1));
}

std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0])
    return s.substr(1, s.size() - 2);
  return s;
}

// Names and values the file could not give back as they were.
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
  auto has = [](const std::string& s, const char* chars) {
    return s.find_first_of(chars) != std::string::npos;
  };
  if (section.empty() || has(section, "]\r\n") || Trim(section) != section) return false;
  if (key.empty() || has(key, "=\r\n") || Trim(key) != key) return false;
  if (key[0] == '[' || key[0] == ';' || key[0] == '#') return false;
  return !has(value, "\r\n");
}

std::string LineEndOf(const std::string& text, const std::string& fallback) {
  const size_t lf = text.find('\n');
  if (lf == std::string::npos) return fallback;
  return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

// Where lines begin and where their content ends (before CR LF or LF).
struct Span {
  size_t begin, end;
};
std::vector<Span> Lines(const std::string& text) {
  std::vector<Span> lines;
  for (size_t begin = 0; begin < text.size();) {
    size_t lf = text.find('\n', begin);
    if (lf == std::string::npos) {
      lines.push_back({begin, text.size()});
      break;
    }
    lines.push_back({begin, lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf});
    begin = lf + 1;
  }
  return lines;
}

// The written text is the old one with one line's content replaced by the entry, or with the
// entry (and perhaps its section) inserted where a line begins or at the end.
bool OnlyTheEntryChanged(const std::string& before, const std::string& after,
                         const std::string& section, const std::string& entry,
                         const std::string& eol) {
  const std::vector<Span> lines = Lines(before);
  for (const Span& line : lines) {
    if (after.size() == before.size() - (line.end - line.begin) + entry.size() &&
        after.compare(0, line.begin, before, 0, line.begin) == 0 &&
        after.compare(line.begin, entry.size(), entry) == 0 &&
        after.compare(line.begin + entry.size(), std::string::npos, before, line.end) == 0)
      return true;
  }
  const std::string header = "[" + section + "]" + eol;
  const std::vector<std::string> insertions = {entry + eol, eol + entry + eol, header + entry + eol,
                                               eol + header + entry + eol};
  std::vector<size_t> places = {before.size()};
  for (const Span& line : lines) places.push_back(line.begin);
  for (size_t at : places) {
    for (const std::string& added : insertions) {
      if (after.size() == before.size() + added.size() &&
          after.compare(0, at, before, 0, at) == 0 && after.compare(at, added.size(), added) == 0 &&
          after.compare(at + added.size(), std::string::npos, before, at) == 0)
        return true;
    }
  }
  return false;
}

std::optional<uint64_t> Digits(const std::string& s, int base, uint64_t limit) {
  if (s.empty()) return std::nullopt;
  for (char c : s) {
    const bool digit = (c >= '0' && c <= '9') ||
                       (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    if (!digit) return std::nullopt;
  }
  const size_t first = s.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (s.size() - first > 10) return std::nullopt;  // beyond any 32-bit value either way
  const uint64_t value = std::strtoull(s.c_str() + first, nullptr, base);
  return value > limit ? std::nullopt : std::optional<uint64_t>(value);
}

// A sign, then decimal within the signed range, or "$" / "0x" and a 32-bit pattern.
std::optional<int32_t> ReferenceInteger(std::string s) {
  const bool negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.erase(0, 1);
  std::optional<uint64_t> magnitude;
  if (s.rfind("$", 0) == 0)
    magnitude = Digits(s.substr(1), 16, 0xFFFFFFFFu);
  else if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0)
    magnitude = Digits(s.substr(2), 16, 0xFFFFFFFFu);
  else
    magnitude = Digits(s, 10, negative ? 0x80000000u : 0x7FFFFFFFu);
  if (!magnitude) return std::nullopt;
  const uint32_t bits = static_cast<uint32_t>(*magnitude);
  return static_cast<int32_t>(negative ? 0u - bits : bits);
}

}  // namespace
}  // namespace orvix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvix;
  using namespace orvix::fuzz;
  // SECTION 01 KEY 01 VALUE 01 FLAG TEXT: a flag byte with its low bit set makes CR LF the line
  // end for a text that has none yet.
  InputReader in(data, size);
  const std::string section = in.Field(1);
  const std::string key = in.Field(1);
  const std::string value = in.Field(1);
  const std::string new_line = in.Byte() & 1 ? "\r\n" : "\n";
  const std::string text = in.Rest();

  const std::optional<int32_t> number = ParseIniInteger(value);
  const std::optional<int32_t> want_number = ReferenceInteger(value);
  FUZZ_CHECK(number == want_number, "\"%s\" reads as %s", value.c_str(),
             number ? std::to_string(*number).c_str() : "nothing");
  if (number) {
    FUZZ_CHECK(ParseIniInteger(std::to_string(*number)) == number, "%d does not read back",
               *number);
  }

  (void)FindIniValue(text, section, key);
  std::string written;
  try {
    written = SetIniValue(text, section, key, value, new_line);
  } catch (const std::invalid_argument&) {
    FUZZ_CHECK(!Writable(section, key, value), "refused a usable key \"%s\"", key.c_str());
    return 0;
  }
  FUZZ_CHECK(Writable(section, key, value), "wrote an unusable key \"%s\" or section \"%s\"",
             key.c_str(), section.c_str());
  const std::optional<std::string> read = FindIniValue(written, section, key);
  FUZZ_CHECK(read && *read == Unquote(Trim(value)), "\"%s\" reads back as \"%s\"", value.c_str(),
             read ? read->c_str() : "(missing)");
  FUZZ_CHECK(
      OnlyTheEntryChanged(text, written, section, key + "=" + value, LineEndOf(text, new_line)),
      "the write changed more than its own line");
  FUZZ_CHECK(SetIniValue(written, section, key, value, new_line) == written,
             "writing the same value again changed the file");
  return 0;
}
