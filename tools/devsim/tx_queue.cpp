#include "tools/devsim/tx_queue.h"

#include <algorithm>

namespace orvix::devsim {

void TxQueue::Push(std::vector<uint8_t> bytes, Clock::time_point not_before, int piece,
                   Clock::duration gap, std::function<void()> written) {
  if (bytes.empty()) {
    if (written) written();
    return;
  }
  const size_t size = piece > 0 ? static_cast<size_t>(piece) : bytes.size();
  Clock::time_point at = std::max(not_before, line_free_);
  for (size_t from = 0; from < bytes.size(); from += size) {
    if (from > 0) at += gap;
    const size_t to = std::min(bytes.size(), from + size);
    Piece next{{bytes.begin() + from, bytes.begin() + to}, 0, at, nullptr};
    at += byte_time_ * static_cast<int64_t>(to - from);
    if (to == bytes.size()) next.written = std::move(written);
    pieces_.push_back(std::move(next));
  }
  line_free_ = at;
}

std::span<const uint8_t> TxQueue::Due(Clock::time_point now) const {
  if (pieces_.empty()) return {};
  const Piece& front = pieces_.front();
  if (now < front.start) return {};
  size_t due = front.bytes.size();
  if (byte_time_.count() > 0) {
    // A byte is due once its ten bits have crossed the line.
    due = std::min<size_t>(due, static_cast<size_t>((now - front.start) / byte_time_));
  }
  if (due <= front.sent) return {};
  return {front.bytes.data() + front.sent, due - front.sent};
}

void TxQueue::Consume(size_t n) {
  Piece& front = pieces_.front();
  front.sent += n;
  if (front.sent < front.bytes.size()) return;
  std::function<void()> written = std::move(front.written);
  pieces_.pop_front();
  if (written) written();
}

std::optional<TxQueue::Clock::time_point> TxQueue::NextDue() const {
  if (pieces_.empty()) return std::nullopt;
  const Piece& front = pieces_.front();
  return front.start + byte_time_ * static_cast<int64_t>(front.sent + 1);
}

std::optional<TxQueue::Clock::time_point> TxQueue::NextWake(Clock::time_point now,
                                                            Clock::duration tick) const {
  const std::optional<Clock::time_point> due = NextDue();
  if (!due || byte_time_.count() == 0) return due;
  return std::max(*due, std::min(now + tick, FrontEnd()));
}

TxQueue::Clock::time_point TxQueue::FrontEnd() const {
  const Piece& front = pieces_.front();
  return front.start + byte_time_ * static_cast<int64_t>(front.bytes.size());
}

}  // namespace orvix::devsim
