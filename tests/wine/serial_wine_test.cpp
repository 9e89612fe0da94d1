// The port through Wine COM ports whose far ends are Linux programs on pseudo-terminals.
// scripts/wine-tests.sh starts them and names the ports in the environment:
//   ORVIX_WINE_LOOP_PORT    orvix-devsim --echo --silent: every byte comes straight back
//   ORVIX_WINE_HOLD_PORT    a line whose far end never reads
//   ORVIX_WINE_HANGUP_PORT  orvix-devsim, which closes the line at the first block frame
//   ORVIX_WINE_BARE_PORT    the loop again, in a Wine run without the modem-line shim
//
// Where Wine differs from a Windows driver, the test says so:
// - Modem lines: a pty has none; the shim scripts/wine-tests.sh preloads makes Wine read them
//   as all off. A real port reports what the far end drives.
// - Exclusive use: Wine does not refuse a second CreateFileA with share mode 0, so it is not
//   tested here.
// - Read time-outs: with ReadInterval MAXDWORD and no totals Wine leaves a read on an empty
//   queue pending (Windows returns 0 bytes at once), so that case is not tested here; a total
//   time-out with no data fails with ERROR_TIMEOUT where Windows returns 0 bytes, which the
//   backend takes as the time-out either way.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <numeric>
#include <thread>

#include "channel/com_ping.h"
#include "link/frame.h"
#include "runtime/handover.h"
#include "runtime/plain_loop.h"
#include "serial/serial_port.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

template <typename F>
ESerialPort RaisedBy(F&& f) {
  try {
    f();
  } catch (const ESerialPort& e) {
    return e;
  }
  return ESerialPort(0);
}

// User and kernel time of this process, every thread, Wine's own included.
std::chrono::microseconds ProcessCpuTime() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return std::chrono::microseconds((ticks(kernel) + ticks(user)) / 10);
}

class WinePort : public ::testing::Test {
 protected:
  void Use(const char* variable) {
    const char* name = std::getenv(variable);
    if (!name || !*name) GTEST_SKIP() << variable << " is not set: run scripts/wine-tests.sh";
    ConfigureForDiscovery(port);
    port.SetPort(name);
  }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    return loop.RunUntil(done, limit);
  }
  void Idle(std::chrono::milliseconds time) {
    loop.RunUntil([] { return false; }, time);
  }
  std::string Exchange(const std::string& text) {
    port.SendBytes(text.data(), static_cast<int>(text.size()));
    std::string got(text.size(), '\0');
    got.resize(static_cast<size_t>(port.ReceiveBytes(got.data(), static_cast<int>(got.size()))));
    return got;
  }

  TPlainMessageLoop loop;
  std::vector<std::string> log;
  TSerialPort port;
};

// --- a line that echoes ---

class WineLoop : public WinePort {
 protected:
  void SetUp() override { Use("ORVIX_WINE_LOOP_PORT"); }
};

TEST_F(WineLoop, OpenAndCloseRunTheHooksAndReadTheLinesOnce) {
  port.OnBeforeOpen = [&](TCustomSerialPort*) { log.push_back("before open"); };
  port.OnAfterOpen = [&](TCustomSerialPort*) { log.push_back("after open"); };
  port.OnAfterClose = [&](TCustomSerialPort*) { log.push_back("after close"); };
  port.OnCTSChange = [&](TCustomSerialPort*, bool on) { log.push_back(on ? "cts on" : "cts off"); };
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
  port.OpenPort();
  // Wine: the shim's lines, all off (see the top of the file).
  EXPECT_EQ(log, (std::vector<std::string>{"before open", "after open", "cts off"}));
  log.clear();
  port.ClosePort();
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log, (std::vector<std::string>{"cts off", "after close"}));
}

TEST_F(WineLoop, AMissingPortRaisesCode1WithTheWindowsError) {
  port.OnBeforeOpen = [&](TCustomSerialPort*) { log.push_back("before open"); };
  port.OnAfterOpen = [&](TCustomSerialPort*) { log.push_back("after open"); };
  port.SetPort("COM199");
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 1);
  EXPECT_EQ(e.SystemCode(), ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log, std::vector<std::string>{"before open"});
}

TEST_F(WineLoop, EveryByteValueCrossesUnchangedBothWays) {
  port.SetEvents({});
  port.OpenPort();
  std::vector<uint8_t> all(256);
  std::iota(all.begin(), all.end(), 0);
  // Xon/Xoff from the line's earlier state would swallow or stall on 0x11 and 0x13.
  EXPECT_EQ(port.SendBytes(all.data(), 256), 256);
  std::vector<uint8_t> got(256);
  EXPECT_EQ(port.ReceiveBytes(got.data(), 256), 256);  // ReadInterval 0: waits for all of them
  EXPECT_EQ(got, all);
}

