// A simulated device for tests, benchmarks and the demo. It plays the microcontroller end of
// the programmer's line: answers pings, stores written blocks in a 64 KiB memory, confirms the
// checksum, and injects the faults its options ask for. It serves the line on a thread of its
// own; every public member may be called from any thread.
//
// Device numbers: by default it answers every frame and replies with the number the host sent,
// so a test need not know which number the programmer uses. With SimOptions::device set it
// behaves as a device on a shared line: frames for other numbers get no reply and change
// nothing. Frames with a wrong checksum, block frames of any length but 133 and checksum
// frames without their two bytes are not answered either; the host's resend recovers.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/frame_assembler.h"
#include "tools/devsim/sim_options.h"
#include "tools/devsim/terminal.h"
#include "tools/devsim/tx_queue.h"

namespace orvix {
class TThread;
}

namespace orvix::devsim {

constexpr int kMemorySize = 0x10000;
constexpr int kBlockSize = 128;

struct WrittenRange {
  uint16_t lowest = 0;
  uint16_t highest = 0;
};

struct ChecksumReport {
  uint16_t received = 0;    // the sum the host sent
  uint16_t memory_sum = 0;  // the sum of memory over the whole range written
  // The host sums its image, which may end inside the last block where the device holds
  // padding. So it matches when it is the sum of memory from the lowest address written to some
  // address within the last block; covered_end is that address.
  bool matched = false;
  uint16_t covered_end = 0;
};

// How well the line kept time, for benchmarks: a piece is a reply (or a part of a split one); a
// host gap runs from the end of a reply to a block frame to the next bytes the host sends. The
// wait after a ping answer is the host's quiet start, not its turnaround: RunTimes has it.
struct LineTimes {
  int pieces = 0;
  std::chrono::steady_clock::duration late{};  // summed: last bytes written after their time
  int host_gaps = 0;
  std::chrono::steady_clock::duration host_gap{};  // summed
};

// When a run's frames crossed the line, as the device saw them, for benchmarks. A frame starts
// when its first byte begins to cross (on a paced line, its length in byte times before its end)
// and ends when its last byte has crossed.
struct RunTimes {
  using TimePoint = std::chrono::steady_clock::time_point;
  // The last byte of the first ping answer written since the previous run ended and before this
  // run's first block: the device found.
  std::optional<TimePoint> answered;
  std::optional<TimePoint> first_block_start, first_block_end;
  TimePoint checksum_end{};  // the checksum frame that ended the run
  TimePoint ended{};         // the last byte of its reply written
};

// A run is the blocks since the previous run ended and the checksum frame that ended it.
struct RunResult {
  std::optional<WrittenRange> written;
  int block_frames = 0;
  ChecksumReport checksum;
  RunTimes times;
};

class DeviceSimulator {
 public:
  // Plays the device on a new pseudo-terminal; the programmer opens PortPath().
  explicit DeviceSimulator(SimOptions options = {});
  // Plays the device on an existing terminal, such as one end of a wired pair.
  DeviceSimulator(const std::string& line_path, SimOptions options);
  ~DeviceSimulator();

  DeviceSimulator(const DeviceSimulator&) = delete;
  DeviceSimulator& operator=(const DeviceSimulator&) = delete;

  // The pseudo-terminal's slave, or the given line.
  const std::string& PortPath() const { return port_path_; }

  // Ends the service and waits for it; the state stays readable.
  void Stop();
  // Asks the service to end without waiting. Safe in a signal handler.
  void Interrupt();

