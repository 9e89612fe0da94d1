// Discovery as the exchange runs it: one thread per port, the hand-over, and the stop that must
// leave no thread and no descriptor behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "channel/com_ping.h"
#include "exchange/exchange.h"
#include "serial/serial_backend.h"
#include "serial/serial_port.h"
#include "tests/channel/line.h"
#include "tests/support/far_end.h"
#include "tests/support/process_counts.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/simulated_ports.h"

namespace orvix::testing {
namespace {

using devsim::DeviceSimulator;
using devsim::SimOptions;

Bytes Image(size_t size) {
  Bytes image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 13 + 7);
  return image;
}

TEST(DiscoveryOverManyPorts, TheDeviceOnTheLastOf32PortsIsFoundAndStopReleasesEverything) {
  MainLoop loop;
  SimulatedPorts ports;
  SimOptions quiet;
  quiet.silent = true;
  std::vector<DeviceSimulator*> silent;
  std::vector<std::string> names;
  for (int n = 1; n <= 31; ++n) {
    names.push_back("COM" + std::to_string(n));
    silent.push_back(&ports.Add(names.back(), quiet));
  }
  names.push_back("COM32");
  DeviceSimulator& device = ports.Add("COM32");
  const Bytes image = Image(256);
  const int tasks = ThreadsOf("self");
  const int descriptors = OpenDescriptorsOf("self");

  RecordingFrontEnd front;
  TExchangeSettings settings;
  settings.DeviceNumber = 5;
  settings.StopAddress = 0x00FF;
  settings.ImageData = image.data();
  settings.ImageSize = static_cast<int>(image.size());
  settings.Ports = names;
  auto engine = std::make_unique<TExchange>(front, settings);
  std::vector<int> pings_at_close;
  front.OnEnd = [&](const TRunResult&) {
    for (DeviceSimulator* sim : silent) pings_at_close.push_back(sim->Pings());
  };
  engine->StartNegotiation();
  ASSERT_TRUE(loop.RunUntil([&] { return front.Ended(); }, 8s));
  EXPECT_TRUE(front.Finished());
  EXPECT_EQ(front.found, std::vector<std::string>{"COM32"});
  EXPECT_TRUE(device.WaitRunComplete(2s));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), device.Memory().begin()));

  // Every other port is still being pinged.
  loop.Idle(300ms);
  for (size_t i = 0; i < silent.size(); ++i) {
    EXPECT_GT(silent[i]->Pings(), pings_at_close[i]) << names[i];
    EXPECT_TRUE(engine->PortList()[i].second->Pinging()) << names[i];
  }

  engine.reset();
  EXPECT_EQ(ThreadsOf("self"), tasks);
  EXPECT_EQ(OpenDescriptorsOf("self"), descriptors);
}

TEST(DiscoveryOverManyPorts, StopNeitherWaitsForNorClosesPortsThatNeverOpened) {
  MainLoop loop;
  FarEnd held;
  const int holder = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  std::vector<std::string> names{held.SlavePath()};
  for (int n = 0; n < 29; ++n) names.push_back("/dev/orvix-missing-" + std::to_string(n));

  RecordingFrontEnd front;
  TExchangeSettings settings;
  settings.DeviceNumber = 5;
  settings.Ports = names;
  auto engine = std::make_unique<TExchange>(front, settings);
  engine->StartNegotiation();
  ASSERT_TRUE(loop.RunUntil([&] {
    for (const auto& entry : engine->PortList())
      if (!entry.second->Finished()) return false;
    return true;
  }));
  for (const auto& entry : engine->PortList())
    EXPECT_FALSE(entry.second->SerialPort()->Connected());

  // Waiting 100 ms for each of these ports would take 3 s.
  const auto start = Clock::now();
  engine.reset();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_FALSE(front.Ended());  // the window's run waits for a device until stopped
  EXPECT_EQ(front.failures.size(), names.size());

  // The other opener still holds its port.
  const int second = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(second, 0);
  EXPECT_NE(flock(second, LOCK_EX | LOCK_NB), 0);
  close(second);
  close(holder);
}

// The build's own backend under each port, noting every change of DTR or RTS and the first
// write (a ping): a pseudo-terminal has no modem lines, so this is where a pulse can be seen.
class LineWatch final : public TSerialBackend {
 public:
  struct Event {
    std::string what;  // "D+", "D-", "R+", "R-", "W"
    Clock::time_point at;
  };
  using Log = std::map<std::string, std::vector<Event>>;  // by port
  LineWatch(Log& log, std::mutex& mutex) : log_(log), mutex_(mutex) {}

