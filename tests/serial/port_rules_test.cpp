// The port's own rules (hook order, apply groups, failure paths, dispatch order) over a scripted
// backend, where every platform answer can be chosen.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "runtime/handover.h"
#include "runtime/plain_loop.h"
#include "serial/serial_port.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;

struct Script {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::string> calls;
  int open_error = 0, line_error = 0, modem_error = 0, purge_error = 0;
  int in_queue = 0;
  uint32_t line_errors = 0;
  std::deque<uint32_t> reports;
  bool stop = false;
  uint32_t event_mask = 0;

  void Note(const std::string& call) {
    std::lock_guard lock(mutex);
    calls.push_back(call);
  }
  int Count(const std::string& call) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
  void Report(uint32_t mask) {
    std::lock_guard lock(mutex);
    reports.push_back(mask);
    cv.notify_all();
  }
};

class ScriptedBackend final : public TSerialBackend {
 public:
  explicit ScriptedBackend(Script& s) : s_(s) {}
  int Open(const std::string& port) override {
    s_.Note("open " + port);
    return s_.open_error;
  }
  void Close() override { s_.Note("close"); }
  int SetQueueSizes(int, int) override {
    s_.Note("queue sizes");
    return 0;
  }
  int SetLineSettings(const TLineSettings&) override {
    s_.Note("line");
    return s_.line_error;
  }
  int SetTimeouts(const TTimeoutRecord&) override {
    s_.Note("timeouts");
    return 0;
  }
  TTransferResult Write(const void*, int count) override { return {count, 0}; }
  TTransferResult Read(void*, int) override { return {0, 0}; }
  int AbortTransfers() override {
    s_.Note("abort");
    return s_.purge_error;
  }
  int ClearQueues() override {
    s_.Note("clear");
    return 0;
  }
  int QueueStatus(TQueueStatus& status, bool) override {
    s_.Note("queue status");
    status.InQueue = s_.in_queue;
    status.Errors = s_.line_errors;
    return 0;
  }
  int ModemStatus(uint32_t& status) override {
    s_.Note("modem");
    status = drv::kMsCtsOn | drv::kMsRlsdOn;
    return s_.modem_error;
  }
  int SetEventMask(uint32_t mask) override {
    std::lock_guard lock(s_.mutex);
    s_.event_mask = mask;
    if (mask) s_.stop = false;
    s_.calls.push_back("mask " + std::to_string(mask));
    return 0;
  }
  TWaitResult WaitEvents(uint32_t& mask, int& /*error*/) override {
    std::unique_lock lock(s_.mutex);
    s_.cv.wait(lock, [&] { return s_.stop || !s_.reports.empty(); });
    if (s_.stop) return TWaitResult::wrStopped;
    mask = s_.reports.front();
    s_.reports.pop_front();
    return TWaitResult::wrEvents;
  }
  void StopEventWait() override {
    std::lock_guard lock(s_.mutex);
    s_.stop = true;
    s_.cv.notify_all();
  }

 private:
  Script& s_;
};

class PortRules : public ::testing::Test {
 protected:
  PortRules() : port(std::make_unique<ScriptedBackend>(script)) {
    port.OnBeforeOpen = [&](TCustomSerialPort*) { hooks.push_back("before open"); };
    port.OnAfterOpen = [&](TCustomSerialPort*) { hooks.push_back("after open"); };
    port.OnBeforeClose = [&](TCustomSerialPort*) { hooks.push_back("before close"); };
    port.OnAfterClose = [&](TCustomSerialPort*) { hooks.push_back("after close"); };
  }
  std::vector<std::string> CallsSince(size_t from) {
    std::lock_guard lock(script.mutex);
    return {script.calls.begin() + static_cast<std::ptrdiff_t>(from), script.calls.end()};
  }

  TPlainMessageLoop loop;
  Script script;
  std::vector<std::string> hooks;  // declared first: the port's destructor still runs the hooks
  TSerialPort port;
};

