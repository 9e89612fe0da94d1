// The end of a run, whatever ended it, leaves no port open and no thread running.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "channel/com_ping.h"
#include "exchange/exchange.h"
#include "runtime/plain_loop.h"
#include "tests/support/process_counts.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/simulated_ports.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;

struct Usage {
  int descriptors = testing::OpenDescriptorsOf("self");
  int threads = testing::ThreadsOf("self");
};

using testing::RecordingFrontEnd;

class TeardownTest : public ::testing::Test {
 protected:
  // Two lines nobody answers on, a name whose device does not exist, and the device last.
  TeardownTest() {
    devsim::SimOptions silent;
    silent.silent = true;
    ports_.Add("COM1", silent);
    ports_.Add("COM2", silent);
    ports_.Map("COM3", "/dev/orvix-no-such-device");
  }

  std::unique_ptr<TExchange> Start(RecordingFrontEnd& out) {
    TExchangeSettings settings;
    settings.StopAddress = static_cast<uint16_t>(image_.size() - 1);
    settings.ImageData = image_.data();
    settings.ImageSize = static_cast<int>(image_.size());
    auto exchange = std::make_unique<TExchange>(out, settings);
    exchange->StartNegotiation();
    return exchange;
  }

  TPlainMessageLoop loop_;
  testing::SimulatedPorts ports_;
  std::vector<uint8_t> image_ = std::vector<uint8_t>(300, 0xA5);
};

TEST_F(TeardownTest, ACompletedRunClosesEveryPortAndEndsEveryThread) {
  devsim::DeviceSimulator& device = ports_.Add("COM4");
  const Usage before;
  RecordingFrontEnd out;
  auto exchange = Start(out);
  ASSERT_TRUE(loop_.RunUntil([&] { return out.Ended(); }, 20s));
  EXPECT_TRUE(out.Finished());
  // The silent lines are still being pinged when the run ends.
  EXPECT_FALSE(exchange->PortList()[0].second->Finished());
  exchange.reset();
  const Usage after;
  EXPECT_EQ(after.descriptors, before.descriptors);
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(device.RunsCompleted(), 1);
}

TEST_F(TeardownTest, AStoppedNegotiationClosesEveryPortAndEndsEveryThread) {
  devsim::DeviceSimulator& far_end = ports_.Add("COM4", [] {
    devsim::SimOptions silent;
    silent.silent = true;
    return silent;
  }());
  const Usage before;
  RecordingFrontEnd out;
  auto exchange = Start(out);
  ASSERT_TRUE(far_end.WaitUntil([&] { return far_end.Pings() >= 2; }, 10s));
  exchange->AbortExchange();
  exchange.reset();
  const Usage after;
  EXPECT_EQ(after.descriptors, before.descriptors);
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(out.Outcome(), TOutcome::ocStopped);
}

}  // namespace
}  // namespace orvix