  int Open(const std::string& port) override {
    name_ = port;
    return real_->Open(port);
  }
  int SetLineSettings(const TLineSettings& s) override {
    const bool dtr = ((s.Flags & dcb::fDtrControlMask) >> dcb::kDtrControlShift) == dtrEnable;
    const bool rts = ((s.Flags & dcb::fRtsControlMask) >> dcb::kRtsControlShift) == rtsEnable;
    if (dtr != dtr_) Note(dtr ? "D+" : "D-");
    if (rts != rts_) Note(rts ? "R+" : "R-");
    dtr_ = dtr;
    rts_ = rts;
    return real_->SetLineSettings(s);
  }
  TTransferResult Write(const void* buffer, int count) override {
    if (!written_) Note("W");
    written_ = true;
    return real_->Write(buffer, count);
  }
  void Close() override { real_->Close(); }
  int SetQueueSizes(int in, int out) override { return real_->SetQueueSizes(in, out); }
  int SetTimeouts(const TTimeoutRecord& t) override { return real_->SetTimeouts(t); }
  TTransferResult Read(void* buffer, int count) override { return real_->Read(buffer, count); }
  int AbortTransfers() override { return real_->AbortTransfers(); }
  int ClearQueues() override { return real_->ClearQueues(); }
  int QueueStatus(TQueueStatus& q, bool for_event) override {
    return real_->QueueStatus(q, for_event);
  }
  int ModemStatus(uint32_t& status) override { return real_->ModemStatus(status); }
  int SetEventMask(uint32_t mask) override { return real_->SetEventMask(mask); }
  TWaitResult WaitEvents(uint32_t& m, int& e) override { return real_->WaitEvents(m, e); }
  void StopEventWait() override { real_->StopEventWait(); }

 private:
  void Note(const char* what) {
    std::lock_guard lock(mutex_);
    log_[name_].push_back({what, Clock::now()});
  }
  Log& log_;
  std::mutex& mutex_;
  std::unique_ptr<TSerialBackend> real_ = CreateSerialBackend();
  std::string name_;
  bool dtr_ = false, rts_ = false, written_ = false;
};

// Each port is reset on its own pinging thread, after the open and before its first ping: the
// chosen line off for ResetMs, then on; the other line stays on; two ports' pulses overlap.
TEST(DiscoveryLine, EachPortIsPulsedBeforeItsFirstPingAndThePortsSideBySide) {
  for (TResetLine reset : {TResetLine::rlNone, TResetLine::rlDtr, TResetLine::rlRts}) {
    SCOPED_TRACE(static_cast<int>(reset));
    MainLoop loop;
    SimOptions quiet;
    quiet.silent = true;
    DeviceSimulator device, silent(quiet);
    const Bytes image = Image(300);
    LineWatch::Log log;
    std::mutex mutex;
    RecordingFrontEnd front;
    TExchangeSettings settings;
    settings.DeviceNumber = 5;
    settings.StopAddress = static_cast<uint16_t>(image.size() - 1);
    settings.ImageData = image.data();
    settings.ImageSize = static_cast<int>(image.size());
    settings.Ports = {device.PortPath(), silent.PortPath()};
    settings.Reset = reset;
    settings.ResetMs = 300;
    auto engine = std::make_unique<TExchange>(front, settings);
    engine->Discovery().MakeBackend = [&] { return std::make_unique<LineWatch>(log, mutex); };
    engine->StartNegotiation();
    ASSERT_TRUE(loop.RunUntil([&] { return front.Ended(); }, 8s));
    EXPECT_TRUE(front.Finished());
    ASSERT_TRUE(device.WaitRunComplete(2s));
    engine.reset();

    const std::string line = reset == TResetLine::rlDtr ? "D" : "R";
    const std::vector<std::string> expected =
        reset == TResetLine::rlNone ? std::vector<std::string>{"D+", "R+", "W"}
                                    : std::vector<std::string>{"D+", "R+", line + "-", line + "+",
                                                               "W"};
    ASSERT_EQ(log.size(), 2u);
    for (const auto& [name, events] : log) {
      std::vector<std::string> order;
      for (const auto& e : events) order.push_back(e.what);
      EXPECT_EQ(order, expected) << name;
      if (reset != TResetLine::rlNone && events.size() == 5) {
        EXPECT_GE(events[3].at - events[2].at, 300ms) << name;
      }
    }
    if (reset == TResetLine::rlNone) continue;
    const auto& a = log[device.PortPath()];
    const auto& b = log[silent.PortPath()];
    ASSERT_TRUE(a.size() == 5 && b.size() == 5);
    EXPECT_LT(a[2].at, b[3].at);
    EXPECT_LT(b[2].at, a[3].at);
  }
}

}  // namespace
}  // namespace orvix::testing
