// The port over real pseudo-terminals; the test plays the device on the master side.
#include "serial/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <numeric>
#include <thread>

#include "runtime/handover.h"
#include "runtime/plain_loop.h"
#include "tests/support/far_end.h"
#include "tests/support/process_counts.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;
using testing::FarEnd;

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

// Runs f and returns the ESerialPort it raised (code 0 when it raised nothing).
template <typename F>
ESerialPort RaisedBy(F&& f) {
  try {
    f();
  } catch (const ESerialPort& e) {
    return e;
  }
  return ESerialPort(0);
}

class PtyPort : public ::testing::Test {
 protected:
  PtyPort() {
    ConfigureForDiscovery(port);
    port.SetPort(far.SlavePath());
  }
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    return loop.RunUntil(done, limit);
  }
  void Idle(std::chrono::milliseconds time) {
    loop.RunUntil([] { return false; }, time);
  }
  // Reading from the port until count bytes came, with the loop running.
  std::string Collect(size_t count) {
    std::string got;
    RunUntil([&] {
      char buf[256];
      const int n = port.BytesWaiting();
      if (n > 0) got.append(buf, static_cast<size_t>(port.ReceiveBytes(buf, std::min(n, 256))));
      return got.size() >= count;
    });
    return got;
  }

  TPlainMessageLoop loop;
  FarEnd far;
  std::vector<std::string> log;  // declared before the port: its destructor runs the hooks
  TSerialPort port;
};

// --- open, close, settings ---

class SerialOpen : public PtyPort {
 protected:
  SerialOpen() {
    port.OnBeforeOpen = [&](TCustomSerialPort*) { log.push_back("before open"); };
    port.OnAfterOpen = [&](TCustomSerialPort*) { log.push_back("after open"); };
    port.OnBeforeClose = [&](TCustomSerialPort*) { log.push_back("before close"); };
    port.OnAfterClose = [&](TCustomSerialPort*) { log.push_back("after close"); };
    port.OnCTSChange = [&](TCustomSerialPort*, bool on) {
      log.push_back(on ? "cts on" : "cts off");
    };
    port.OnDSRChange = [&](TCustomSerialPort*, bool on) {
      log.push_back(on ? "dsr on" : "dsr off");
    };
    port.OnRLSDChange = [&](TCustomSerialPort*, bool on) {
      log.push_back(on ? "rlsd on" : "rlsd off");
    };
  }
};

TEST_F(SerialOpen, OpenAndCloseRunTheHooksInOrderOnce) {
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
  // A pseudo-terminal has no modem lines: all read as off.
  EXPECT_EQ(log, (std::vector<std::string>{"before open", "after open", "cts off", "dsr off",
                                           "rlsd off"}));
  port.OpenPort();
  EXPECT_EQ(log.size(), 5u);

  log.clear();
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log, (std::vector<std::string>{"cts off", "dsr off", "rlsd off", "before close",
                                           "after close"}));
  port.ClosePort();
  EXPECT_EQ(log.size(), 5u);

  port.SetConnected(true);
  EXPECT_TRUE(port.Connected());
  port.SetConnected(false);
  EXPECT_FALSE(port.Connected());
}

TEST_F(SerialOpen, AMissingDeviceRaisesCode1WithTheErrno) {
  port.SetPort("/dev/orvix-no-such-port");
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 1);
  EXPECT_EQ(e.SystemCode(), ENOENT);
  EXPECT_STREQ(e.what(), "Unable to open com port (No such file or directory)");
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log, std::vector<std::string>{"before open"});

  testing::ScopedEnv no_ports("ORVIX_PORTS", "");
  port.SetPort("COM5");
  EXPECT_EQ(RaisedBy([&] { port.OpenPort(); }).SystemCode(), ENOENT);
}

TEST_F(SerialOpen, PortNamesOpenThroughTheDeviceMap) {
  {
    testing::ScopedEnv ports("ORVIX_PORTS", "COM3=/dev/null;COM7=" + far.SlavePath());
    port.SetPort("COM7");
    port.OpenPort();
    port.SendBytes("k", 1);
    EXPECT_EQ(far.Read(1), std::vector<uint8_t>{'k'});
    port.ClosePort();
  }
  testing::ScopedEnv bad("ORVIX_PORTS", "COM7:" + far.SlavePath());
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 23);
  EXPECT_NE(std::string(e.what()).find("'COM7:" + far.SlavePath() + "'"), std::string::npos);
  EXPECT_FALSE(port.Connected());
}

