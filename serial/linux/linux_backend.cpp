// The termios backend. The device is opened non-blocking; every wait is a poll() that also
// watches a wake-up eventfd, so a purge, a close or a stop request can end it. Received bytes
// move into a queue of the port's own (under the mutex), which is what BytesWaiting counts and
// ReceiveBytes reads, and what keeps a level-triggered poll from firing again for bytes nobody
// has read yet.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "serial/linux/port_map.h"
#include "serial/linux/linux_ioctls.h"
#include "serial/linux/termios_settings.h"
#include "serial/serial_backend.h"

namespace orvix {
namespace {

using Clock = std::chrono::steady_clock;

// At least this much is held for the reader, whatever the input size asks for: a pseudo-terminal
// has no pacing, and a full queue only stops reading from the device.
constexpr size_t kMinQueueCapacity = 64 * 1024;
// While written bytes still sit in the driver, the transmitter is checked this often.
constexpr int kTxEmptyCheckMs = 5;
// Modem-line changes have no poll() event; the driver's counters are looked at this often, and
// only when such events are asked for on a device that has the counters.
constexpr int kModemCheckMs = 50;
constexpr uint32_t kModemEvents = drv::kEvCts | drv::kEvDsr | drv::kEvRlsd | drv::kEvRing;
constexpr short kHangUp = POLLHUP | POLLERR | POLLNVAL;

class Deadline {
 public:
  static Deadline Never() { return {}; }
  static Deadline After(Clock::time_point from, uint64_t ms) {
    Deadline d;
    d.set_ = true;
    d.at_ = from + std::chrono::milliseconds(ms);
    return d;
  }
  bool Passed(Clock::time_point now) const { return set_ && now >= at_; }
  // A poll() time-out in milliseconds, rounded up, -1 for none.
  int Timeout(Clock::time_point now) const {
    if (!set_) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - now).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
  }
  Deadline Earliest(const Deadline& other) const {
    if (!set_) return other;
    if (!other.set_) return *this;
    return at_ <= other.at_ ? *this : other;
  }

 private:
  bool set_ = false;
  Clock::time_point at_{};
};

void Signal(int fd) {
  const uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
}

void Drain(int fd) {
  uint64_t value;
  [[maybe_unused]] auto n = ::read(fd, &value, sizeof value);
}

class TLinuxSerialBackend final : public TSerialBackend {
 public:
  ~TLinuxSerialBackend() override { Close(); }

  int Open(const std::string& port) override;
  void Close() override;
  int SetQueueSizes(int input_size, int output_size) override;
  int SetLineSettings(const TLineSettings& settings) override;
  int SetTimeouts(const TTimeoutRecord& timeouts) override;
  TTransferResult Write(const void* buffer, int count) override;
  TTransferResult Read(void* buffer, int count) override;
  int AbortTransfers() override;
  int ClearQueues() override;
  int QueueStatus(TQueueStatus& status, bool for_event) override;
  int ModemStatus(uint32_t& status) override;
  int SetEventMask(uint32_t mask) override;
  TWaitResult WaitEvents(uint32_t& mask, int& error) override;
  void StopEventWait() override;

 private:
  class TActivity;
  class TTransfer;
  struct TWaiter {
    int fd;
    bool reader;
  };

  void ResetStateLocked();
  int ApplyModemLinesLocked(const TLineSettings& s);
  void PumpLocked(bool by_event_thread);
  void AcceptLocked(const uint8_t* bytes, size_t count);
  int TakeLocked(uint8_t* out, int count);
  void NoteDeviceLocked(short revents, bool by_event_thread);
  void SetHangUpLocked(int error);
  void SampleCountersLocked();
  uint32_t PendingEventsLocked();
  int EventWaitTimeoutLocked() const;
  void WakeWaitersLocked(bool readers_only);

