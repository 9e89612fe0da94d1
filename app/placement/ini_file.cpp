#include "app/placement/ini_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "runtime/file_name.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr std::string_view kNativeNewLine = "\r\n";
#else
constexpr std::string_view kNativeNewLine = "\n";
#endif
constexpr std::string_view kBlanks = " \t\r";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

struct Line {
  size_t begin;  // first byte
  size_t end;    // end of the content, before CR LF or LF
  size_t next;   // first byte of the next line
  bool HasEnd() const { return next > end; }
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t lf = text.find('\n', begin);
    if (lf == std::string_view::npos) {
      lines.push_back({begin, text.size(), text.size()});
      break;
    }
    const size_t end = lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
    lines.push_back({begin, end, lf + 1});
    begin = lf + 1;
  }
  return lines;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;  // section or key
  std::string_view value;
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
  std::string_view content = text.substr(line.begin, line.end - line.begin);
  if (line.begin == 0 && content.starts_with(kByteOrderMark))
    content.remove_prefix(kByteOrderMark.size());
  const std::string_view t = Trim(content);
  if (t.empty() || t[0] == ';' || t[0] == '#') return {};
  if (t[0] == '[') {
    const size_t close = t.find(']');
    return {LineKind::kSection,
            Trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)),
            {}};
  }
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  return {LineKind::kKey, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::optional<size_t> FindSection(std::string_view text, const std::vector<Line>& lines,
                                  std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine p = ParseLine(text, lines[i]);
    if (p.kind == LineKind::kSection && SameText(p.name, section)) return i;
  }
  return std::nullopt;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::string_view LineEndOf(std::string_view text, std::string_view fallback) {
  const size_t lf = text.find('\n');
  if (lf == std::string_view::npos) return fallback;
  return lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

bool HasAny(std::string_view s, std::string_view chars) {
  return s.find_first_of(chars) != std::string_view::npos;
}

void CheckWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || HasAny(section, "]\r\n") || Trim(section) != section)
    throw std::invalid_argument("ini section name \"" + std::string(section) + "\" is not usable");
  if (key.empty() || HasAny(key, "=\r\n") || Trim(key) != key || key[0] == '[' || key[0] == ';' ||
      key[0] == '#')
    throw std::invalid_argument("ini key name \"" + std::string(key) + "\" is not usable");
  if (HasAny(value, "\r\n"))
    throw std::invalid_argument("ini value for \"" + std::string(key) + "\" spans lines");
}

std::optional<uint64_t> ParseDigits(std::string_view digits, int base, uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f')
      d = LowerAscii(c) - 'a' + 10;
    else
      return std::nullopt;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > limit) return std::nullopt;
  }
  return v;
}

std::string RandomSuffix() {
  std::random_device rd;
  std::ostringstream s;
  s << std::hex << rd() << rd();
  return s.str();
}

enum class WriteResult { kDone, kFolderRefused, kFailed };

// Writes a new file beside the target and renames it over: a failure half-way (a full disk)
// leaves the old file whole, with every other program's sections in it.
WriteResult ReplaceWhole(const fs::path& target, const std::string& text) {
  fs::path temp = target;
  temp += ".~" + RandomSuffix();
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) return WriteResult::kFolderRefused;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  std::error_code ec;
  if (out) {
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) fs::permissions(temp, old.permissions(), ec);
    ec.clear();
    fs::rename(temp, target, ec);
    if (!ec) return WriteResult::kDone;
  }
  fs::remove(temp, ec);
  return WriteResult::kFailed;
}

// Replacing the file would get past its own write protection: a file the user made read-only
// stays as it is.
bool WritableOrMissing(const fs::path& target) {
  std::error_code ec;
  if (!fs::exists(target, ec)) return true;
  std::ofstream probe(target, std::ios::binary | std::ios::app);
  return static_cast<bool>(probe);
}