TEST_F(WineLoop, AReadAndAWriteRunAtOnceOnOnePort) {
  port.SetEvents({});
  port.OpenPort();
  const auto data = Pattern(64 * 1024);  // far more than the line buffers, so both must move
  std::vector<uint8_t> got(data.size());
  int read = -1;
  std::thread reader([&] { read = port.ReceiveBytes(got.data(), static_cast<int>(got.size())); });
  EXPECT_EQ(port.SendBytes(data.data(), static_cast<int>(data.size())),
            static_cast<int>(data.size()));
  reader.join();
  EXPECT_EQ(read, static_cast<int>(data.size()));
  EXPECT_TRUE(got == data);
}

TEST_F(WineLoop, ATotalReadTimeOutEndsTheReadWithWhatCame) {
  port.SetEvents({});
  port.Timeouts().SetReadTotalConstant(200);
  port.OpenPort();
  char buf[8];
  EXPECT_EQ(port.ReceiveBytes(buf, 8), 0);  // Wine: ERROR_TIMEOUT, taken as the time-out
  port.SendBytes("de", 2);
  EXPECT_EQ(port.ReceiveBytes(buf, 8), 2);
  EXPECT_EQ(std::string(buf, 2), "de");
  EXPECT_EQ(Exchange("still there"), "still there");
}

TEST_F(WineLoop, WhatArrivedBeforeTheOpenIsDiscarded) {
  port.SetEvents({});
  port.OpenPort();
  port.SendBytes("stale", 5);
  Sleep(200);  // the echo is back in the line's buffer
  port.ClosePort();
  port.OpenPort();
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_EQ(Exchange("new"), "new");
}

// --- receive events ---

class WineEvents : public WineLoop {
 protected:
  void SetUp() override {
    WineLoop::SetUp();
    port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
      on_main = on_main && IsMainThread();
      counts.push_back(count);
      std::string buf(static_cast<size_t>(count), '\0');
      const int n = sender->ReceiveBytes(buf.data(), count);
      got_at_once = got_at_once && n == count;
      received.append(buf, 0, static_cast<size_t>(n));
    };
  }

  std::vector<int> counts;
  std::string received;
  bool on_main = true;
  bool got_at_once = true;
};

TEST_F(WineEvents, RxCharRunsOnTheMainThreadWithTheWaitingCount) {
  port.OpenPort();
  port.SendBytes("hello", 5);
  ASSERT_TRUE(RunUntil([&] { return received.size() == 5; }));
  EXPECT_EQ(received, "hello");
  EXPECT_TRUE(on_main);
  EXPECT_TRUE(got_at_once);
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 5);
}

TEST_F(WineEvents, BytesArrivingWhileAHandOverWaitsAreCountedInOneEvent) {
  port.OpenPort();
  const uint64_t seen = MainThreadSignalCount();
  port.SendBytes("a", 1);
  WaitMainThreadSignal(seen, 5000);  // the report of "a" waits for the main thread
  port.SendBytes("bcd", 3);
  Sleep(200);
  ASSERT_TRUE(RunUntil([&] { return received.size() == 4; }));
  Idle(200ms);
  EXPECT_EQ(counts, std::vector<int>{4});
  EXPECT_EQ(received, "abcd");
}

TEST_F(WineEvents, ClosePortRunsTheHandOverItWouldOtherwiseWaitFor) {
  port.OpenPort();
  const uint64_t seen = MainThreadSignalCount();
  port.SendBytes("q", 1);
  WaitMainThreadSignal(seen, 5000);
  ASSERT_EQ(port.BytesWaiting(), 1);
  port.ClosePort();  // the loop never ran: only the close's wait can run the hand-over
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(RunPendingHandOvers()) << "the report was left behind";
  // Wine: PurgeComm(PURGE_RXABORT) also empties the receive queue, so the report finds nothing
  // and "q" is not delivered; a Windows driver keeps the queue and the report hands it over.
  EXPECT_EQ(received, "");
}

TEST_F(WineEvents, AHandlerExceptionEndsDeliveryUntilTheNextOpen) {
  port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
    counts.push_back(count);
    std::string buf(static_cast<size_t>(count), '\0');
    sender->ReceiveBytes(buf.data(), count);
    throw std::runtime_error("handler failed");
  };
  port.OpenPort();
  port.SendBytes("x", 1);
  ASSERT_TRUE(RunUntil([&] { return counts.size() == 1; }));
  port.SendBytes("y", 1);
  Idle(300ms);
  EXPECT_EQ(counts.size(), 1u);
  EXPECT_TRUE(port.Connected());
  port.ClosePort();
  port.OpenPort();
  port.SendBytes("z", 1);
  EXPECT_TRUE(RunUntil([&] { return counts.size() == 2; }));
}