  std::mutex mutex_;
  std::condition_variable idle_cv_;
  int active_ = 0;  // transfers and waits that use fd_ right now; Close waits for none
  int fd_ = -1;
  int wake_fd_ = -1;  // the event thread's wake-up
  bool open_ = false;
  std::vector<TWaiter> waiters_;
  uint64_t abort_generation_ = 0;

  TTimeoutRecord timeouts_{};
  bool discard_null_ = false;
  uint8_t event_char_ = 0;
  size_t capacity_ = kMinQueueCapacity;
  size_t rx80_level_ = 819;

  std::deque<uint8_t> queue_;
  uint64_t arrived_ = 0;   // bytes ever queued
  uint64_t reported_ = 0;  // of those, the ones an event has already told about
  int hangup_error_ = 0;

  uint32_t event_mask_ = 0;
  bool stop_ = false;
  bool rx_flag_ = false;
  bool rx80_full_ = false;
  bool tx_pending_ = false;
  uint32_t counter_events_ = 0;
  uint32_t line_errors_ = 0;
  bool has_counters_ = false;
  linux_tty::TLineCounters counters_;
};

// Counts a use of the descriptor, so Close can wait until nobody polls or reads it.
class TLinuxSerialBackend::TActivity {
 public:
  explicit TActivity(TLinuxSerialBackend& b) : b_(b) { ++b_.active_; }
  ~TActivity() {
    if (--b_.active_ == 0) b_.idle_cv_.notify_all();
  }
  TActivity(const TActivity&) = delete;
  TActivity& operator=(const TActivity&) = delete;

 private:
  TLinuxSerialBackend& b_;
};

// One read or write in progress: it notes the abort generation it started under and, once it
// has to wait, owns an eventfd of its own that the purge (or new arrivals) can signal.
class TLinuxSerialBackend::TTransfer {
 public:
  TTransfer(TLinuxSerialBackend& b, std::unique_lock<std::mutex>& lock, bool reader)
      : b_(b), lock_(lock), activity_(b), reader_(reader), generation_(b.abort_generation_) {}
  ~TTransfer() {
    if (wake_fd_ < 0) return;
    std::erase_if(b_.waiters_, [&](const TWaiter& w) { return w.fd == wake_fd_; });
    ::close(wake_fd_);
  }
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;

  bool Aborted() const { return b_.abort_generation_ != generation_; }

  // Sleeps with the lock released until the device is ready, the transfer is woken, or the
  // time-out passes. Returns the device's poll events, or -errno.
  int Wait(short device_events, int timeout_ms) {
    if (wake_fd_ < 0) {
      wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
      if (wake_fd_ < 0) return -errno;
      b_.waiters_.push_back({wake_fd_, reader_});
    }
    pollfd fds[2] = {{b_.fd_, device_events, 0}, {wake_fd_, POLLIN, 0}};
    lock_.unlock();
    const int rc = ::poll(fds, 2, timeout_ms);
    const int error = rc < 0 ? errno : 0;
    lock_.lock();
    if (fds[1].revents & POLLIN) Drain(wake_fd_);
    if (rc < 0) return error == EINTR ? 0 : -error;
    return fds[0].revents;
  }

 private:
  TLinuxSerialBackend& b_;
  std::unique_lock<std::mutex>& lock_;
  TActivity activity_;
  bool reader_;
  uint64_t generation_;
  int wake_fd_ = -1;
};

// --- open and close ---

int TLinuxSerialBackend::Open(const std::string& port) {
  const std::string path = ResolvePortPath(port);
  if (path.empty()) return ENOENT;

  std::lock_guard lock(mutex_);
  if (open_) return EBUSY;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  auto fail = [fd](int error) {
    ::close(fd);
    return error;
  };
  // flock stops every other instance of this program, root included; TIOCEXCL stops other
  // programs that open the device without taking the lock (unless they run as root).
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno);
  if (int error = linux_tty::SetExclusive(fd, true)) return fail(error);
  termios probe{};
  if (tcgetattr(fd, &probe) != 0) return fail(errno);
  linux_tty::RequestLowLatency(fd);  // refused by ptys and many drivers: nothing to gain there
  // What arrived while the port was closed is stale; a freshly opened port starts empty.
  tcflush(fd, TCIFLUSH);
  const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) return fail(errno);

  ResetStateLocked();
  fd_ = fd;
  wake_fd_ = wake;
  open_ = true;
  has_counters_ = linux_tty::GetLineCounters(fd_, counters_) == 0;
  return 0;
}