// A file left writable in a folder that is not (a shared install) can only be rewritten where
// it lies.
bool RewriteInPlace(const fs::path& target, const std::string& text) {
  std::error_code ec;
  if (!fs::is_regular_file(target, ec)) return false;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const std::optional<size_t> header = FindSection(text, lines, section);
  if (!header) return std::nullopt;
  for (size_t i = *header + 1; i < lines.size(); ++i) {
    const ParsedLine p = ParseLine(text, lines[i]);
    if (p.kind == LineKind::kSection) break;
    if (p.kind == LineKind::kKey && SameText(p.name, key)) return std::string(Unquote(p.value));
  }
  return std::nullopt;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value, std::string_view new_line) {
  CheckWritable(section, key, value);
  const std::string_view eol = LineEndOf(text, new_line);
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::string out(text);
  const std::vector<Line> lines = SplitLines(text);
  const std::optional<size_t> header = FindSection(text, lines, section);
  if (!header) {
    if (!out.empty() && out.back() != '\n') out += eol;
    out.append("[").append(section).append("]").append(eol).append(entry).append(eol);
    return out;
  }
  size_t last = *header;  // the section's last line with something on it
  for (size_t i = *header + 1; i < lines.size(); ++i) {
    const ParsedLine p = ParseLine(text, lines[i]);
    if (p.kind == LineKind::kSection) break;
    if (p.kind == LineKind::kKey && SameText(p.name, key)) {
      out.replace(lines[i].begin, lines[i].end - lines[i].begin, entry);
      return out;
    }
    if (!Trim(text.substr(lines[i].begin, lines[i].end - lines[i].begin)).empty()) last = i;
  }
  std::string added = entry + std::string(eol);
  if (!lines[last].HasEnd()) added.insert(0, eol);
  out.insert(lines[last].next, added);
  return out;
}

std::optional<int32_t> ParseIniInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::optional<uint64_t> magnitude;
  if (text.starts_with('$'))
    magnitude = ParseDigits(text.substr(1), 16, 0xFFFFFFFFu);
  else if (text.starts_with("0x") || text.starts_with("0X"))
    magnitude = ParseDigits(text.substr(2), 16, 0xFFFFFFFFu);
  else
    magnitude = ParseDigits(text, 10, negative ? 0x80000000u : 0x7FFFFFFFu);
  if (!magnitude) return std::nullopt;
  // Hexadecimal is a bit pattern: "$FFFFFFFF" is -1, and "-$1" is -1 too.
  uint32_t bits = static_cast<uint32_t>(*magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

TIniFile::TIniFile(std::string file_name) : file_name_(std::move(file_name)) {
  if (file_name_.empty()) throw EIniFile("The window placement file has no name");
}

std::optional<std::string> TIniFile::Load() const {
  std::error_code ec;
  const fs::path file = PathFromUtf8(file_name_);
  const fs::file_status status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (ec) throw EIniFile("Unable to read " + file_name_ + ": " + ec.message());
  if (fs::is_directory(status))
    throw EIniFile("Unable to read " + file_name_ + ": " + std::strerror(EISDIR));
  std::ifstream in(file, std::ios::binary);
  if (!in) throw EIniFile("Unable to read " + file_name_ + ": " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw EIniFile("Unable to read " + file_name_ + ": " + std::strerror(errno));
  return text.str();
}

void TIniFile::Store(const std::string& text) const {
  std::error_code ec;
  fs::path target = PathFromUtf8(file_name_);
  // Writing through a link keeps the link: the rename must land on the file it points to.
  if (fs::is_symlink(fs::symlink_status(target, ec))) target = fs::weakly_canonical(target, ec);
  if (ec) target = PathFromUtf8(file_name_);
  if (!WritableOrMissing(target)) throw EIniFile("Unable to write to " + file_name_);
  switch (ReplaceWhole(target, text)) {
    case WriteResult::kDone:
      return;
    case WriteResult::kFolderRefused:
      if (RewriteInPlace(target, text)) return;
      break;
    case WriteResult::kFailed:
      break;
  }
  throw EIniFile("Unable to write to " + file_name_);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) const {
  const std::optional<std::string> text = Load();
  std::optional<std::string> value;
  if (text) value = FindIniValue(*text, section, key);
  return value ? *value : std::string(default_value);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  return ParseIniInteger(ReadString(section, key, "")).value_or(default_value);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string text = Load().value_or("");
  Store(SetIniValue(text, section, key, value, kNativeNewLine));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace orvix
