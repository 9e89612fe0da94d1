// orvix-flash as a user runs it, against simulated devices on pseudo-terminals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "exchange/image_file.h"
#include "tests/support/child_process.h"
#include "tests/support/far_end.h"
#include "tests/support/simulated_ports.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using devsim::SimOptions;
using testing::SimulatedPorts;
using testing::ChildProcess;
using testing::FarEnd;
using testing::ProcessResult;
using Bytes = std::vector<uint8_t>;

class FlashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-flash-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    language_ = "ru";
  }
  void TearDown() override { fs::remove_all(dir_); }
  // The flasher speaks Russian here, its own language, unless a test reads its English texts.
  static void English() { language_ = "en"; }

  std::string Image(const Bytes& bytes, const std::string& name = "image.bin") {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  static Bytes Random(size_t size, unsigned seed = 1) {
    std::mt19937 gen(seed);
    Bytes b(size);
    for (auto& x : b) x = static_cast<uint8_t>(gen());
    return b;
  }
  static ChildProcess* Start(std::vector<std::string> args) {
    args.insert(args.begin(), testing::BuiltProgram("cli/orvix-flash"));
    return new ChildProcess(std::move(args), {std::string("ORVIX_LANG=") + language_});
  }
  // With the environment given, language variables included, as they are.
  static ProcessResult RunWith(std::vector<std::string> args, std::vector<std::string> env,
                               std::chrono::milliseconds limit = 60s) {
    args.insert(args.begin(), testing::BuiltProgram("cli/orvix-flash"));
    return ChildProcess(std::move(args), std::move(env)).Wait(limit);
  }
  static ProcessResult Run(std::vector<std::string> args, std::chrono::milliseconds limit = 60s) {
    std::unique_ptr<ChildProcess> p(Start(std::move(args)));
    return p->Wait(limit);
  }
  static std::string LastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    return t.substr(t.rfind('\n') == std::string::npos ? 0 : t.rfind('\n') + 1);
  }
  // The result text of a single run: the last line that is one, before the figures after it.
  static std::string Verdict(const std::string& text) {
    static const std::set<std::string> verdicts = {"Программирование завершено",
                                                   "Нет ответа от устройства",
                                                   "Нет подтверждения контрольной суммы",
                                                   "Прграммирование прервано",
                                                   "Programming finished",
                                                   "No answer from the device",
                                                   "Checksum not confirmed",
                                                   "Programming stopped"};
    std::istringstream lines(text);
    std::string verdict;
    for (std::string line; std::getline(lines, line);)
      if (verdicts.count(line)) verdict = line;
    return verdict;
  }
  // The 16-bit sum of the bytes as the figures line shows it: four hexadecimal digits.
  static std::string SumText(const Bytes& bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum = (sum + b) & 0xFFFF;
    char text[8];
    std::snprintf(text, sizeof text, "%04X", sum);
    return text;
  }
  static void ExpectMemoryHolds(const devsim::DeviceSimulator& sim, const Bytes& image) {
    Bytes memory = sim.Memory();
    ASSERT_GE(memory.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    ASSERT_TRUE(sim.LastChecksum());
    EXPECT_TRUE(sim.LastChecksum()->matched);
  }

  // The frames of a frame log, in order: sent or received, and their bytes.
  static std::vector<std::pair<bool, Bytes>> LoggedFrames(const std::string& log) {
    std::ifstream in(log, std::ios::binary);
    std::vector<std::pair<bool, Bytes>> frames;
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() < 3 || (line.compare(0, 3, "-> ") != 0 && line.compare(0, 3, "<- ") != 0))
        continue;
      std::istringstream hex(line.substr(3));
      Bytes bytes;
      unsigned value = 0;
      while (hex >> std::hex >> value) bytes.push_back(static_cast<uint8_t>(value));
      frames.emplace_back(line[0] == '-', std::move(bytes));
    }
    return frames;
  }
  // Every frame but the first went out only after the device's own reply to the frame before it
  // (the simulator replies with that frame's command and address), and the run ended with the
  // reply to the checksum frame.
  static void ExpectEachFrameAfterTheReplyToTheOneBefore(const std::string& log) {
    const Bytes* awaiting = nullptr;
    bool answered = false;
    int sent = 0;
    const std::vector<std::pair<bool, Bytes>> frames = LoggedFrames(log);
    for (const auto& [outgoing, frame] : frames) {
      ASSERT_GE(frame.size(), 7u);
      if (outgoing) {
        ++sent;
        if (awaiting) {
          EXPECT_TRUE(answered) << "frame " << sent << " went out before the reply";
        }
        awaiting = &frame;
        answered = false;
      } else if (awaiting && frame[3] == (*awaiting)[3] && frame[4] == (*awaiting)[4] &&
                 frame[5] == (*awaiting)[5]) {
        answered = true;
      }
    }
    ASSERT_NE(awaiting, nullptr);
    EXPECT_EQ((*awaiting)[3], cmdChecksum);
    EXPECT_TRUE(answered) << "the run ended before the reply to the checksum frame";
  }
  static size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }
  // orvix-flash through a bash command line, which finds it and its arguments in "$@".
  static ProcessResult RunInShell(const std::string& command, std::vector<std::string> args,
                                  std::chrono::milliseconds limit = 60s) {
    args.insert(args.begin(), {"/bin/bash", "-c", command, "bash",
                               testing::BuiltProgram("cli/orvix-flash")});
    return ChildProcess(std::move(args), {std::string("ORVIX_LANG=") + language_}).Wait(limit);
  }

  fs::path dir_;
  static inline const char* language_ = "ru";
};