void TLinuxSerialBackend::Close() {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  open_ = false;
  stop_ = true;
  ++abort_generation_;
  WakeWaitersLocked(false);
  Signal(wake_fd_);
  idle_cv_.wait(lock, [&] { return active_ == 0; });
  linux_tty::SetExclusive(fd_, false);
  flock(fd_, LOCK_UN);
  ::close(fd_);
  ::close(wake_fd_);
  fd_ = wake_fd_ = -1;
  ResetStateLocked();
}

void TLinuxSerialBackend::ResetStateLocked() {
  queue_.clear();
  arrived_ = reported_ = 0;
  hangup_error_ = 0;
  event_mask_ = 0;
  stop_ = false;
  rx_flag_ = rx80_full_ = tx_pending_ = false;
  counter_events_ = line_errors_ = 0;
  has_counters_ = false;
}

// --- settings ---

int TLinuxSerialBackend::SetQueueSizes(int input_size, int /*output_size*/) {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  const size_t nominal = input_size > 0 ? static_cast<size_t>(input_size) : kMinQueueCapacity;
  capacity_ = std::max(kMinQueueCapacity, nominal);
  rx80_level_ = std::max<size_t>(1, nominal * 8 / 10);
  return 0;
}

int TLinuxSerialBackend::SetLineSettings(const TLineSettings& s) {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  if (s.BaudRate == 0) return EINVAL;  // B0 would mean "hang up", not a rate
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return errno;
  ApplyLineSettingsTo(t, s);
  const speed_t speed = StandardSpeed(s.BaudRate);
  if (speed != 0 && (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0)) return errno;
  if (tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
  if (speed == 0) {
    if (int error = linux_tty::SetCustomBaudRate(fd_, s.BaudRate)) return error;
  }
  if (int error = ApplyModemLinesLocked(s)) return error;
  discard_null_ = (s.Flags & dcb::fNull) != 0;
  event_char_ = s.EvtChar;
  return 0;
}

int TLinuxSerialBackend::ApplyModemLinesLocked(const TLineSettings& s) {
  const auto dtr =
      static_cast<TDTRFlowControl>((s.Flags & dcb::fDtrControlMask) >> dcb::kDtrControlShift);
  const auto rts =
      static_cast<TRTSFlowControl>((s.Flags & dcb::fRtsControlMask) >> dcb::kRtsControlShift);
  // termios has no DTR handshake and no RTS toggling: DTR stays on, a toggled RTS idles off.
  const bool dtr_on = dtr != dtrDisable;
  const bool rts_on = rts == rtsEnable || rts == rtsHandshake;
  for (auto [line, on] : {std::pair{linux_tty::lineDTR, dtr_on}, {linux_tty::lineRTS, rts_on}}) {
    const int error = linux_tty::SetModemLine(fd_, line, on);
    if (error && !linux_tty::MeansNoModemLines(error)) return error;
  }
  return 0;
}

int TLinuxSerialBackend::SetTimeouts(const TTimeoutRecord& timeouts) {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  timeouts_ = timeouts;
  return 0;
}

// --- transfers ---

TTransferResult TLinuxSerialBackend::Write(const void* buffer, int count) {
  if (!buffer) return {0, EFAULT};
  std::unique_lock lock(mutex_);
  if (!open_) return {0, EBADF};
  TTransfer transfer(*this, lock, false);
  const auto& t = timeouts_;
  const auto total = t.WriteTotalTimeoutMultiplier || t.WriteTotalTimeoutConstant
                         ? Deadline::After(Clock::now(), uint64_t{t.WriteTotalTimeoutMultiplier} *
                                                                 static_cast<uint64_t>(count) +
                                                             t.WriteTotalTimeoutConstant)
                         : Deadline::Never();
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int done = 0;
  while (done < count) {
    if (transfer.Aborted()) return {done, ECANCELED};
    const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return {done, errno};
    // The driver's buffer is full: wait for room, a purge, or the end of the time-out, which
    // returns what went out so far.
    const auto now = Clock::now();
    if (total.Passed(now)) break;
    const int revents = transfer.Wait(POLLOUT, total.Timeout(now));
    if (revents < 0) return {done, -revents};
    if ((revents & kHangUp) && !(revents & POLLOUT)) return {done, EIO};
  }
  if (done > 0 && (event_mask_ & drv::kEvTxEmpty)) {
    tx_pending_ = true;
    Signal(wake_fd_);
  }
  return {done, 0};
}

TTransferResult TLinuxSerialBackend::Read(void* buffer, int count) {
  if (!buffer) return {0, EFAULT};
  std::unique_lock lock(mutex_);
  if (!open_) return {0, EBADF};
  TTransfer transfer(*this, lock, true);
  const auto& t = timeouts_;
  const auto start = Clock::now();
  // The time-out record's special cases: return at once with what is queued; or wait for the
  // first byte up to the constant.
  const bool at_once = t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
                       t.ReadTotalTimeoutConstant == 0;
  const bool first_byte =
      t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == kMaxDword &&
      t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMaxDword;
  Deadline total = Deadline::Never();
  if (first_byte)
    total = Deadline::After(start, t.ReadTotalTimeoutConstant);
  else if (t.ReadTotalTimeoutMultiplier || t.ReadTotalTimeoutConstant)
    total = Deadline::After(start,
                            uint64_t{t.ReadTotalTimeoutMultiplier} * static_cast<uint64_t>(count) +
                                t.ReadTotalTimeoutConstant);
  const uint32_t interval =
      (t.ReadIntervalTimeout == kMaxDword) ? 0 : t.ReadIntervalTimeout;  // 0: none

  auto* out = static_cast<uint8_t*>(buffer);
  int got = 0;
  Clock::time_point last_byte{};
  for (;;) {
    if (transfer.Aborted()) return {got, ECANCELED};
    // A report's count was taken from the queue just before: the device is asked only for what
    // the queue cannot give.
    if (queue_.size() < static_cast<size_t>(count - got)) PumpLocked(false);
    const int n = TakeLocked(out + got, count - got);
    got += n;
    if (n > 0) last_byte = Clock::now();
    if (got == count) break;
    // A device that went away: hand out what came before it, report it on the next call.
    if (hangup_error_) {
      if (got > 0) break;
      return {0, hangup_error_};
    }
    if (at_once || (first_byte && got > 0)) break;
    const auto now = Clock::now();
    const auto gap = interval && got > 0 ? Deadline::After(last_byte, interval) : Deadline::Never();
    if (total.Passed(now) || gap.Passed(now)) break;
    const int revents = transfer.Wait(POLLIN, total.Earliest(gap).Timeout(now));
    if (revents < 0) return {got, -revents};
    NoteDeviceLocked(static_cast<short>(revents), false);
  }
  return {got, 0};
}

int TLinuxSerialBackend::AbortTransfers() {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  ++abort_generation_;
  WakeWaitersLocked(false);
  return 0;
}

int TLinuxSerialBackend::ClearQueues() {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  queue_.clear();
  reported_ = arrived_;
  rx_flag_ = rx80_full_ = false;
  return tcflush(fd_, TCIOFLUSH) == 0 ? 0 : errno;
}

// --- the receive queue ---

void TLinuxSerialBackend::PumpLocked(bool by_event_thread) {
  if (hangup_error_) return;
  const uint64_t before = arrived_;
  uint8_t chunk[4096];
  while (queue_.size() < capacity_) {
    const size_t room = std::min(sizeof chunk, capacity_ - queue_.size());
    const ssize_t n = ::read(fd_, chunk, room);
    if (n > 0) {
      AcceptLocked(chunk, static_cast<size_t>(n));
      // A short read took all the driver held: asking again would only return EAGAIN, and
      // later bytes show in the next poll.
      if (static_cast<size_t>(n) < room) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // Zero bytes from a descriptor that is never empty-and-blocking: the other end is gone.
    SetHangUpLocked(n == 0 ? EIO : errno);
    break;
  }
  if (arrived_ == before) return;
  WakeWaitersLocked(true);
  if (!by_event_thread && (event_mask_ & (drv::kEvRxChar | drv::kEvRxFlag | drv::kEvRx80Full)))
    Signal(wake_fd_);
}

void TLinuxSerialBackend::AcceptLocked(const uint8_t* bytes, size_t count) {
  const size_t level_before = queue_.size();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b == 0 && discard_null_) continue;
    if (b == event_char_) rx_flag_ = true;
    queue_.push_back(b);
    ++arrived_;
  }
  if (level_before < rx80_level_ && queue_.size() >= rx80_level_) rx80_full_ = true;
}