TEST_F(PortRules, OpenAppliesAllGroupsInOrderAndClosedPortAppliesNothing) {
  port.SetBaudRate(br57600);
  port.Timeouts().SetReadInterval(0);
  port.Buffer().SetInputSize(4096);
  EXPECT_EQ(script.calls.size(), 0u);

  port.SetEvents({evRxChar});
  port.OpenPort();
  EXPECT_EQ(CallsSince(0), (std::vector<std::string>{"open COM1", "queue sizes", "line", "timeouts",
                                                     "mask 1", "modem", "modem", "modem"}));
}

TEST_F(PortRules, OpenPortSettersReapplyOnlyTheirGroupAndOnlyOnChange) {
  port.OpenPort();
  const size_t mark = script.calls.size();
  port.SetBaudRate(br9600);             // unchanged
  port.Parity().SetBits(prNone);        // unchanged
  port.Timeouts().SetReadInterval(-1);  // unchanged
  port.Buffer().SetInputSize(1025);     // stored as 1024: unchanged
  EXPECT_EQ(CallsSince(mark), std::vector<std::string>{});

  port.SetBaudRate(br115200);
  port.FlowControl().SetXonChar(1);
  port.Timeouts().SetWriteTotalConstant(5);
  port.Buffer().SetOutputSize(64);
  port.SetEvents({});  // next open only
  EXPECT_EQ(CallsSince(mark),
            (std::vector<std::string>{"line", "line", "timeouts", "queue sizes"}));

  // Assigning a whole object re-applies its group even when nothing differs.
  TComParity same;
  port.Parity().Assign(same);
  EXPECT_EQ(CallsSince(mark).back(), "line");
}

TEST_F(PortRules, ARefusedApplyAtOpenClosesTheDeviceAndStartsNoThread) {
  script.line_error = 22;
  try {
    port.OpenPort();
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 7);
    EXPECT_EQ(e.SystemCode(), 22);
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(CallsSince(0), (std::vector<std::string>{"open COM1", "queue sizes", "line", "close"}));
  EXPECT_EQ(hooks, std::vector<std::string>{"before open"});
  // The stored setting keeps its value after a refused apply.
  script.line_error = 0;
  port.OpenPort();
  script.line_error = 22;
  EXPECT_THROW(port.SetBaudRate(br1200), ESerialPort);
  EXPECT_EQ(port.BaudRate(), br1200);
}

TEST_F(PortRules, ABeforeOpenHandlerThatThrowsKeepsTheDeviceUntouched) {
  port.OnBeforeOpen = [](TCustomSerialPort*) { throw std::runtime_error("no"); };
  EXPECT_THROW(port.OpenPort(), std::runtime_error);
  EXPECT_EQ(script.calls.size(), 0u);
  EXPECT_FALSE(port.Connected());
}

TEST_F(PortRules, AFailedModemReadAtOpenLeavesThePortOpenWithItsThread) {
  script.modem_error = 5;
  try {
    port.OpenPort();
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 11);
  }
  EXPECT_TRUE(port.Connected());
  EXPECT_NE(script.event_mask, 0u);
  EXPECT_EQ(hooks, (std::vector<std::string>{"before open", "after open"}));
}

TEST_F(PortRules, ARefusedPurgeLeavesThePortOpenAndClosePortCanBeRetried) {
  port.OpenPort();
  script.purge_error = 31;
  try {
    port.ClosePort();
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 5);
    EXPECT_EQ(e.SystemCode(), 31);
  }
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(script.Count("close"), 0);
  script.purge_error = 0;
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  // The ending thread clears the event mask and the queues before the device closes.
  const auto calls = CallsSince(0);
  const auto tail = std::vector<std::string>(calls.end() - 4, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"abort", "mask 0", "clear", "close"}));
}

TEST_F(PortRules, ReopenOnlyForADifferentName) {
  port.OpenPort();
  hooks.clear();
  port.SetPort("COM1");
  EXPECT_TRUE(hooks.empty());
  port.SetPort("COM2");
  EXPECT_EQ(hooks,
            (std::vector<std::string>{"before close", "after close", "before open", "after open"}));
  EXPECT_EQ(script.calls.back(), "modem");
  EXPECT_EQ(script.Count("open COM2"), 1);
}

