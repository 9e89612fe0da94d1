#include "tools/devsim/device_simulator.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "link/frame.h"
#include "runtime/thread.h"

namespace orvix::devsim {

using std::chrono::milliseconds;

class DeviceSimulator::Worker : public TThread {
 public:
  Worker(TBuildKey key, DeviceSimulator& sim) : TThread(key), sim_(sim) {}

 private:
  void Execute() override { sim_.Serve(*this); }
  DeviceSimulator& sim_;
};

namespace {

constexpr int kBlockFrameLength = kLengthOverData + kBlockSize;
constexpr int kChecksumFrameLength = 7;
// When paced, bytes due sooner than this after the last write wait and go out together.
constexpr auto kPaceTick = milliseconds(1);

std::chrono::steady_clock::duration ByteTime(int baud) {
  if (baud <= 0) return std::chrono::steady_clock::duration::zero();
  return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

template <typename Rule>
const FrameSelector& SelectorOf(const Rule& rule) {
  if constexpr (std::is_same_v<Rule, FrameSelector>) {
    return rule;
  } else {
    return rule.frames;
  }
}

template <typename Rule>
const Rule* FindRule(const std::vector<Rule>& rules, uint8_t command, int of_kind, int of_all) {
  for (const Rule& rule : rules) {
    if (SelectorOf(rule).Matches(command, of_kind, of_all)) return &rule;
  }
  return nullptr;
}

// Noise with stray sync bytes, ending in one: the host starts a frame that never completes.
std::vector<uint8_t> Noise(int count) {
  std::vector<uint8_t> noise(std::max(count, 1));
  for (size_t i = 0; i < noise.size(); ++i) {
    noise[i] = i % 3 == 1 ? kFrameSync : static_cast<uint8_t>(0x5A + 29 * i);
  }
  noise.back() = kFrameSync;
  return noise;
}

// The programmer takes command 1 or 3 from any device, command 2 only with its own number.
bool TakenByHost(const RSPacket& reply, uint8_t host_device) {
  return reply.Command == cmdPing || reply.Command == cmdChecksum ||
         (reply.Command == cmdWriteBlock && reply.Device == host_device);
}

}  // namespace

template <typename Change>
void DeviceSimulator::Update(Change&& change) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    change();
    ++changes_;
  }
  changed_.notify_all();
}

DeviceSimulator::DeviceSimulator(SimOptions options)
    : DeviceSimulator(std::move(options), OpenPseudoTerminal()) {}

DeviceSimulator::DeviceSimulator(const std::string& line_path, SimOptions options)
    : DeviceSimulator(options, PseudoTerminal{OpenLine(line_path, options.baud), -1, line_path}) {}

DeviceSimulator::DeviceSimulator(SimOptions options, PseudoTerminal line)
    : options_(std::move(options)),
      byte_time_(ByteTime(options_.baud)),
      line_fd_(line.master),
      slave_fd_(line.slave),
      port_path_(line.slave_path),
      tx_(byte_time_),
      assembler_({[this] { frame_deadline_.reset(); },
                  [this] {
                    if (!frame_deadline_) {
                      frame_deadline_ = now_ + milliseconds(options_.frame_timeout_ms);
                    }
                  },
                  [this](const uint8_t* frame, int count) { OnFrame(frame, count); },
                  [this] { return line_fd_ < 0; }}),
      memory_(kMemorySize, 0xFF) {
  deaf_until_ = Clock::now() + milliseconds(options_.answer_after_ms);
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) {
    const int error = errno;
    close(line_fd_);
    if (slave_fd_ >= 0) close(slave_fd_);
    throw std::system_error(error, std::generic_category(), "cannot make a wake-up descriptor");
  }
  worker_ = StartThread<Worker>(*this);
}

DeviceSimulator::~DeviceSimulator() {
  Stop();
  worker_.reset();
  if (line_fd_ >= 0) close(line_fd_);
  if (slave_fd_ >= 0) close(slave_fd_);
  close(wake_fd_);
}

void DeviceSimulator::Stop() {
  Interrupt();
  worker_->WaitFor();
}

void DeviceSimulator::Interrupt() {
  worker_->RequestStop();
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

// ---- The service thread.

void DeviceSimulator::Serve(const TThread& thread) {
  // A paced line keeps its time to the microsecond; the default slack would let each wake-up
  // come up to 50 us late.
  if (byte_time_.count() > 0) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  if (options_.realtime) {
    // The thread sleeps between bytes and frames, so the priority costs others next to nothing.
    sched_param lowest{};
    lowest.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowest);
  }
  try {
    while (Step(thread)) {
    }
  } catch (const std::exception& error) {
    Update([&] { line_error_ = error.what(); });
  }
  Update([&] { ended_ = true; });
}