TEST_F(SerialOpen, ASecondOpenerIsRefused) {
  port.OpenPort();
  TSerialPort second;
  second.SetPort(far.SlavePath());
  EXPECT_EQ(RaisedBy([&] { second.OpenPort(); }).MessageCode(), 1);
  EXPECT_FALSE(second.Connected());
  port.ClosePort();
  second.OpenPort();  // the lock went with the close
  second.ClosePort();

  // Another instance of the program holding the device.
  const int fd = open(far.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 1);
  EXPECT_EQ(e.SystemCode(), EWOULDBLOCK);
  close(fd);
  port.OpenPort();
  EXPECT_TRUE(port.Connected());
}

TEST_F(SerialOpen, TheFarEndSeesRawLineSettingsAndTheirChanges) {
  port.OpenPort();
  termios t = far.Settings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);

  port.SetBaudRate(br115200);
  t = far.Settings();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
  port.SetCustomBaudRate(250000);
  port.SetBaudRate(brCustom);
  EXPECT_EQ(far.BitRate(), 250000u);
  port.SetBaudRate(br128000);  // no B constant either
  EXPECT_EQ(far.BitRate(), 128000u);
}

// The flasher's -b rates, the three above 115,200 included, reach the device as set, each as a
// named rate rather than through the custom one.
TEST_F(SerialOpen, EveryFlasherRateReachesTheFarEnd) {
  port.OpenPort();
  for (uint32_t rate : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u,
                        460800u, 921600u}) {
    ConfigureForDiscovery(port, rate);
    EXPECT_NE(port.BaudRate(), brCustom) << rate;
    EXPECT_EQ(far.BitRate(), rate);
  }
  ConfigureForDiscovery(port, 250000);
  EXPECT_EQ(port.BaudRate(), brCustom);
  EXPECT_EQ(far.BitRate(), 250000u);
}

TEST_F(SerialOpen, EveryByteValueCrossesUnchangedBothWays) {
  port.SetEvents({});
  port.OpenPort();
  std::vector<uint8_t> all(256);
  std::iota(all.begin(), all.end(), 0);
  far.Write(all);
  std::vector<uint8_t> got(256);
  EXPECT_EQ(port.ReceiveBytes(got.data(), 256), 256);  // ReadInterval 0: waits for all
  EXPECT_EQ(got, all);
  EXPECT_EQ(port.SendBytes(all.data(), 256), 256);
  EXPECT_EQ(far.Read(256), all);
}

TEST_F(SerialOpen, WhatArrivedBeforeTheOpenIsDiscarded) {
  port.SetEvents({});
  far.Write("stale");
  port.OpenPort();
  far.Write("new");
  std::vector<uint8_t> got(3);
  EXPECT_EQ(port.ReceiveBytes(got.data(), 3), 3);
  EXPECT_EQ(std::string(got.begin(), got.end()), "new");
}

TEST_F(SerialOpen, ARefusedLineSettingAtOpenReleasesTheDevice) {
  port.SetBaudRate(brCustom);
  port.SetCustomBaudRate(0);
  const auto e = RaisedBy([&] { port.OpenPort(); });
  EXPECT_EQ(e.MessageCode(), 7);
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(log, std::vector<std::string>{"before open"});
  TSerialPort other;
  other.SetPort(far.SlavePath());
  other.OpenPort();
  EXPECT_TRUE(other.Connected());
}

// --- receive events ---

class SerialEvents : public PtyPort {
 protected:
  SerialEvents() {
    port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
      on_main = on_main && IsMainThread();
      counts.push_back(count);
      std::vector<char> buf(static_cast<size_t>(count));
      const int n = sender->ReceiveBytes(buf.data(), count);
      received.append(buf.data(), static_cast<size_t>(n));
      if (throw_from_handler) throw std::runtime_error("handler failed");
    };
  }
  // Waits until the event thread has queued a hand-over that the main thread has not run.
  void WaitForPendingHandOver(uint64_t seen) { WaitMainThreadSignal(seen, 5000); }

  std::vector<int> counts;
  std::string received;
  bool on_main = true;
  bool throw_from_handler = false;
};

TEST_F(SerialEvents, RxCharRunsOnTheMainThreadWithTheWaitingCount) {
  port.OpenPort();
  far.Write("hello");
  ASSERT_TRUE(RunUntil([&] { return received.size() == 5; }));
  EXPECT_EQ(received, "hello");
  EXPECT_TRUE(on_main);
  EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), 0), 5);
}

TEST_F(SerialEvents, BytesArrivingWhileAHandOverWaitsAreCountedInOneEvent) {
  port.OpenPort();
  const uint64_t seen = MainThreadSignalCount();
  far.Write("a");
  WaitForPendingHandOver(seen);
  far.Write("bcd");
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(RunUntil([&] { return received.size() == 4; }));
  Idle(200ms);
  EXPECT_EQ(counts, std::vector<int>{4});
  EXPECT_EQ(received, "abcd");
}

