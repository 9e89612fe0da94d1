// Ini files as the Windows profile functions keep them: one key of one section read or written
// at a time, every other byte of the file left as it was.
//
// Written here rather than taken from a Debian package: minIni, the only packaged library that
// rewrites one key and keeps the other lines, ends the lines it writes with LF even in a CR LF
// file and cuts ";" comments out of values; inih only reads; iniparser and libini_config write
// the whole file back from their own model, dropping comments and layout (iniparser also lower-
// cases keys). QSettings escapes the parentheses in "NormPos(1280x1024)" and reorders keys.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvix {

class EIniFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value of `key` in the first section named `section` (both compared without regard to ASCII
// case), trimmed of blanks and of one pair of enclosing quotes; nothing when either is missing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// `text` with `key` set to `value`: the key's own line is replaced, or a line is added at the end
// of its section, or the section is added at the end of the text. New lines take the line end
// the text already uses, or `new_line` when it has none. Raises std::invalid_argument for a
// section, key or value that would not read back as itself.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value, std::string_view new_line);

// An integer as the profile functions read it: an optional sign, then decimal digits, or
// hexadecimal after "$" or "0x". Nothing when unreadable or out of the 32-bit range (hexadecimal
// takes the whole 32-bit pattern, so "$FFFFFFFF" is -1).
std::optional<int32_t> ParseIniInteger(std::string_view text);

class TIniFile {
 public:
  explicit TIniFile(std::string file_name);

  const std::string& FileName() const { return file_name_; }

  // A missing file, section or key gives the default. A file that exists but cannot be read
  // raises EIniFile naming it and the cause.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // An unreadable number counts as missing.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t default_value) const;

  // Reaches the file before returning. Raises EIniFile "Unable to write to <file name>".
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);

 private:
  std::optional<std::string> Load() const;
  void Store(const std::string& text) const;

  std::string file_name_;
};

}  // namespace orvix