bool DeviceSimulator::Step(const TThread& thread) {
  if (thread.StopRequested() || line_fd_ < 0) return false;
  if (frame_deadline_ && Clock::now() >= *frame_deadline_) assembler_.TimeOut();
  Transmit();

  pollfd fds[2] = {{line_fd_, static_cast<short>(POLLIN | (blocked_ ? POLLOUT : 0)), 0},
                   {wake_fd_, POLLIN, 0}};
  timespec wait{};
  timespec* limit = nullptr;
  if (const std::optional<Clock::time_point> wake = NextWake()) {
    const auto left = std::max(Clock::duration::zero(), *wake - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    wait.tv_sec = ns / 1'000'000'000;
    wait.tv_nsec = ns % 1'000'000'000;
    limit = &wait;
  }
  if (ppoll(fds, 2, limit, nullptr) < 0) {
    if (errno == EINTR) return true;
    throw std::system_error(errno, std::generic_category(), "cannot wait on " + port_path_);
  }
  if (fds[1].revents & POLLIN) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(wake_fd_, &count, sizeof count);
  }
  if (thread.StopRequested()) return false;
  if (fds[0].revents & POLLOUT) blocked_ = false;
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) return Receive(fds[0].revents);
  return true;
}

std::optional<DeviceSimulator::Clock::time_point> DeviceSimulator::NextWake() const {
  std::optional<Clock::time_point> wake = frame_deadline_;
  const std::optional<Clock::time_point> due =
      blocked_ ? std::nullopt : tx_.NextWake(Clock::now(), kPaceTick);
  if (due && (!wake || *due < *wake)) wake = due;
  return wake;
}

void DeviceSimulator::Transmit() {
  while (!blocked_) {
    const std::span<const uint8_t> due = tx_.Due(Clock::now());
    if (due.empty()) break;
    const ssize_t n = write(line_fd_, due.data(), due.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        throw std::system_error(errno, std::generic_category(), "cannot write to " + port_path_);
      }
      blocked_ = true;
      break;
    }
    const bool ends_piece = static_cast<size_t>(n) == tx_.FrontLeft();
    const Clock::time_point piece_end = tx_.FrontEnd();
    tx_.Consume(static_cast<size_t>(n));
    if (ends_piece) NotePieceSent(piece_end);
  }
  const bool pending = !tx_.Empty();
  if (pending != output_pending_) Update([&] { output_pending_ = pending; });
}

void DeviceSimulator::NotePieceSent(Clock::time_point due) {
  const Clock::time_point now = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  ++times_.pieces;
  times_.late += std::max(Clock::duration::zero(), now - due);
}

bool DeviceSimulator::Receive(short revents) {
  uint8_t chunk[4096];
  const ssize_t n = read(line_fd_, chunk, sizeof chunk);
  if (n < 0) {
    const int error = errno;
    const bool gone = revents & (POLLHUP | POLLERR | POLLNVAL);
    if ((error == EAGAIN || error == EINTR) && !gone) return true;
    throw std::system_error(error, std::generic_category(), "cannot read from " + port_path_);
  }
  if (n == 0) throw std::runtime_error(port_path_ + ": the line hung up");

  now_ = Clock::now();
  if (piece_sent_) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++times_.host_gaps;
    times_.host_gap += now_ - *piece_sent_;
    piece_sent_.reset();
  }
  // When paced, the chunk starts crossing the line once the previous one has, and each byte
  // counts as received only when its ten bits are through.
  const Clock::time_point start = std::max(now_, rx_free_);
  if (options_.echo) Queue({chunk, chunk + n}, start, nullptr);
  int lost = 0;
  for (ssize_t i = 0; i < n && line_fd_ >= 0; ++i) {
    frame_end_ = start + byte_time_ * (i + 1);
    if (frame_end_ < deaf_until_) continue;
    if (frame_end_ < busy_until_) {
      ++lost;
      continue;
    }
    assembler_.Feed(&chunk[i], 1);
  }
  rx_free_ = start + byte_time_ * n;
  if (lost > 0) Update([&] { lost_bytes_ += lost; });
  return true;
}

void DeviceSimulator::OnFrame(const uint8_t* frame, int count) {
  frame_start_ = frame_end_ - byte_time_ * count;
  if (count < kMinFrameSize || !CheckFrame(frame, count)) {
    Update([&] { ++bad_frames_; });
    return;
  }
  const RSPacket packet = DecodePacket(frame, count);
  if (const int rate = LineRate(line_fd_); rate != last_host_rate_) {
    last_host_rate_ = rate;
    Update([&] { host_rates_.insert(rate); });
  }
  if (options_.device && packet.Device != *options_.device) {
    Update([&] { ++ignored_frames_; });
    return;
  }
  switch (packet.Command) {
    case cmdPing:
      return OnPing(packet);
    case cmdWriteBlock:
      return OnBlock(packet);
    case cmdChecksum:
      return OnChecksum(frame, packet);
    default:
      Update([&] { ++ignored_frames_; });
  }
}

