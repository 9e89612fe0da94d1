// What the Intel HEX and S-record readers share: the lines of a record file, the hexadecimal
// pairs of a record, and the device memory they fill, which remembers which line wrote each byte.
//
// The readers are our own: both formats are a few record types on text lines, and what matters
// here is what they refuse (a damaged or cut-short file must never reach the device) and that
// every refusal names the file and the line. Debian's one library for these formats (SRecord's
// libsrecord) has no MinGW-w64 build for the Windows flasher and reports errors through its own
// fatal-error handler, not as a line the window can show.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/hex_digits.h"
#include "exchange/image_file.h"
#include "runtime/text.h"

namespace orvix::records {

// The longest line either format can need (a 255-byte Intel HEX record is 521 characters); a
// longer line is no record, and reading stops there rather than swallowing the rest of the file.
constexpr size_t kMaxLine = 1024;

// Lines with their numbers, counted from 1. The line end (LF, or CR LF) and trailing blanks are
// dropped.
class TLineReader {
 public:
  explicit TLineReader(std::istream& in) : in_(in) {}
  // False at the end of the input. A line longer than kMaxLine comes back cut at kMaxLine + 1
  // characters, which no record parser accepts.
  bool Next(std::string& line);
  int Number() const { return number_; }

 private:
  std::istream& in_;
  int number_ = 0;
};

bool IsBlank(std::string_view line);

// What is wrong with a record: an "image" text whose %1 and %2 the refusal fills with the file
// and the line, the record's own figures going from %3 on. Nothing when the record is sound.
using TWhy = std::optional<TText>;
TText Why(const char* source, std::vector<std::string> figures = {});

// Hexadecimal digit pairs, either case, to bytes. Returns what is wrong, or nothing.
TWhy DecodePairs(std::string_view digits, std::vector<uint8_t>& bytes);


// The device's 64 KiB as the records fill it.
class TDeviceMemory {
 public:
  explicit TDeviceMemory(std::string name);

  // "FILE:LINE: cause"
  [[noreturn]] void Refuse(int line, TText why) const;

  // Puts `count` bytes from `address` on, or refuses: an address past FFFF, or a byte that an
  // earlier record set differently (the same byte again is allowed).
  void Put(uint64_t address, const uint8_t* data, size_t count, int line);

  // The image: byte i holds address i, up to the highest address written; unwritten bytes are
  // 0xFF. Refuses a file with no data, naming `end_line`, the line that ended it.
  TImage Finish(TImageFormat format, int end_line);

  const std::string& Name() const { return name_; }

 private:
  // The line whose record wrote `address` first.
  int LineOf(size_t address) const;

  struct TSpan {
    size_t First, Last;
    int Line;
  };

  std::string name_;
  // Allocated at the first data byte: most damaged files are refused before they have any.
  std::vector<uint8_t> bytes_;
  std::vector<bool> written_;
  std::vector<TSpan> spans_;  // each record's addresses, in file order
  int64_t lowest_ = -1;
  int64_t highest_ = -1;
};

}  // namespace orvix::records
