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

// What reaches each device, told by the port's own backend wrapped around the build's: every
// change of DTR or RTS, the first ping write, and the rates the line was set to. A
// pseudo-terminal has no modem lines, so this is where a reset pulse can be seen.
class LineWatch {
 public:
  struct Event {
    char what;  // 'D' DTR, 'R' RTS, 'W' the first write
    bool on = false;
    Clock::time_point at;
  };
  struct Port {
    std::vector<Event> events;
    std::set<uint32_t> rates;
    bool written = false;
    int dtr = -1, rts = -1;  // unknown until the first settings
  };

  std::function<std::unique_ptr<TSerialBackend>()> Factory() {
    return [this] { return std::make_unique<Watched>(*this); };
  }
  std::map<std::string, Port> Ports() const {
    std::lock_guard lock(mutex_);
    return ports_;
  }

 private:
  class Watched final : public TSerialBackend {
   public:
    explicit Watched(LineWatch& watch) : watch_(watch), real_(CreateSerialBackend()) {}
    int Open(const std::string& port) override {
      name_ = port;
      return real_->Open(port);
    }
    void Close() override { real_->Close(); }
    int SetQueueSizes(int in, int out) override { return real_->SetQueueSizes(in, out); }
    int SetLineSettings(const TLineSettings& s) override {
      const int error = real_->SetLineSettings(s);
      if (error == 0) watch_.NoteSettings(name_, s);
      return error;
    }
    int SetTimeouts(const TTimeoutRecord& t) override { return real_->SetTimeouts(t); }
    TTransferResult Write(const void* buffer, int count) override {
      watch_.NoteWrite(name_);
      return real_->Write(buffer, count);
    }
    TTransferResult Read(void* buffer, int count) override { return real_->Read(buffer, count); }
    int AbortTransfers() override { return real_->AbortTransfers(); }
    int ClearQueues() override { return real_->ClearQueues(); }
    int QueueStatus(TQueueStatus& status, bool for_event) override {
      return real_->QueueStatus(status, for_event);
    }
    int ModemStatus(uint32_t& status) override { return real_->ModemStatus(status); }
    int SetEventMask(uint32_t mask) override { return real_->SetEventMask(mask); }
    TWaitResult WaitEvents(uint32_t& mask, int& error) override {
      return real_->WaitEvents(mask, error);
    }
    void StopEventWait() override { real_->StopEventWait(); }

   private:
    LineWatch& watch_;
    std::unique_ptr<TSerialBackend> real_;
    std::string name_;
  };

  void NoteSettings(const std::string& name, const TLineSettings& s) {
    const auto now = Clock::now();
    const int dtr = ((s.Flags & dcb::fDtrControlMask) >> dcb::kDtrControlShift) == dtrEnable;
    const int rts = ((s.Flags & dcb::fRtsControlMask) >> dcb::kRtsControlShift) == rtsEnable;
    std::lock_guard lock(mutex_);
    Port& port = ports_[name];
    port.rates.insert(s.BaudRate);
    if (dtr != port.dtr) port.events.push_back({'D', dtr == 1, now});
    if (rts != port.rts) port.events.push_back({'R', rts == 1, now});
    port.dtr = dtr;
    port.rts = rts;
  }
  void NoteWrite(const std::string& name) {
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    Port& port = ports_[name];
    if (!port.written) port.events.push_back({'W', true, now});
    port.written = true;
  }

  mutable std::mutex mutex_;
  std::map<std::string, Port> ports_;
};

// Each port is reset on its own pinging thread, after the open and before its first ping: the
// chosen line goes off for ResetMs and comes back on, the other line stays on, and the pulses of
// two ports overlap. The rate asked for is the one every port is set to, and the run finishes.
TEST(DiscoveryLine, ResetPulseAndRateReachEveryPortBeforeItsFirstPing) {
  const struct {
    TResetLine reset;
    uint32_t rate;
  } cases[] = {{TResetLine::rlNone, 57600}, {TResetLine::rlDtr, 115200},
               {TResetLine::rlRts, 921600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reset));
    MainLoop loop;
    SimOptions quiet;
    quiet.silent = true;
    DeviceSimulator device;
    DeviceSimulator silent(quiet);
    const Bytes image = Image(300);
    LineWatch watch;
    RecordingFrontEnd front;
    TExchangeSettings settings;
    settings.DeviceNumber = 5;
    settings.StopAddress = static_cast<uint16_t>(image.size() - 1);
    settings.ImageData = image.data();
    settings.ImageSize = static_cast<int>(image.size());
    settings.Ports = {device.PortPath(), silent.PortPath()};
    settings.BaudRate = c.rate;
    settings.Reset = c.reset;
    settings.ResetMs = 300;
    auto engine = std::make_unique<TExchange>(front, settings);
    engine->Discovery().MakeBackend = watch.Factory();
    engine->StartNegotiation();
    ASSERT_TRUE(loop.RunUntil([&] { return front.Ended(); }, 8s));
    EXPECT_TRUE(front.Finished());
    ASSERT_TRUE(device.WaitRunComplete(2s));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), device.Memory().begin()));
    engine.reset();

    const auto ports = watch.Ports();
    ASSERT_EQ(ports.size(), 2u);
    const char pulsed = c.reset == TResetLine::rlDtr ? 'D' : 'R';
    std::map<std::string, Clock::time_point> went_off, came_on;
    for (const auto& [name, port] : ports) {
      SCOPED_TRACE(name);
      EXPECT_EQ(port.rates, std::set<uint32_t>{c.rate});
      std::string order;
      for (const LineWatch::Event& e : port.events) order += std::string(1, e.what) + (e.on ? "+" : "-");
      if (c.reset == TResetLine::rlNone) {
        EXPECT_EQ(order, "D+R+W+");
        continue;
      }
      // Opened with both lines on; the pulse; then the first ping.
      EXPECT_EQ(order, pulsed == 'D' ? "D+R+D-D+W+" : "D+R+R-R+W+");
      ASSERT_EQ(port.events.size(), 5u);
      went_off[name] = port.events[2].at;
      came_on[name] = port.events[3].at;
      EXPECT_GE(came_on[name] - went_off[name], 300ms);
    }
    if (c.reset == TResetLine::rlNone) continue;
    const auto& a = device.PortPath();
    const auto& b = silent.PortPath();
    EXPECT_LT(went_off[a], came_on[b]);
    EXPECT_LT(went_off[b], came_on[a]);
  }
}

}  // namespace
}  // namespace orvix::testing