// The error is not lost with the delivery: whoever listens for a lost line is told it, once.
TEST_F(SerialEvents, AHandlerExceptionEndsDeliveryUntilTheNextOpenAndIsTold) {
  std::vector<std::string> lost;
  port.OnLineLost = [&](TCustomSerialPort*, std::exception_ptr error) {
    EXPECT_TRUE(IsMainThread());
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      lost.emplace_back(e.what());
    }
  };
  throw_from_handler = true;
  port.OpenPort();
  far.Write("x");
  ASSERT_TRUE(RunUntil([&] { return counts.size() == 1 && lost.size() == 1; }));
  far.Write("y");
  Idle(300ms);
  EXPECT_EQ(counts.size(), 1u);
  EXPECT_EQ(lost, std::vector<std::string>{"handler failed"});
  EXPECT_TRUE(port.Connected());

  port.ClosePort();
  EXPECT_FALSE(port.Connected());
  throw_from_handler = false;
  port.OpenPort();
  far.Write("z");
  ASSERT_TRUE(RunUntil([&] { return counts.size() == 2; }));
  EXPECT_EQ(received, "xz");
}

TEST_F(SerialEvents, WithNoEventsThereIsNoThreadAndNoEvent) {
  port.SetEvents({});
  port.OpenPort();
  far.Write("abc");
  Idle(200ms);
  EXPECT_TRUE(counts.empty());
  EXPECT_EQ(port.BytesWaiting(), 3);
  EXPECT_EQ(Collect(3), "abc");
}

TEST_F(SerialEvents, ClosePortOnTheMainThreadRunsTheHandOverItWouldWaitFor) {
  port.OpenPort();
  const uint64_t seen = MainThreadSignalCount();
  far.Write("q");
  WaitForPendingHandOver(seen);
  port.ClosePort();  // the loop never ran: only the close's wait can run the hand-over
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(received, "q");
}

TEST_F(SerialEvents, TheEventCharAndAnEmptyTransmitterAreReported) {
  int flags = 0, empties = 0;
  port.SetEvents({evRxFlag, evTxEmpty});
  port.SetEventChar('\n');
  port.OnRxFlag = [&](TCustomSerialPort*) { ++flags; };
  port.OnTxEmpty = [&](TCustomSerialPort*) { ++empties; };
  port.OpenPort();
  far.Write("ab");
  Idle(100ms);
  EXPECT_EQ(flags, 0);
  far.Write("c\n");
  EXPECT_TRUE(RunUntil([&] { return flags == 1; }));
  EXPECT_EQ(empties, 0);
  port.SendBytes("hi", 2);
  EXPECT_TRUE(RunUntil([&] { return empties >= 1; }));
  EXPECT_EQ(far.Read(2), (std::vector<uint8_t>{'h', 'i'}));
  port.ClosePort();  // its handlers count into locals of this test
}

// --- transfers, time-outs, hang-up ---

class SerialTransfer : public PtyPort {};

TEST_F(SerialTransfer, AWriteThatRunsIntoItsTimeOutReturnsWhatWentOut) {
  port.SetEvents({});
  port.Timeouts().SetWriteTotalMultiplier(0);
  port.Timeouts().SetWriteTotalConstant(200);
  port.OpenPort();
  const auto data = Pattern(1 << 20);  // far more than the far end buffers while it does not read
  const int sent = port.SendBytes(data.data(), static_cast<int>(data.size()));
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, static_cast<int>(data.size()));
  const auto arrived = far.Read(static_cast<size_t>(sent));
  EXPECT_TRUE(std::equal(arrived.begin(), arrived.end(), data.begin()));
  EXPECT_EQ(arrived.size(), static_cast<size_t>(sent));
}

TEST_F(SerialTransfer, ClosePortEndsASendBlockedOnAnotherThreadWithCode2) {
  port.Timeouts().SetWriteTotalMultiplier(0);
  port.Timeouts().SetWriteTotalConstant(0);  // no time limit at all
  port.OpenPort();
  std::atomic<int> code{-1};
  std::thread writer([&] {
    const auto data = Pattern(1 << 20);
    code =
        RaisedBy([&] { port.SendBytes(data.data(), static_cast<int>(data.size())); }).MessageCode();
  });
  far.Read(1000);  // the writer has started and now waits for room
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(code.load(), -1);
  port.ClosePort();
  writer.join();
  EXPECT_EQ(code.load(), 2);
}