int TLinuxSerialBackend::TakeLocked(uint8_t* out, int count) {
  const bool was_full = queue_.size() >= capacity_;
  const auto n = std::min(queue_.size(), static_cast<size_t>(count));
  std::copy_n(queue_.begin(), n, out);
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
  // The event thread stopped reading the device while the queue was full.
  if (was_full && n > 0) Signal(wake_fd_);
  return static_cast<int>(n);
}

void TLinuxSerialBackend::NoteDeviceLocked(short revents, bool by_event_thread) {
  if (revents & (POLLIN | kHangUp)) PumpLocked(by_event_thread);
  if ((revents & kHangUp) && !hangup_error_) SetHangUpLocked(EIO);
}

void TLinuxSerialBackend::SetHangUpLocked(int error) {
  hangup_error_ = error;
  WakeWaitersLocked(false);
}

void TLinuxSerialBackend::WakeWaitersLocked(bool readers_only) {
  for (const auto& w : waiters_)
    if (w.reader || !readers_only) Signal(w.fd);
}

int TLinuxSerialBackend::QueueStatus(TQueueStatus& status, bool for_event) {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  PumpLocked(false);
  if (has_counters_) SampleCountersLocked();
  if (hangup_error_ && queue_.empty()) return hangup_error_;
  status.InQueue = static_cast<int>(std::min<size_t>(queue_.size(), INT_MAX));
  status.Errors = line_errors_;
  line_errors_ = 0;
  if (for_event) reported_ = arrived_;
  return 0;
}