TEST_F(FlashTest, FindsTheDeviceOnTheThirdOfFivePortsAndProgramsIt) {
  SimulatedPorts ports;
  SimOptions quiet;
  quiet.silent = true;
  ports.Add("COM1", quiet);
  ports.Add("COM2", quiet);
  auto& device = ports.Add("COM3");
  ports.Add("COM4", quiet);
  ports.Add("COM10", quiet);
  Bytes image = Random(1000);
  ProcessResult r = Run({"-d", "5", Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  const size_t negotiation = r.err.find("Посылка пакетов согласования\n");
  const size_t port = r.err.find("\nCOM3\n");
  const size_t programming = r.err.find("\nПрограммирование\n");
  EXPECT_LT(negotiation, port) << r.err;
  EXPECT_LT(port, programming) << r.err;
  EXPECT_NE(programming, std::string::npos) << r.err;
  EXPECT_EQ(Verdict(r.err), "Программирование завершено");
  // After the verdict, what the run did: range, bytes, time, rate and the checksum it confirmed.
  EXPECT_TRUE(std::regex_match(
      LastLine(r.err), std::regex("0000-03E7, 1000 байт за [0-9]+,[0-9] с \\([0-9]+,[0-9] КБ/с\\), "
                                  "контрольная сумма " + SumText(image) + " подтверждена")))
      << r.err;
  EXPECT_EQ(r.err.find("orvix-flash: " + (dir_ / "image.bin").string() +
                       ": двоичный, адреса 0000-03E7\n"),
            0u)
      << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST_F(FlashTest, FullImageOfRandomBytes) {
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  Bytes image = Random(65536, 7);
  ProcessResult r = Run({"-q", Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(device.BlockCounts().size(), 512u);
  // Quiet: only the verdict.
  EXPECT_EQ(r.err, "Программирование завершено\n");
}

TEST_F(FlashTest, ProgressRisesToOneHundredOneLineAPercentAtMost) {
  SimulatedPorts ports;
  ports.Add("COM1");
  ProcessResult r = Run({Image(Random(65536))});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::istringstream lines(r.err);
  std::string line;
  int last = -1, count = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line.back() != '%') continue;
    int value = std::stoi(line);
    EXPECT_GT(value, last);
    last = value;
    ++count;
  }
  EXPECT_EQ(last, 100);
  EXPECT_LE(count, 101);
}

TEST_F(FlashTest, ShortLastBlockIsPaddedWithFF) {
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  Bytes image = Random(129, 3);
  ProcessResult r = Run({Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(device.BlockCounts().size(), 2u);
  Bytes memory = device.Memory();
  EXPECT_TRUE(std::all_of(memory.begin() + 129, memory.begin() + 256, [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(FlashTest, DeviceNumbersAtTheEdges) {
  for (int number : {255, 209}) {
    SimulatedPorts ports;
    SimOptions o;
    o.device = static_cast<uint8_t>(number);
    auto& device = ports.Add("COM1", o);
    Bytes image = Random(300, number);
    ProcessResult r = Run({"-d", std::to_string(number), Image(image)});
    EXPECT_EQ(r.exit_code, 0) << number << r.err;
    ExpectMemoryHolds(device, image);
  }
}

TEST_F(FlashTest, AcceptedAndIgnoredReplies) {
  // A command-3 reply acknowledges a block; a command-2 reply from another device does not, so
  // that block goes out again after the reply time-out.
  SimulatedPorts ports;
  SimOptions o;
  o.reply_command.push_back({devsim::ParseFrameSelector("block:1"), 3});
  o.other_device.push_back({devsim::ParseFrameSelector("block:2"), -1});
  auto& device = ports.Add("COM1", o);
  Bytes image = Random(384);
  ProcessResult r = Run({Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(device.BlockCount(0x0000), 1);
  EXPECT_EQ(device.BlockCount(0x0080), 2);
  EXPECT_EQ(device.BlockCount(0x0100), 1);
  EXPECT_GE(r.elapsed, 5s);
}

TEST_F(FlashTest, OneLostOrCorruptReplyIsMadeGoodByOneResend) {
  SimulatedPorts ports;
  SimOptions o;
  o.drop.push_back(devsim::ParseFrameSelector("block:2"));
  o.corrupt_checksum.push_back(devsim::ParseFrameSelector("checksum:1"));
  auto& device = ports.Add("COM1", o);
  Bytes image = Random(256);
  std::string log = (dir_ / "frames.txt").string();
  ProcessResult r = Run({"--log", log, Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(device.BlockCount(0x0080), 2);
  EXPECT_EQ(device.FrameCount(3), 2);
  EXPECT_NE(r.err.find("Error CS!"), std::string::npos);
  std::ifstream in(log, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("\r\nError CS!\r\n-> D1 07 00 03"), std::string::npos) << text;
}

// Devices whose ping answers are still on their way when programming starts, and which, as a
// microcontroller writing its flash does, lose what arrives while they are busy after a block: a
// ping answer taken for a block's reply sends the next block into that busy time.
TEST_F(FlashTest, PingAnswersStillOnTheirWayAcknowledgeNothing) {
  struct Case {
    const char* what;
    std::vector<devsim::ReplyFault> delay, twice;
  };
  const devsim::FrameSelector pings = devsim::ParseFrameSelector("ping");
  const Case cases[] = {
      {"answers 120 ms after the ping", {{pings, 120}}, {}},
      {"answers 200 ms after the ping", {{pings, 200}}, {}},
      {"two answers to each ping, 2 ms apart", {}, {{pings, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimulatedPorts ports;
    SimOptions o;
    o.delay = c.delay;
    o.twice = c.twice;
    o.busy_after_block_ms = 20;
    auto& device = ports.Add("COM1", o);
    const Bytes image = Random(4096, 21);
    const std::string log = (dir_ / "frames.txt").string();
    ProcessResult r = Run({"--log", log, Image(image)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    ExpectMemoryHolds(device, image);
    EXPECT_EQ(device.LostBytes(), 0);
    ExpectEachFrameAfterTheReplyToTheOneBefore(log);
  }
}

TEST_F(FlashTest, GivesUpWhenABlockIsUnansweredTwice) {
  SimulatedPorts ports;
  SimOptions o;
  o.drop.push_back(devsim::ParseFrameSelector("block:2+"));
  auto& device = ports.Add("COM1", o);
  ProcessResult r = Run({Image(Random(1024))});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(Verdict(r.err), "Нет ответа от устройства");
  EXPECT_EQ(LastLine(r.err), "COM1: нет ответа на блок 0080");
  EXPECT_EQ(device.BlockCount(0x0080), 2);
  EXPECT_EQ(device.BlockCount(0x0100), 0);
}

TEST_F(FlashTest, GivesUpWhenTheChecksumIsNeverConfirmed) {
  SimulatedPorts ports;
  SimOptions o;
  o.drop.push_back(devsim::ParseFrameSelector("checksum"));
  auto& device = ports.Add("COM1", o);
  ProcessResult r = Run({Image(Random(200))});
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(Verdict(r.err), "Нет подтверждения контрольной суммы");
  EXPECT_EQ(LastLine(r.err), "COM1: нет ответа на контрольную сумму");
  EXPECT_EQ(device.FrameCount(3), 2);
}

// The device unplugged in the middle: the run ends at once with the line named, not two reply
// times later as a silent device.
TEST_F(FlashTest, DeviceHangingUpMidRunEndsWithoutHanging) {
  SimulatedPorts ports;
  SimOptions o;
  o.hang_up_after_blocks = 3;
  auto& device = ports.Add("COM1", o);
  std::unique_ptr<ChildProcess> p(Start({"--json", Image(Random(4096))}));
  ASSERT_TRUE(device.WaitUntil([&] { return device.HungUp(); }, 20s));
  const auto hung_up = std::chrono::steady_clock::now();
  ProcessResult r = p->Wait(20s);
  EXPECT_LT(std::chrono::steady_clock::now() - hung_up, 2s);
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(Verdict(r.err), "Нет ответа от устройства");
  // A pseudo-terminal whose far end closed fails the write as a pulled adapter does: EIO.
  EXPECT_EQ(Count(r.err, "orvix-flash: COM1: связь потеряна: Input/output error\n"), 1u) << r.err;
  const size_t result = r.out.find("{\"event\":\"result\"");
  ASSERT_NE(result, std::string::npos) << r.out;
  const std::string line = r.out.substr(result, r.out.find('\n', result) - result);
  EXPECT_NE(line.find("\"status\":\"line_lost\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"error\":\"Input/output error\""), std::string::npos) << line;
}

TEST_F(FlashTest, InterruptOrTheTerminalGoingAwayStopsTheRunLikeTheStopButton) {
  for (int sig : {SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    SimulatedPorts ports;
    SimOptions o;
    o.baud = 57600;  // slow enough to interrupt in the middle
    ports.Add("COM1", o);
    std::unique_ptr<ChildProcess> p(Start({Image(Random(65536))}));
    ASSERT_TRUE(p->WaitForStderr("Программирование\n", 20s));
    p->Signal(sig);
    ProcessResult r = p->Wait(20s);
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_EQ(Verdict(r.err), "Прграммирование прервано");
  }
}

TEST_F(FlashTest, InterruptsThatKeepComingWhileTheRunEndsAreHarmless) {
  // The signal thread outlives the run: a signal arriving while the loop is torn down must not
  // reach the loop being destroyed (ThreadSanitizer saw it in the test above).
  SimulatedPorts ports;
  SimOptions o;
  o.baud = 57600;
  ports.Add("COM1", o);
  std::unique_ptr<ChildProcess> p(Start({Image(Random(65536))}));
  ASSERT_TRUE(p->WaitForStderr("Программирование\n", 20s));
  for (int i = 0; i < 400 && ::kill(p->Pid(), 0) == 0; ++i) {
    p->Signal(i % 2 ? SIGTERM : SIGINT);
    std::this_thread::sleep_for(1ms);
  }
  ProcessResult r = p->Wait(20s);
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(Verdict(r.err), "Прграммирование прервано");
}

TEST_F(FlashTest, WaitLimitWithNoDevice) {
  SimulatedPorts ports;
  SimOptions o;
  o.silent = true;
  ports.Add("COM1", o);
  ProcessResult r = Run({"-w", "1", Image(Random(10))});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(Verdict(r.err), "Нет ответа от устройства");
  EXPECT_TRUE(std::regex_match(LastLine(r.err), std::regex("Опрошено портов: 1, [0-9]+,[0-9] с")))
      << r.err;
}

// ---- On a terminal.

// orvix-flash with a pseudo-terminal of the test's as its stderr and controlling terminal, so
// that a new size set on the master reaches it as SIGWINCH, as from a terminal window.
class TerminalChild {
 public:
  TerminalChild(std::vector<std::string> args, int columns) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    const std::string slave_path = ::ptsname(master_);
    Resize(columns);
    args.insert(args.begin(), testing::BuiltProgram("cli/orvix-flash"));
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setsid();
      const int slave = ::open(slave_path.c_str(), O_RDWR);
      const int null = ::open("/dev/null", O_RDWR);
      ::ioctl(slave, TIOCSCTTY, 0);
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(slave, STDERR_FILENO);
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~TerminalChild() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
  }
  TerminalChild(const TerminalChild&) = delete;
  TerminalChild& operator=(const TerminalChild&) = delete;

  void Resize(int columns) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    ::ioctl(master_, TIOCSWINSZ, &size);
  }
  // Reads what the terminal got until `text` is among it; false at the end or the limit.
  bool ReadUntil(const std::string& text, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (bytes_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= end || !ReadSome(50)) return false;
    }
    return true;
  }
  // Reads to the end (the terminal closes with the program) and gives the exit status.
  int Wait() {
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < end && ReadSome(50)) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  bool ReadSome(int timeout_ms) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, timeout_ms) <= 0) return true;
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;  // EIO: the program's end closed the terminal
    bytes_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string bytes_;
};

// The characters of UTF-8 text, each kept whole: one a column.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> each;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    each.push_back(text.substr(i, n));
    i += n;
  }
  return each;
}

// What a terminal shows of the bytes: carriage return, newline, erase-line (ESC [ K and
// ESC [ 2 K) and a wrap at the width, which changes at the given byte offsets.
struct Screen {
  std::vector<std::string> rows{""};
  std::vector<std::string> wrapped;  // rows that ran past the width, as they were then
};
Screen Show(const std::string& bytes, const std::vector<std::pair<size_t, int>>& widths) {
  Screen screen;
  size_t row = 0, col = 0;
  auto set_row = [&](const std::vector<std::string>& cells) {
    screen.rows[row].clear();
    for (const auto& cell : cells) screen.rows[row] += cell;
  };
  auto next_row = [&] {
    if (++row == screen.rows.size()) screen.rows.emplace_back();
  };
  for (size_t i = 0; i < bytes.size();) {
    int width = 0;
    for (const auto& [at, columns] : widths)
      if (at <= i) width = columns;
    std::vector<std::string> cells = Characters(screen.rows[row]);
    if (bytes[i] == '\r') {
      col = 0;
      ++i;
    } else if (bytes[i] == '\n') {
      next_row();
      ++i;
    } else if (bytes[i] == '\x1b') {
      const size_t k = bytes.find('K', i);
      const std::string sequence = bytes.substr(i, k == std::string::npos ? 8 : k + 1 - i);
      if (sequence == "\x1b[K")
        cells.resize(std::min(cells.size(), col));
      else if (sequence == "\x1b[2K")
        cells.clear();
      else
        ADD_FAILURE() << "an escape the model does not know: " << sequence.substr(1);
      set_row(cells);
      i += sequence.size();
    } else {
      const std::string character = Characters(bytes.substr(i, 4)).front();
      if (col >= static_cast<size_t>(width)) {
        screen.wrapped.push_back(screen.rows[row]);
        next_row();
        col = 0;
        cells.clear();
      }
      if (cells.size() <= col) cells.resize(col + 1, " ");
      cells[col++] = character;
      set_row(cells);
      i += character.size();
    }
  }
  return screen;
}
bool IsProgressRow(std::string row) {
  while (!row.empty() && row.back() == ' ') row.pop_back();
  return !row.empty() && (row.front() == '[' || row.back() == '%');
}

// At 80 and 40 columns, and the window resized in the middle of the run (while the device takes
// its time over one block): the bar fits the width it was drawn at, before and after the resize,
// never wraps, and leaves no row of its own above a later line.
TEST_F(FlashTest, OnATerminalTheBarFitsTheWidthAndLeavesNoRowBehind) {
  for (const auto& [before, after] : {std::pair{80, 40}, std::pair{40, 80}}) {
    SCOPED_TRACE(std::to_string(before) + " to " + std::to_string(after) + " columns");
    SimulatedPorts ports;
    SimOptions o;
    o.delay.push_back({devsim::ParseFrameSelector("block:20"), 1000});
    auto& device = ports.Add("COM1", o);
    const Bytes image = Random(8192, 5);
    TerminalChild terminal({Image(image)}, before);
    // The 20th block of 64 is out (its bar reads 31 %) and its reply is a second away: nothing
    // is drawn at the old width after the resize, however slow this machine is.
    ASSERT_TRUE(terminal.ReadUntil(" 31%\x1b[K")) << terminal.Bytes();
    const size_t resized_at = terminal.Bytes().size();
    terminal.Resize(after);
    ASSERT_EQ(terminal.Wait(), 0) << terminal.Bytes();
    ExpectMemoryHolds(device, image);

    const std::string& bytes = terminal.Bytes();
    // Each bar as drawn: the widest that leaves the last column free, at the width then.
    int bars_after = 0;
    for (size_t at = bytes.find("\r["); at != std::string::npos; at = bytes.find("\r[", at + 1)) {
      const std::string bar = bytes.substr(at + 1, bytes.find('\x1b', at) - at - 1);
      const int columns = at < resized_at ? before : after;
      EXPECT_EQ(Characters(bar).size(), static_cast<size_t>(std::min(57, columns - 1))) << bar;
      bars_after += at >= resized_at;
    }
    EXPECT_GT(bars_after, 0);
    const Screen screen = Show(bytes, {{0, before}, {resized_at, after}});
    for (const std::string& row : screen.wrapped) EXPECT_FALSE(IsProgressRow(row)) << row;
    // Every row but the one the cursor rests on is a line that stays: no bar among them.
    for (size_t r = 0; r + 1 < screen.rows.size(); ++r)
      EXPECT_FALSE(IsProgressRow(screen.rows[r])) << "row " << r << ": " << screen.rows[r];
    // The port and "Программирование" come before the first percent.
    EXPECT_LT(bytes.find("COM1\r\n"), bytes.find("Программирование\r\n"));
    EXPECT_LT(bytes.find("Программирование\r\n"), bytes.find('%'));
  }
}

// Ports that are gone or held by another instance of the programmer.
TEST_F(FlashTest, EachPortThatCannotBeOpenedIsNamedOnceWithItsCause) {
  const std::string gone = (dir_ / "no-such-tty").string();
  FarEnd held;  // a silent line
  const int holder = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  const std::string gone_line =
      "orvix-flash: COM1 (" + gone + "): не удаётся открыть: No such file or directory\n";
  // The holder is this test, by its PID and command, as --check names it.
  const std::string held_line = "orvix-flash: COM2 (" + held.SlavePath() +
                                "): не удаётся открыть: занят: PID " + std::to_string(::getpid()) +
                                " (flash_tests)\n";
  const Bytes bytes = Random(300);
  const std::string image = Image(bytes);
  {
    SimulatedPorts ports;
    ports.Map("COM1", gone);
    ports.Map("COM2", held.SlavePath());
    auto& device = ports.Add("COM3");
    ProcessResult r = Run({image}, 20s);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    ExpectMemoryHolds(device, bytes);
    EXPECT_EQ(Count(r.err, gone_line), 1u) << r.err;
    EXPECT_EQ(Count(r.err, held_line), 1u) << r.err;
    EXPECT_EQ(Verdict(r.err), "Программирование завершено");
    r = Run({"-q", image}, 20s);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "Программирование завершено\n");
  }
  // No port left to ping: named once all the same, before the verdict.
  SimulatedPorts ports;
  ports.Map("COM1", gone);
  ports.Map("COM2", held.SlavePath());
  ProcessResult r = Run({image}, 20s);
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(Count(r.err, gone_line), 1u) << r.err;
  EXPECT_EQ(Count(r.err, held_line), 1u) << r.err;
  EXPECT_EQ(Count(r.err, "COM1"), 1u) << r.err;
  EXPECT_EQ(Verdict(r.err), "Нет ответа от устройства");
  ::close(holder);
}

// More ports than the descriptor limit leaves room for, the device on the last one.
TEST_F(FlashTest, EveryPortIsAccountedForWhenDescriptorsRunShort) {
  std::vector<std::unique_ptr<FarEnd>> lines;  // silent: their far ends show what was written
  SimulatedPorts ports;
  for (int n = 1; n <= 40; ++n) {
    lines.push_back(std::make_unique<FarEnd>());
    ports.Map("COM" + std::to_string(n), lines.back()->SlavePath());
  }
  auto& device = ports.Add("COM41");
  const Bytes image = Random(700, 4);
  // Only the soft limit is low: the flasher raises it to the hard one and reaches every port.
  ProcessResult r = RunInShell("ulimit -Sn 24 && exec \"$@\"", {"-w", "20", Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(Count(r.err, "cannot open"), 0u) << r.err;

  // Both limits low: either the device was reached, or it is named with the others that could not
  // be opened; every port was pinged or named. Not under AddressSanitizer: its runtime needs
  // descriptors of its own (it probes memory through a pipe) and, with none left, reports
  // errors that are not there.
#if defined(__SANITIZE_ADDRESS__)
  return;
#endif
  for (auto& line : lines) line->TakeWaiting();
  const int device_pings = device.Pings();
  r = RunInShell("ulimit -n 24 && exec \"$@\"", {"-w", "3", Image(image)});
  for (int n = 1; n <= 41; ++n) {
    const std::string name = "COM" + std::to_string(n);
    const size_t named = Count(r.err, "orvix-flash: " + name + " (");
    const bool pinged =
        n <= 40 ? !lines[n - 1]->TakeWaiting().empty() : device.Pings() > device_pings;
    EXPECT_EQ(named + (pinged ? 1 : 0), 1u) << name << "\n" << r.err;
  }
  EXPECT_NE(Count(r.err, "не удаётся открыть: Too many open files\n"), 0u) << r.err;
  if (r.exit_code == 0) {
    ExpectMemoryHolds(device, image);
  } else {
    EXPECT_EQ(r.exit_code, 3) << r.err;
    EXPECT_EQ(Verdict(r.err), "Нет ответа от устройства");
  }
}

// `orvix-flash image 2>&1 | head -3`, and output that goes to a full disk.
TEST_F(FlashTest, TheRunOutlivesItsOutput) {
  for (const std::string command :
       {"\"$@\" 2>&1 | head -3; exit ${PIPESTATUS[0]}", "exec \"$@\" >/dev/full 2>&1"}) {
    SCOPED_TRACE(command);
    SimulatedPorts ports;
    SimOptions o;
    o.baud = 57600;  // progress lines keep coming for a second after the reader has gone
    auto& device = ports.Add("COM1", o);
    const Bytes image = Random(8192, 8);
    ProcessResult r = RunInShell(command, {Image(image)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.signal, 0);
    ExpectMemoryHolds(device, image);
  }
}

TEST_F(FlashTest, FrameLogHoldsExactlyTheFramesExchanged) {
  SimulatedPorts ports;
  ports.Add("COM1");
  std::string log = (dir_ / "frames.txt").string();
  ProcessResult r = Run({"-d", "0x05", "--log", log, Image(Bytes(3, 0x01))});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::ifstream in(log, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::string block = "-> D1 85 05 02 00 00 01 01 01";
  for (int i = 0; i < 125; ++i) block += " FF";
  block += " 8D";  // low byte of 5 + 2 + 3 + 125 x 0xFF
  EXPECT_EQ(text, block + "\r\n<- D1 05 05 02 00 00 07\r\n-> D1 07 05 03 00 00 03 00 0B\r\n"
                          "<- D1 05 05 03 00 00 08\r\n");
}

// ---- Intel HEX and S-record files.

// objcopy writes the record files: the flasher is checked against a converter of its own.
TEST_F(FlashTest, AnIntelHexFileAt1000IsProgrammedOverItsOwnRange) {
  SimulatedPorts ports;
  // Each ping answered twice: neither answer may pass for the reply to the block at 1000.
  SimOptions o;
  o.twice.push_back({devsim::ParseFrameSelector("ping"), 2});
  auto& device = ports.Add("COM1", o);
  const Bytes source = Random(3000, 11);
  const std::string hex = (dir_ / "firmware.hex").string();
  const std::string command =
      "objcopy -I binary -O ihex --change-addresses 0x1000 " + Image(source) + " " + hex;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  ProcessResult r = Run({hex});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find("orvix-flash: " + hex + ": Intel HEX, адреса 1000-1BB7\n"), 0u) << r.err;
  // Blocks from the start address on, nothing below it, and the checksum over 1000..1BB7.
  const std::map<uint16_t, int> blocks = device.BlockCounts();
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.begin()->first, 0x1000);
  EXPECT_EQ(blocks.size(), 24u);
  ASSERT_TRUE(device.Written());
  EXPECT_EQ(device.Written()->lowest, 0x1000);
  ASSERT_TRUE(device.LastChecksum());
  EXPECT_TRUE(device.LastChecksum()->matched);
  EXPECT_EQ(device.LastChecksum()->covered_end, 0x1BB7);
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(source.begin(), source.end(), memory.begin() + 0x1000));
  const TImage file = ReadImage(hex);
  EXPECT_TRUE(std::equal(file.Data.begin() + 0x1000, file.Data.end(), memory.begin() + 0x1000));
  // Progress counts over 1000..1BB7, not from 0000: a block a line, from 4 % to 100 %.
  std::vector<int> percents;
  std::istringstream lines(r.err);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line.back() == '%') percents.push_back(std::stoi(line));
  ASSERT_EQ(percents.size(), 24u) << r.err;
  EXPECT_EQ(percents.front(), 4);
  EXPECT_EQ(percents.back(), 100);
}

TEST_F(FlashTest, FormatAskedForOverridesTheNameAndIsReadStrictly) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const Bytes source = Random(200, 12);
  const std::string srec = (dir_ / "firmware.txt").string();
  const std::string command = "objcopy -I binary -O srec --srec-forceS3 --change-addresses 0x40 " +
                              Image(source) + " " + srec;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  ProcessResult wrong = Run({"--format", "ihex", srec});
  EXPECT_EQ(wrong.exit_code, 66);
  EXPECT_NE(wrong.err.find(srec + ":1: malformed record"), std::string::npos) << wrong.err;
  EXPECT_EQ(device.Pings(), 0);

  ProcessResult r = Run({"-f", "srec", srec});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find(": S-record, addresses 0040-0107\n"), std::string::npos) << r.err;
  const Bytes memory = device.Memory();
  EXPECT_TRUE(std::equal(source.begin(), source.end(), memory.begin() + 0x40));
  EXPECT_EQ(device.Written()->lowest, 0x40);

  EXPECT_EQ(Run({"--format", "hex", srec}).exit_code, 64);
}

TEST_F(FlashTest, DamagedRecordFilesAndElfFilesExitWith66BeforeAnyPortIsOpened) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const std::string cut = (dir_ / "cut.hex").string();
  std::ofstream(cut) << ":0100000001FE\n:0100010002FC\n";
  ProcessResult r = Run({cut}, 20s);
  EXPECT_EQ(r.exit_code, 66);
  EXPECT_NE(r.err.find(cut + ":2: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the file may be cut short"), std::string::npos) << r.err;

  Bytes elf{0x7F, 'E', 'L', 'F', 1, 1, 1};
  elf.resize(200);
  ProcessResult e = Run({Image(elf, "firmware.elf")}, 20s);
  EXPECT_EQ(e.exit_code, 66);
  EXPECT_NE(e.err.find("objcopy -O ihex"), std::string::npos) << e.err;
  EXPECT_EQ(device.Pings(), 0);
}

TEST_F(FlashTest, UnusableImagesAndUsageErrors) {
  EXPECT_EQ(Run({(dir_ / "missing.bin").string()}).exit_code, 66);
  ProcessResult empty = Run({Image({}, "empty.bin")});
  EXPECT_EQ(empty.exit_code, 66);
  EXPECT_NE(empty.err.find("empty.bin"), std::string::npos);
  ProcessResult big = Run({Image(Bytes(65537), "big.bin")});
  EXPECT_EQ(big.exit_code, 66);
  // The size in either language: the flasher words the loader's texts in its user's.
  EXPECT_NE(big.err.find("65537"), std::string::npos) << big.err;
  EXPECT_EQ(Run({"-d", "256", "x.bin"}).exit_code, 64);
  EXPECT_EQ(Run({}).exit_code, 64);
}

// Bad input is refused with a clear error before the device hears anything.
TEST_F(FlashTest, UnusableImagePathsAreRefusedBeforeAnyPortIsOpened) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const std::string fifo = (dir_ / "fifo.bin").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {dir_.string(), fifo, (dir_ / "gone.bin").string()}) {
    ProcessResult r = Run({path}, 20s);
    EXPECT_EQ(r.exit_code, 66) << path << r.err;
    EXPECT_NE(r.err.find("Cannot open file \"" + path + "\""), std::string::npos) << r.err;
  }
  EXPECT_EQ(device.Pings(), 0);
}

TEST_F(FlashTest, AFrameLogThatCannotBeWrittenIsRefusedBeforeTheRun) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const std::string image = Image(Random(300));
  for (const std::string& log : {(dir_ / "no-folder" / "log.txt").string(), dir_.string()}) {
    ProcessResult r = Run({"--log", log, image}, 20s);
    EXPECT_EQ(r.exit_code, 73) << r.err;
    EXPECT_NE(r.err.find("cannot write the frame log \"" + log + "\""), std::string::npos)
        << r.err;
  }
  EXPECT_EQ(device.Pings(), 0);
  EXPECT_FALSE(fs::exists(dir_ / "no-folder"));
}

// A frame log on a file system that fills up in the middle of the run: files may grow to 4 KiB,
// and the signal that limit raises is ignored (as inherited through exec), so the log's write
// fails with EFBIG. The device still gets its whole image; the log alone is lost.
TEST_F(FlashTest, AFrameLogThatFillsItsDiskCostsTheLogNotTheImage) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const Bytes image = Random(20000, 9);
  const std::string log = (dir_ / "frames.txt").string();
  ProcessResult r = RunInShell("ulimit -f 4 && trap '' XFSZ && exec \"$@\"",
                               {"--log", log, Image(image)});
  EXPECT_EQ(r.exit_code, 73) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(Count(r.err, "frame log"), 1u) << r.err;
  EXPECT_EQ(Count(r.err, "orvix-flash: cannot write the frame log \"" + log + "\": File too large\n"), 1u)
      << r.err;
  EXPECT_EQ(Verdict(r.err), "Programming finished");
  EXPECT_LE(fs::file_size(log), 4096u);
}

// A bad ORVIX_PORTS is a configuration to correct (exit 78), named by the variable and the entry
// wherever the map is read, and no port is opened.
TEST_F(FlashTest, ABadPortMapEntryIsNamedAndNoPortIsOpened) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  ports.Map("COM2", "dev/relative");
  const std::string image = Image(Random(300));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {image}, {"-p", "COM1", image}, {"--port-filter", "name=COM1", image},
           {"--list-ports"}, {"--check"}}) {
    SCOPED_TRACE(args.front());
    ProcessResult r = Run(args, 20s);
    EXPECT_EQ(r.exit_code, 78);
    EXPECT_EQ(r.err,
              "orvix-flash: ORVIX_PORTS entry 'COM2=dev/relative' needs an absolute device path\n");
  }
  EXPECT_EQ(device.Pings(), 0);
}

// The rate asked for is the one the line is set to for every frame, pings and blocks alike; the
// simulator paced at that rate takes the whole image. A pseudo-terminal carries bytes at any
// rate, so a rate that differs from the device's cannot be shown failing here.
TEST_F(FlashTest, RunsAtTheLineSpeedAskedFor) {
  SimulatedPorts ports;
  SimOptions paced;
  paced.baud = 115200;
  auto& device = ports.Add("COM1", paced);
  const Bytes image = Random(2000, 5);
  ProcessResult r = Run({"-b", "115200", Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
  EXPECT_EQ(device.HostRates(), std::set<int>{115200});
}

// A reset reaches only ports the user chose: without --port or --port-filter the line is refused
// before any port is opened; with one, the run programs the device.
TEST_F(FlashTest, ResetNeedsAPortChoiceAndThenTheRunGoesOn) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  const Bytes image = Random(500, 4);
  ProcessResult r = Run({"--reset", "dtr", Image(image)}, 20s);
  EXPECT_EQ(r.exit_code, 64);
  EXPECT_NE(r.err.find("--reset needs --port or --port-filter"), std::string::npos) << r.err;
  EXPECT_EQ(device.Pings(), 0);
  r = Run({"--port-filter", "name=COM1", "--reset", "rts", "--reset-ms", "20", Image(image)});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ExpectMemoryHolds(device, image);
}

// --port with a name the machine has no port for: named with the ports there are, nothing
// opened; letter case and a device path reach the port as before.
TEST_F(FlashTest, AnUnknownPortIsRefusedNamingThePortsThereAre) {
  English();
  SimulatedPorts ports;
  auto& device = ports.Add("COM1");
  SimOptions quiet;
  quiet.silent = true;
  ports.Add("COM3", quiet);
  const Bytes bytes = Random(300);
  const std::string image = Image(bytes);
  ProcessResult r = Run({"--port", "COM77", image}, 20s);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.err, "orvix-flash: no such port: COM77; ports: COM1 COM3\n");
  EXPECT_EQ(device.Pings(), 0);
  for (const std::string& port : {std::string("com1"), device.PortPath()}) {
    r = Run({"-q", "--port", port, image}, 20s);
    EXPECT_EQ(r.exit_code, 0) << port << r.err;
  }
  ExpectMemoryHolds(device, bytes);
}

// The text and codes scripts rely on: --help word for word (tests/cli/flash_help.txt), no
// wider than a terminal, the version line, and each usage error on stderr as the mistake, the
// synopsis and a pointer to --help, with exit 64 and nothing on stdout.
TEST_F(FlashTest, HelpVersionAndUsageErrorsAsDocumented) {
  English();
  std::ifstream file(ORVIX_FLASH_HELP, std::ios::binary);
  const std::string usage((std::istreambuf_iterator<char>(file)), {});
  ASSERT_FALSE(usage.empty());
  for (const char* help : {"--help", "-h"}) {
    ProcessResult r = Run({help});
    EXPECT_EQ(r.exit_code, 0) << help;
    EXPECT_EQ(r.out, usage) << help;
    EXPECT_EQ(r.err, "") << help;
  }
  std::istringstream help_lines(usage);
  std::string synopsis;
  bool in_synopsis = true;
  for (std::string line; std::getline(help_lines, line);) {
    EXPECT_LE(line.size(), 80u) << line;
    if (line.empty()) in_synopsis = false;
    if (in_synopsis) synopsis += (synopsis.empty() ? "Usage: " : "       ") + line + "\n";
  }
  ProcessResult version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "orvix-flash " ORVIX_VERSION "\n");
  const struct {
    std::vector<std::string> args;
    std::string error;
  } usage_errors[] = {
      {{}, "missing IMAGE"},
      {{"--frobnicate", "a.bin"}, "unknown option --frobnicate"},
      {{"-d5", "a.bin"}, "unknown option -d5"},
      {{"-d", "256", "a.bin"}, "bad device number \"256\": give 0..255, decimal or 0x hexadecimal"},
      {{"a.bin", "--port"}, "option --port needs a value"},
      {{"-w", "soon", "a.bin"}, "bad --wait value \"soon\": give seconds, 0 or more"},
      {{"--log=", "a.bin"}, "empty log file name"},
      {{"--quiet=yes", "a.bin"}, "option --quiet takes no value"},
      {{"a.bin", "b.bin"}, "more than one IMAGE: \"a.bin\" and \"b.bin\""},
      {{"-h", "--bogus"}, "unknown option --bogus"},
      {{"--list-ports", "img.bin"}, "stray word \"img.bin\": --list-ports takes no IMAGE"},
      {{"--check", "img.bin"}, "stray word \"img.bin\": --check takes no IMAGE"},
      {{"--version", "extra"}, "stray word \"extra\": --version takes no IMAGE"},
  };
  for (const auto& c : usage_errors) {
    ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, 64) << c.error;
    EXPECT_EQ(r.err, "orvix-flash: " + c.error + "\n" + synopsis +
                         "Try 'orvix-flash --help' for more.\n");
    EXPECT_EQ(r.out, "");
  }
}