TEST_F(SerialTransfer, ReadsFollowTheTimeOutRecord) {
  port.SetEvents({});
  port.Timeouts().SetReadInterval(-1);
  port.OpenPort();
  char buf[16];
  // MAXDWORD interval, no totals: at once with what is there, possibly nothing.
  EXPECT_EQ(port.ReceiveBytes(buf, 10), 0);
  far.Write("abc");
  ASSERT_TRUE(RunUntil([&] { return port.BytesWaiting() == 3; }));
  EXPECT_EQ(port.ReceiveBytes(buf, 10), 3);

  // A total time-out ends the read with what came.
  port.Timeouts().SetReadInterval(0);
  port.Timeouts().SetReadTotalConstant(150);
  far.Write("de");
  EXPECT_EQ(port.ReceiveBytes(buf, 10), 2);
  EXPECT_EQ(std::string(buf, 2), "de");

  // No time-outs: wait for every byte asked for, however they trickle in.
  port.Timeouts().SetReadTotalConstant(0);
  std::thread device([&] {
    std::this_thread::sleep_for(50ms);
    far.Write("fg");
    std::this_thread::sleep_for(50ms);
    far.Write("hij");
  });
  EXPECT_EQ(port.ReceiveBytes(buf, 5), 5);
  device.join();
  EXPECT_EQ(std::string(buf, 5), "fghij");
}

TEST_F(SerialTransfer, AReadGetsItsBytesWhileTheEventThreadWaitsForTheMainThread) {
  port.OpenPort();  // ReadInterval 0: the read waits for all it asks for
  const uint64_t seen = MainThreadSignalCount();
  far.Write("ab");
  WaitMainThreadSignal(seen, 5000);  // "ab" sit in the port's queue, the report waits for us
  std::thread device([&] {
    std::this_thread::sleep_for(50ms);
    far.Write("cde");
  });
  char buf[5];
  EXPECT_EQ(port.ReceiveBytes(buf, 5), 5);
  device.join();
  EXPECT_EQ(std::string(buf, 5), "abcde");
}

TEST_F(SerialTransfer, UnreadBytesNeitherSpinNorGetLost) {
  int events = 0;
  port.OnRxChar = [&](TCustomSerialPort*, int) { ++events; };  // reads nothing
  port.OpenPort();
  const auto data = Pattern(70000);  // more than the port's queue holds
  std::thread device([&] { far.Write(data); });
  const bool filled = RunUntil([&] { return events > 0 && port.BytesWaiting() == 65536; });
  device.join();
  ASSERT_TRUE(filled);

  const auto cpu_before = testing::ProcessCpuTime();
  Idle(1s);
  const auto cpu = testing::ProcessCpuTime() - cpu_before;
  EXPECT_LT(cpu, 50ms) << "CPU time over one idle second";

  std::vector<uint8_t> got(data.size());
  EXPECT_EQ(port.ReceiveBytes(got.data(), static_cast<int>(got.size())), 70000);
  EXPECT_EQ(got, data);
  port.ClosePort();
}

TEST_F(SerialTransfer, AHungUpDeviceReportsErrorsAndNeverSpins) {
  port.SetEvents(TComEvents::All());
  int events = 0;
  port.OnRxChar = [&](TCustomSerialPort* sender, int count) {
    ++events;
    char buf[64];
    sender->ReceiveBytes(buf, std::min(count, 64));
  };
  int lost = 0;
  int lost_code = 0;
  port.OnLineLost = [&](TCustomSerialPort*, std::exception_ptr error) {
    ++lost;
    try {
      std::rethrow_exception(error);
    } catch (const ESerialPort& e) {
      lost_code = e.SystemCode();
    }
  };
  port.OpenPort();
  far.Write("x");
  ASSERT_TRUE(RunUntil([&] { return events == 1; }));
  far.Hangup();

  const auto cpu_before = testing::ProcessCpuTime();
  Idle(1s);
  const auto cpu = testing::ProcessCpuTime() - cpu_before;
  EXPECT_LT(cpu, 50ms) << "CPU time over one second after the hang-up";
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(lost_code, EIO);

  char buf[4];
  const auto read_error = RaisedBy([&] { port.ReceiveBytes(buf, 1); });
  EXPECT_EQ(read_error.MessageCode(), 3);
  EXPECT_EQ(read_error.SystemCode(), EIO);
  EXPECT_EQ(RaisedBy([&] { port.SendBytes("y", 1); }).MessageCode(), 2);
  EXPECT_EQ(RaisedBy([&] { port.SetBaudRate(br2400); }).MessageCode(), 7);
  port.ClosePort();
  EXPECT_FALSE(port.Connected());
}

}  // namespace
}  // namespace orvix