// --- a far end that does not read ---

class WineHold : public WinePort {
 protected:
  void SetUp() override { Use("ORVIX_WINE_HOLD_PORT"); }
};

TEST_F(WineHold, AWriteThatRunsIntoItsTimeOutReturnsWhatWentOut) {
  port.SetEvents({});
  port.Timeouts().SetWriteTotalMultiplier(0);
  port.Timeouts().SetWriteTotalConstant(300);
  port.OpenPort();
  const auto data = Pattern(1 << 20);
  const int sent = port.SendBytes(data.data(), static_cast<int>(data.size()));
  EXPECT_LT(sent, static_cast<int>(data.size()));
  EXPECT_TRUE(port.Connected());
}

TEST_F(WineHold, ClosePortEndsASendBlockedOnAnotherThreadWithCode2) {
  port.Timeouts().SetWriteTotalMultiplier(0);
  port.Timeouts().SetWriteTotalConstant(0);  // no time limit at all
  port.OpenPort();
  std::atomic<int> code{-1};
  std::atomic<int> system_code{-1};
  std::thread writer([&] {
    const auto data = Pattern(1 << 20);
    const auto e = RaisedBy([&] { port.SendBytes(data.data(), static_cast<int>(data.size())); });
    system_code = e.SystemCode();
    code = e.MessageCode();
  });
  Sleep(500);
  EXPECT_EQ(code.load(), -1) << "the write did not block";
  port.ClosePort();
  writer.join();
  EXPECT_EQ(code.load(), 2);
  EXPECT_EQ(system_code.load(), ERROR_OPERATION_ABORTED);
}

// --- a far end that goes away ---

class WineHangUp : public WinePort {
 protected:
  void SetUp() override { Use("ORVIX_WINE_HANGUP_PORT"); }
};

TEST_F(WineHangUp, ALostDeviceEndsTheEventsWithoutSpinningAndFailsTransfers) {
  int events = 0;
  port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
    ++events;
    std::string buf(static_cast<size_t>(count), '\0');
    sender->ReceiveBytes(buf.data(), count);
  };
  port.OpenPort();
  // The simulator answers a ping, then closes the line at the first block frame.
  const auto ping = EncodePacket(MakePacket(1, cmdPing, 0, {0x00}));
  port.SendBytes(ping.data(), static_cast<int>(ping.size()));
  ASSERT_TRUE(RunUntil([&] { return events > 0; }));
  const auto block = EncodePacket(MakePacket(1, cmdWriteBlock, 0, Pattern(128)));
  port.SendBytes(block.data(), static_cast<int>(block.size()));
  Idle(500ms);

  const auto cpu_before = ProcessCpuTime();
  Idle(1s);
  const auto cpu = ProcessCpuTime() - cpu_before;
  EXPECT_LT(cpu, 200ms) << "CPU time over one second after the far end went away";

  // Wine: 109 (ERROR_BROKEN_PIPE) and then 21 (ERROR_NOT_READY); a Windows driver gives its own
  // lost-device errors. Either way the transfer fails and does not hang.
  char buf[4];
  EXPECT_EQ(RaisedBy([&] { port.ReceiveBytes(buf, 1); }).MessageCode(), 3);
  EXPECT_EQ(RaisedBy([&] { port.SendBytes("y", 1); }).MessageCode(), 2);
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

// --- a driver that refuses the modem status and every event wait ---

// Wine without the shim: GetCommModemStatus fails with ERROR_NOT_SUPPORTED and every
// WaitCommEvent is cancelled (ERROR_OPERATION_ABORTED) at once. A Windows driver that has lost
// its device behaves alike.
class WineBare : public WinePort {
 protected:
  void SetUp() override { Use("ORVIX_WINE_BARE_PORT"); }
};

TEST_F(WineBare, RefusedEventWaitsEndTheEventThreadAndTransfersGoOn) {
  const auto cpu_before = ProcessCpuTime();
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 11);
  EXPECT_EQ(e.SystemCode(), ERROR_NOT_SUPPORTED);
  EXPECT_TRUE(port.Connected());  // left open with its thread, as a failed line read at open does
  Idle(1s);
  const auto cpu = ProcessCpuTime() - cpu_before;
  EXPECT_LT(cpu, 200ms) << "CPU time over one second of refused event waits";

  EXPECT_EQ(Exchange("still works"), "still works");
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

}  // namespace
}  // namespace orvix
