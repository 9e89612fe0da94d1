#include "exchange/frame_log.h"

#include <cerrno>
#include <cstring>

namespace orvix {

TFrameLog::~TFrameLog() {
  if (file_) std::fclose(file_);
}

std::string TFrameLog::FormatFrame(bool sent, const uint8_t* frame, int count) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string line = sent ? "->" : "<-";
  line.reserve(2 + 3 * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    line += ' ';
    line += kHex[frame[i] >> 4];
    line += kHex[frame[i] & 0x0F];
  }
  return line;
}

bool TFrameLog::LogFrame(bool sent, const uint8_t* frame, int count) {
  if (Failed()) return false;
  lines_.push_back(FormatFrame(sent, frame, count));
  return Flush();
}

void TFrameLog::AddLine(std::string line) { lines_.push_back(std::move(line)); }

bool TFrameLog::Flush() {
  auto fail = [&] {
    error_ = std::strerror(errno);
    if (file_) std::fclose(file_);
    file_ = nullptr;
    return false;
  };
  if (!file_) {
    file_ = std::fopen(file_name_.c_str(), "wb");
    if (!file_) return fail();
  }
  for (; written_ < lines_.size(); ++written_) {
    const std::string& line = lines_[written_];
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2)
      return fail();
  }
  if (std::fflush(file_) != 0) return fail();
  return true;
}

}  // namespace orvix