int TLinuxSerialBackend::ModemStatus(uint32_t& status) {
  std::lock_guard lock(mutex_);
  status = 0;
  if (!open_) return EBADF;
  const int error = linux_tty::GetModemStatus(fd_, status);
  if (error && linux_tty::MeansNoModemLines(error)) return 0;
  return error;
}

// --- the event thread's wait ---

int TLinuxSerialBackend::SetEventMask(uint32_t mask) {
  std::lock_guard lock(mutex_);
  if (!open_) return EBADF;
  event_mask_ = mask;
  if (mask != 0) stop_ = false;
  return 0;
}

void TLinuxSerialBackend::StopEventWait() {
  std::lock_guard lock(mutex_);
  stop_ = true;
  if (wake_fd_ >= 0) Signal(wake_fd_);
}

TWaitResult TLinuxSerialBackend::WaitEvents(uint32_t& mask, int& error) {
  mask = 0;
  error = 0;
  std::unique_lock lock(mutex_);
  if (!open_) {
    error = EBADF;
    return TWaitResult::wrFailed;
  }
  TActivity activity(*this);
  for (;;) {
    if (stop_) return TWaitResult::wrStopped;
    if (has_counters_) SampleCountersLocked();
    mask = PendingEventsLocked();
    if (mask) return TWaitResult::wrEvents;
    // Reported once, then no more waiting: a hung-up device is readable forever.
    if (hangup_error_) {
      error = hangup_error_;
      return TWaitResult::wrFailed;
    }

    const short device_events = queue_.size() < capacity_ ? POLLIN : 0;
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {fd_, device_events, 0}};
    const int timeout = EventWaitTimeoutLocked();
    lock.unlock();
    const int rc = ::poll(fds, 2, timeout);
    const int poll_error = rc < 0 ? errno : 0;
    lock.lock();
    if (rc < 0 && poll_error != EINTR) {
      error = poll_error;
      return TWaitResult::wrFailed;
    }
    if (fds[0].revents & POLLIN) Drain(wake_fd_);
    if (fds[1].revents) NoteDeviceLocked(fds[1].revents, true);
  }
}

