// Discovery as the exchange runs it: one thread per port, the hand-over, and the stop that must
// leave no thread and no descriptor behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

#include "channel/com_ping.h"
#include "exchange/exchange.h"
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

}  // namespace
}  // namespace orvix::testing