void DeviceSimulator::OnPing(const RSPacket& packet) {
  Update([&] { CountFrame(cmdPing); });
  Reply(packet, 0, false);
}

void DeviceSimulator::OnBlock(const RSPacket& packet) {
  if (packet.Length != kBlockFrameLength) {
    Update([&] { ++bad_frames_; });
    return;
  }
  if (options_.hang_up_after_blocks >= 0 &&
      frame_counts_[cmdWriteBlock] >= options_.hang_up_after_blocks) {
    HangUp();
    return;
  }
  Update([&] {
    if (run_complete_) {
      // The first block after a completed run starts the next one; memory keeps its contents.
      written_.reset();
      block_counts_.clear();
      run_blocks_ = 0;
      checksum_.reset();
      run_complete_ = false;
    }
    Store(packet);
    CountFrame(cmdWriteBlock);
    if (!run_times_.first_block_start) {
      run_times_.first_block_start = frame_start_;
      run_times_.first_block_end = frame_end_;
    }
  });
  if (options_.busy_after_block_ms > 0)
    busy_until_ = frame_end_ + milliseconds(options_.busy_after_block_ms);
  Reply(packet, packet.Address, false);
}

void DeviceSimulator::OnChecksum(const uint8_t* frame, const RSPacket& packet) {
  if (packet.Length < kChecksumFrameLength) {
    Update([&] { ++bad_frames_; });
    return;
  }
  // Read from the frame: a checksum frame is too short for its data to be decoded.
  const auto received = static_cast<uint16_t>(frame[6] | frame[7] << 8);
  Update([&] {
    checksum_ = Judge(received);
    CountFrame(cmdChecksum);
    run_times_.checksum_end = frame_end_;
  });
  Reply(packet, 0, true);
}

void DeviceSimulator::Reply(const RSPacket& request, uint16_t address, bool ends_run) {
  if (options_.silent) return;
  // Only this thread changes the counts, so it may read them without the lock.
  const uint8_t command = request.Command;
  const int of_kind = frame_counts_[command];
  const int of_all = frames_total_;
  if (FindRule(options_.drop, command, of_kind, of_all)) {
    Update([&] { ++dropped_replies_; });
    return;
  }

  std::vector<uint8_t> bytes;
  bool taken = false;
  if (const ReplyFault* noise = FindRule(options_.garbage, command, of_kind, of_all)) {
    bytes = Noise(noise->value);
  } else {
    RSPacket reply = MakePacket(request.Device, command, address);
    if (const ReplyFault* f = FindRule(options_.other_device, command, of_kind, of_all)) {
      reply.Device = static_cast<uint8_t>(f->value < 0 ? request.Device + 1 : f->value);
    }
    if (const ReplyFault* f = FindRule(options_.reply_command, command, of_kind, of_all)) {
      reply.Command = static_cast<uint8_t>(f->value);
    }
    bytes = EncodePacket(reply);
    taken = TakenByHost(reply, request.Device);
    if (FindRule(options_.corrupt_checksum, command, of_kind, of_all)) {
      bytes.back() ^= 0xFF;
      taken = false;
    }
  }

  // A busy device replies once it is free again.
  Clock::time_point due = std::max(frame_end_, busy_until_);
  if (const ReplyFault* f = FindRule(options_.delay, command, of_kind, of_all)) {
    due += milliseconds(f->value);
  }
  const ReplyFault* again = FindRule(options_.twice, command, of_kind, of_all);
  std::vector<uint8_t> copy = again ? bytes : std::vector<uint8_t>{};
  std::function<void()> written;
  if (ends_run && taken) {
    written = [this] { CompleteRun(); };
  } else if (taken && command == cmdPing) {
    written = [this] { NoteAnswered(); };
  } else if (command == cmdWriteBlock) {
    // The host's turnaround runs from here to its next frame.
    written = [this] { piece_sent_ = Clock::now(); };
  }
  Queue(std::move(bytes), due, std::move(written));
  if (again) Queue(std::move(copy), due + milliseconds(again->value), nullptr);
}

void DeviceSimulator::Queue(std::vector<uint8_t> bytes, Clock::time_point not_before,
                            std::function<void()> written) {
  tx_.Push(std::move(bytes), not_before, options_.split_bytes, milliseconds(options_.split_gap_ms),
           std::move(written));
  if (!output_pending_) Update([&] { output_pending_ = true; });
}