TEST_F(PortRules, SyncMethodIsRefusedWhileOpen) {
  port.SetSyncMethod(smNone);
  EXPECT_EQ(port.SyncMethod(), smNone);
  port.SetSyncMethod(smThreadSync);
  port.OpenPort();
  try {
    port.SetSyncMethod(smNone);
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 14);
    EXPECT_EQ(e.SystemCode(), -1);
    EXPECT_STREQ(e.what(), "Cannot set property while connected");
  }
  EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(PortRules, OneReportFiresItsEventsInTableOrderOnTheMainThread) {
  std::vector<std::string> fired;
  bool all_on_main = true;
  auto note = [&](const std::string& what) {
    all_on_main = all_on_main && IsMainThread();
    fired.push_back(what);
  };
  port.OnError = [&](TCustomSerialPort*, TComErrors e) {
    note(e == TComErrors{ceFrame} ? "error frame" : "error ?");
  };
  port.OnRxChar = [&](TCustomSerialPort*, int count) { note("rx " + std::to_string(count)); };
  port.OnTxEmpty = [&](TCustomSerialPort*) { note("tx empty"); };
  port.OnBreak = [&](TCustomSerialPort*) { note("break"); };
  port.OnRing = [&](TCustomSerialPort*) { note("ring"); };
  port.OnCTSChange = [&](TCustomSerialPort*, bool on) { note(on ? "cts on" : "cts off"); };
  port.OnDSRChange = [&](TCustomSerialPort*, bool on) { note(on ? "dsr on" : "dsr off"); };
  port.OnRxFlag = [&](TCustomSerialPort*) { note("rx flag"); };
  port.OnRLSDChange = [&](TCustomSerialPort*, bool on) { note(on ? "rlsd on" : "rlsd off"); };
  port.OnRx80Full = [&](TCustomSerialPort*) { note("rx 80% full"); };
  port.OpenPort();
  fired.clear();

  script.in_queue = 3;
  script.line_errors = drv::kCeFrame;
  script.Report(0x05FF);  // every event flag
  ASSERT_TRUE(loop.RunUntil([&] { return fired.size() == 10; }, 5s));
  EXPECT_EQ(fired,
            (std::vector<std::string>{"error frame", "rx 3", "tx empty", "break", "ring", "cts on",
                                      "dsr off", "rx flag", "rlsd on", "rx 80% full"}));
  EXPECT_TRUE(all_on_main);
  port.ClosePort();  // its handlers write to locals of this test
}

TEST_F(PortRules, StatusIsReadForEveryEventEvenWithoutHandlers) {
  port.OpenPort();
  const int modem = script.Count("modem"), queue = script.Count("queue status");
  script.in_queue = 0;
  script.Report(drv::kEvCts | drv::kEvDsr | drv::kEvRlsd | drv::kEvRxChar | drv::kEvErr);
  std::vector<std::string> fired;
  port.OnRxChar = [&](TCustomSerialPort*, int) { fired.push_back("rx"); };
  ASSERT_TRUE(loop.RunUntil([&] { return script.Count("modem") == modem + 3; }, 5s));
  EXPECT_EQ(script.Count("queue status"), queue + 2);
  // Nothing waiting by the time the report runs: no OnRxChar.
  EXPECT_TRUE(fired.empty());
  port.ClosePort();
}

TEST_F(PortRules, AHandlerThatClosesThePortDropsTheRestOfTheReport) {
  std::vector<std::string> fired;
  port.OnRxChar = [&](TCustomSerialPort* sender, int) {
    fired.push_back("rx");
    sender->ClosePort();
  };
  port.OnTxEmpty = [&](TCustomSerialPort*) { fired.push_back("tx empty"); };
  port.OpenPort();
  script.in_queue = 1;
  script.Report(drv::kEvRxChar | drv::kEvTxEmpty);
  ASSERT_TRUE(loop.RunUntil([&] { return !port.Connected(); }, 5s));
  EXPECT_EQ(fired, std::vector<std::string>{"rx"});
  // The port opens and delivers again.
  port.OpenPort();
  script.Report(drv::kEvTxEmpty);
  EXPECT_TRUE(loop.RunUntil([&] { return fired.size() == 2; }, 5s));
  port.ClosePort();
}

}  // namespace
}  // namespace orvix