// The same runs in each language the environment can choose: English has no Cyrillic letter,
// Russian (named, or no language named) the program's own texts; what programs read is the same.
TEST_F(FlashTest, SpeaksTheLanguageTheEnvironmentChooses) {
  const std::string image = Image(Random(300));
  const std::string missing = (dir_ / "missing.bin").string();
  struct Run {
    const char* what;
    std::vector<std::string> args;
    SimOptions device;  // on COM1; none when serving is false
    bool serving;
    int exit_code;
    const char* russian;  // a line of the Russian output
  };
  SimOptions hang_up;
  hang_up.hang_up_after_blocks = 1;
  const std::vector<Run> runs = {
      {"success", {image}, {}, true, 0, "Программирование завершено\n"},
      {"no device", {"--wait", "0.3", image}, {}, false, 3, "Нет ответа от устройства\n"},
      {"device stops answering", {image}, hang_up, true, 1, "Нет ответа от устройства\n"},
      {"image refused", {missing}, {}, false, 66, "Не удается открыть файл \""},
      {"usage error", {"-d", "300", image}, {}, false, 64, "неверный номер устройства \"300\""},
      {"check with a finding", {"--check"}, {}, false, 1, ": файла устройства нет; "},
      {"help", {"--help"}, {}, false, 0, "Код выхода:\n"},
  };
  // Every variable a language is chosen by, removed (a bare name) before the row's own.
  const std::vector<std::string> clean = {"ORVIX_LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  const struct {
    std::vector<std::string> env;
    bool russian;
  } languages[] = {
      {{"LANG=en_US.UTF-8"}, false},
      {{"LANG=ru_RU.UTF-8"}, true},
      {{"LANG=C"}, true},
      {{}, true},
      {{"LANG=ru_RU.UTF-8", "ORVIX_LANG=en"}, false},
      {{"LANG=en_US.UTF-8", "ORVIX_LANG=ru"}, true},
  };
  const auto cyrillic = [](const std::string& text) {
    return text.find("\xD0") != std::string::npos || text.find("\xD1") != std::string::npos;
  };
  for (const Run& run : runs) {
    for (const auto& language : languages) {
      std::vector<std::string> env = clean;
      env.insert(env.end(), language.env.begin(), language.env.end());
      SCOPED_TRACE(std::string(run.what) + ", " +
                   (language.env.empty() ? "no language variable" : language.env.back()));
      SimulatedPorts ports;
      if (run.serving)
        ports.Add("COM1", run.device);
      else
        ports.Map("COM9", (dir_ / "no-such-tty").string());
      const ProcessResult r = RunWith(run.args, env);
      EXPECT_EQ(r.exit_code, run.exit_code) << r.err;
      const std::string shown = r.err + r.out;
      if (language.russian)
        EXPECT_NE(shown.find(run.russian), std::string::npos) << shown;
      else
        EXPECT_FALSE(cyrillic(shown)) << shown;
    }
  }
  // JSON lines: the same in both languages but for what a user reads and the clock.
  const auto json_of = [&](const char* language) {
    SimulatedPorts ports;
    ports.Add("COM1");
    std::vector<std::string> env = clean;
    env.push_back(std::string("ORVIX_LANG=") + language);
    const ProcessResult r = RunWith({"--json", image}, env);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    static const std::regex varying(R"re("(time|text|seconds)":("[^"]*"|[0-9.]+))re");
    return std::regex_replace(r.out, varying, "\"$1\":_");
  };
  const std::string english = json_of("en");
  EXPECT_NE(english.find("\"text\":_"), std::string::npos) << english;
  EXPECT_EQ(english, json_of("ru"));
}

TEST_F(FlashTest, ListPortsPrintsNamesAndPaths) {
  SimulatedPorts ports;
  auto& a = ports.Add("COM2");
  auto& b = ports.Add("COM10");
  ProcessResult r = Run({"--list-ports"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "COM2\t" + a.PortPath() + "\nCOM10\t" + b.PortPath() + "\n");
}

}  // namespace
}  // namespace orvix