void DeviceSimulator::HangUp() {
  close(line_fd_);
  line_fd_ = -1;
  Update([&] { hung_up_ = true; });
}

void DeviceSimulator::CompleteRun() {
  const Clock::time_point now = Clock::now();
  Update([&] {
    if (run_complete_ || !checksum_) return;
    run_complete_ = true;
    run_times_.ended = now;
    runs_.push_back(RunResult{written_, run_blocks_, *checksum_, run_times_});
    run_times_ = {};
  });
}

void DeviceSimulator::NoteAnswered() {
  const Clock::time_point now = Clock::now();
  Update([&] {
    if (!run_times_.answered && !run_times_.first_block_start) run_times_.answered = now;
  });
}

// ---- Under the lock.

void DeviceSimulator::Store(const RSPacket& block) {
  for (int i = 0; i < kBlockSize; ++i) {
    const auto address = static_cast<uint16_t>(block.Address + i);
    memory_[address] = block.Data[i];
    if (!written_) written_ = WrittenRange{address, address};
    written_->lowest = std::min(written_->lowest, address);
    written_->highest = std::max(written_->highest, address);
  }
  ++block_counts_[block.Address];
  ++run_blocks_;
}

ChecksumReport DeviceSimulator::Judge(uint16_t received) const {
  ChecksumReport report;
  report.received = received;
  if (!written_) return report;
  const int lowest = written_->lowest;
  const int highest = written_->highest;
  uint16_t sum = 0;
  for (int address = lowest; address <= highest; ++address) sum += memory_[address];
  report.memory_sum = sum;
  report.covered_end = written_->highest;
  for (int end = highest; end >= lowest && end > highest - kBlockSize; --end) {
    if (sum == received) {
      report.matched = true;
      report.covered_end = static_cast<uint16_t>(end);
      break;
    }
    sum = static_cast<uint16_t>(sum - memory_[end]);
  }
  return report;
}

void DeviceSimulator::CountFrame(uint8_t command) {
  ++frame_counts_[command];
  ++frames_total_;
}

// ---- Accessors.

std::vector<uint8_t> DeviceSimulator::Memory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return memory_;
}

std::optional<WrittenRange> DeviceSimulator::Written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

int DeviceSimulator::BlockCount(uint16_t address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = block_counts_.find(address);
  return found == block_counts_.end() ? 0 : found->second;
}

std::map<uint16_t, int> DeviceSimulator::BlockCounts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return block_counts_;
}

int DeviceSimulator::FrameCount(uint8_t command) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frame_counts_[command];
}

int DeviceSimulator::BadFrames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bad_frames_;
}

std::set<int> DeviceSimulator::HostRates() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return host_rates_;
}

int DeviceSimulator::LostBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lost_bytes_;
}

int DeviceSimulator::IgnoredFrames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ignored_frames_;
}

int DeviceSimulator::DroppedReplies() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_replies_;
}

std::optional<ChecksumReport> DeviceSimulator::LastChecksum() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return checksum_;
}

std::vector<RunResult> DeviceSimulator::Runs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return runs_;
}

int DeviceSimulator::RunsCompleted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(runs_.size());
}

LineTimes DeviceSimulator::Times() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return times_;
}

bool DeviceSimulator::HungUp() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hung_up_;
}

bool DeviceSimulator::Ended() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

std::string DeviceSimulator::LineError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return line_error_;
}

bool DeviceSimulator::WaitUntil(const std::function<bool()>& condition,
                                std::chrono::milliseconds timeout) const {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const uint64_t seen = changes_;
    lock.unlock();
    if (condition()) return true;
    lock.lock();
    if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; })) {
      lock.unlock();
      return condition();
    }
  }
}

bool DeviceSimulator::WaitRunComplete(std::chrono::milliseconds timeout, int runs) const {
  return WaitUntil([&] { return RunsCompleted() >= runs; }, timeout);
}

bool DeviceSimulator::WaitDrained(std::chrono::milliseconds timeout) const {
  // Bytes written to the master reach the slave's queue later, from a kernel worker that a busy
  // machine may run tens of milliseconds late; so an empty queue counts only once it has stayed
  // empty for a good while.
  constexpr auto kQuiet = milliseconds(250);
  const auto deadline = Clock::now() + timeout;
  auto busy_at = Clock::now();
  for (;;) {
    bool pending = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (ended_) return true;
      pending = output_pending_;
    }
    int unread = 0;
    if (slave_fd_ >= 0 && ioctl(slave_fd_, FIONREAD, &unread) != 0) unread = 0;
    const auto now = Clock::now();
    if (pending || unread > 0) busy_at = now;
    if (now - busy_at >= kQuiet) return true;
    if (now >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(2));
  }
}

}  // namespace orvix::devsim
