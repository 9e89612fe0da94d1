// The frame log: one line per frame exchanged, "->" sent or "<-" received, then the bytes in
// hexadecimal; CR LF line ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvix {

class TFrameLog {
 public:
  explicit TFrameLog(std::string file_name) : file_name_(std::move(file_name)) {}
  ~TFrameLog();
  TFrameLog(const TFrameLog&) = delete;
  TFrameLog& operator=(const TFrameLog&) = delete;

  // Adds the frame's line and brings the file up to date with every line added so far. False
  // when the file could not be written: the log is closed then, and logs nothing more.
  bool LogFrame(bool sent, const uint8_t* frame, int count);
  // Adds a line that reaches the file with the next logged frame.
  void AddLine(std::string line);

  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& FileName() const { return file_name_; }
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }  // why the file could not be written

  static std::string FormatFrame(bool sent, const uint8_t* frame, int count);

 private:
  bool Flush();

  std::string file_name_;
  std::vector<std::string> lines_;
  size_t written_ = 0;
  // The file is replaced at the run's first logged frame and appended to after that, so each
  // frame costs what it adds, not the whole log again.
  std::FILE* file_ = nullptr;
  std::string error_;
};

}  // namespace orvix
