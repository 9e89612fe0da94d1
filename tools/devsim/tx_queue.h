// The simulator's transmitter: bytes waiting for their time on the line. Everything queued goes
// out in order; when the line is paced, byte k of a piece is due one byte time after byte k - 1,
// as a UART would send it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace orvix::devsim {

class TxQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // byte_time zero: no pacing, a piece is due whole at its start.
  explicit TxQueue(Clock::duration byte_time) : byte_time_(byte_time) {}

  // Queues bytes to start no sooner than `not_before` and after everything queued before them,
  // cut into pieces of `piece` bytes (0: one piece) with `gap` between pieces. `written` runs
  // once the last byte has been handed to the line.
  void Push(std::vector<uint8_t> bytes, Clock::time_point not_before, int piece,
            Clock::duration gap, std::function<void()> written = nullptr);

  bool Empty() const { return pieces_.empty(); }
  // The bytes of the front piece that are due at `now`.
  std::span<const uint8_t> Due(Clock::time_point now) const;
  // The line took n of the due bytes.
  void Consume(size_t n);
  // Of the front piece: the bytes not yet sent, and when its last byte falls due.
  size_t FrontLeft() const { return pieces_.front().bytes.size() - pieces_.front().sent; }
  Clock::time_point FrontEnd() const;
  // When the next byte falls due; none when nothing is queued.
  std::optional<Clock::time_point> NextDue() const;
  // When the line next needs serving. Bytes falling due within `tick` of now wait and go out
  // together, to spare wake-ups; but the last byte of a piece never waits past its own time,
  // since a host that waits for the whole reply would see every such wait as line time.
  std::optional<Clock::time_point> NextWake(Clock::time_point now, Clock::duration tick) const;

 private:
  struct Piece {
    std::vector<uint8_t> bytes;
    size_t sent = 0;
    Clock::time_point start;
    std::function<void()> written;
  };

  Clock::duration byte_time_;
  Clock::time_point line_free_{};  // when the last queued byte will have gone
  std::deque<Piece> pieces_;
};

}  // namespace orvix::devsim