  std::vector<uint8_t> Memory() const;
  std::optional<WrittenRange> Written() const;  // this run's
  int BlockCount(uint16_t address) const;       // block frames received at the address, this run
  std::map<uint16_t, int> BlockCounts() const;  // this run's, by address
  int FrameCount(uint8_t command) const;        // frames handled, of all runs
  int Pings() const { return FrameCount(cmdPing); }
  int BadFrames() const;
  int IgnoredFrames() const;  // for another device number, or of a command it does not know
  int DroppedReplies() const;
  int LostBytes() const;  // arrived while the device was busy after a block
  // The rates the programmer's side of the line was set to as each intact frame arrived, all
  // runs long: a pseudo-terminal does not pace its bytes, but it does keep the rate asked for.
  std::set<int> HostRates() const;
  std::optional<ChecksumReport> LastChecksum() const;  // this run's
  // A run completes when the reply to its checksum frame has been written and is one the
  // programmer takes: intact, and command 1 or 3, or command 2 with the host's number.
  std::vector<RunResult> Runs() const;
  int RunsCompleted() const;
  LineTimes Times() const;
  bool HungUp() const;            // closed the line as the hang-up fault asked
  bool Ended() const;             // the service is over: stopped, hung up, or the line failed
  std::string LineError() const;  // why the line failed; empty when it did not

  // Waits until condition() holds, testing it again after each change of state; the condition
  // may call the accessors. Returns its last value.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;
  bool WaitRunComplete(std::chrono::milliseconds timeout, int runs = 1) const;
  // Waits until the host has read everything the device wrote (the slave's queue has stayed
  // empty for a quarter second), or nothing more can go out. Closing a pseudo-terminal loses
  // what its slave has not read yet, so a program calls this before it ends the service.
  bool WaitDrained(std::chrono::milliseconds timeout) const;

 private:
  class Worker;
  using Clock = std::chrono::steady_clock;

  DeviceSimulator(SimOptions options, PseudoTerminal line);

  // The service thread.
  void Serve(const TThread& thread);
  bool Step(const TThread& thread);
  void Transmit();
  void NotePieceSent(Clock::time_point due);
  bool Receive(short revents);
  std::optional<Clock::time_point> NextWake() const;
  void OnFrame(const uint8_t* frame, int count);
  void OnPing(const RSPacket& packet);
  void OnBlock(const RSPacket& packet);
  void OnChecksum(const uint8_t* frame, const RSPacket& packet);
  void Reply(const RSPacket& request, uint16_t address, bool ends_run);
  void Queue(std::vector<uint8_t> bytes, Clock::time_point not_before,
             std::function<void()> written);
  void HangUp();
  void CompleteRun();
  void NoteAnswered();

  // Under the lock.
  void Store(const RSPacket& block);
  ChecksumReport Judge(uint16_t received) const;
  void CountFrame(uint8_t command);
  template <typename Change>
  void Update(Change&& change);

  const SimOptions options_;
  const Clock::duration byte_time_;
  int line_fd_;
  int slave_fd_;
  int wake_fd_ = -1;
  const std::string port_path_;

  // Used by the service thread only.
  TxQueue tx_;
  FrameAssembler assembler_;
  int last_host_rate_ = -1;  // the last rate noted in host_rates_
  std::optional<Clock::time_point> frame_deadline_;
  Clock::time_point now_{};        // when the chunk being scanned arrived
  Clock::time_point frame_end_{};  // when the byte being scanned finished crossing the line
  Clock::time_point frame_start_{};  // of the frame being handled
  Clock::time_point rx_free_{};
  Clock::time_point busy_until_{};
  Clock::time_point deaf_until_{};  // the start plus SimOptions::answer_after_ms
  bool blocked_ = false;                         // the line took no more; wait until it is writable
  std::optional<Clock::time_point> piece_sent_;  // a block reply's end, until the host answers

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  uint64_t changes_ = 0;
  std::vector<uint8_t> memory_;
  std::optional<WrittenRange> written_;
  std::map<uint16_t, int> block_counts_;
  int run_blocks_ = 0;
  std::optional<ChecksumReport> checksum_;
  bool run_complete_ = false;
  std::vector<RunResult> runs_;
  std::array<int, 256> frame_counts_{};
  int frames_total_ = 0;
  int bad_frames_ = 0;
  int ignored_frames_ = 0;
  int dropped_replies_ = 0;
  int lost_bytes_ = 0;
  std::set<int> host_rates_;
  bool output_pending_ = false;
  bool hung_up_ = false;
  bool ended_ = false;
  std::string line_error_;
  LineTimes times_;
  RunTimes run_times_;  // this run's so far

  std::unique_ptr<Worker> worker_;  // last: the thread starts once everything else exists
};

}  // namespace orvix::devsim