int TLinuxSerialBackend::EventWaitTimeoutLocked() const {
  int timeout = -1;
  if (tx_pending_) timeout = kTxEmptyCheckMs;
  if (has_counters_ && (event_mask_ & kModemEvents))
    timeout = timeout < 0 ? kModemCheckMs : std::min(timeout, kModemCheckMs);
  return timeout;
}

uint32_t TLinuxSerialBackend::PendingEventsLocked() {
  uint32_t events = counter_events_;
  counter_events_ = 0;
  if (arrived_ > reported_) {
    // Bytes already read by a transfer need no report.
    if (!queue_.empty()) events |= drv::kEvRxChar;
    reported_ = arrived_;
  }
  if (rx_flag_) events |= drv::kEvRxFlag;
  if (rx80_full_) events |= drv::kEvRx80Full;
  rx_flag_ = rx80_full_ = false;
  if (tx_pending_) {
    int queued = 0;
    if (linux_tty::OutputQueueCount(fd_, queued) != 0 || queued == 0) {
      tx_pending_ = false;
      events |= drv::kEvTxEmpty;
    }
  }
  return events & event_mask_;
}

void TLinuxSerialBackend::SampleCountersLocked() {
  linux_tty::TLineCounters now;
  if (linux_tty::GetLineCounters(fd_, now) != 0) {
    has_counters_ = false;
    return;
  }
  const auto& was = counters_;
  if (now.Frame != was.Frame) line_errors_ |= drv::kCeFrame;
  if (now.Parity != was.Parity) line_errors_ |= drv::kCeRxParity;
  if (now.Overrun != was.Overrun) line_errors_ |= drv::kCeOverrun;
  if (now.BufferOverrun != was.BufferOverrun) line_errors_ |= drv::kCeRxOver;
  if (now.Break != was.Break) line_errors_ |= drv::kCeBreak;
  if (now.Frame != was.Frame || now.Parity != was.Parity || now.Overrun != was.Overrun ||
      now.BufferOverrun != was.BufferOverrun)
    counter_events_ |= drv::kEvErr;
  if (now.Break != was.Break) counter_events_ |= drv::kEvBreak;
  if (now.CTS != was.CTS) counter_events_ |= drv::kEvCts;
  if (now.DSR != was.DSR) counter_events_ |= drv::kEvDsr;
  if (now.RLSD != was.RLSD) counter_events_ |= drv::kEvRlsd;
  if (now.Ring != was.Ring) counter_events_ |= drv::kEvRing;
  counters_ = now;
}

}  // namespace

std::unique_ptr<TSerialBackend> CreateSerialBackend() {
  return std::make_unique<TLinuxSerialBackend>();
}

}  // namespace orvix
