// The flasher's front ends fed recorded runs: typed events in, the lines a user or a program
// reads out. No engine and no port behind them.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>

#include "cli/console_events.h"
#include "cli/flash_catalogues.h"
#include "cli/json_events.h"
#include "cli/sha256.h"
#include "tests/support/scoped_env.h"

namespace orvix {
namespace {

using Event = std::function<void(TRunEvents&)>;
using S = std::string;

Event Looking(std::vector<S> ports) { return [=](TRunEvents& e) { e.LookingForDevice(ports); }; }
Event Opened(S port) { return [=](TRunEvents& e) { e.PortOpened(port); }; }
Event GivenUp(S port, bool open_failed, int code, S text = "") {
  return [=](TRunEvents& e) { e.PortGivenUp({port, open_failed, code, {"", "", {}, text}}); };
}
Event Found(S port) { return [=](TRunEvents& e) { e.DeviceFound(port); }; }
Event Progress(S port, int done, int total) {
  return [=](TRunEvents& e) { e.Progress(port, done, total); };
}
Event Resent(S port, TResent what, uint16_t at) {
  return [=](TRunEvents& e) { e.FrameResent(port, what, at); };
}
Event Bad(S port, TBadReply what) { return [=](TRunEvents& e) { e.BadReply(port, what); }; }
Event LogLost(S file, S cause) { return [=](TRunEvents& e) { e.LogFailed(file, cause); }; }
Event Ended(TRunResult result) { return [=](TRunEvents& e) { e.RunEnded(result); }; }

// 20000 bytes at 0000 whose sum is 0x1495: by default 157 blocks in 3.9 s, the figures line's run.
TRunResult Result(TOutcome outcome, S port, int blocks = 157, double seconds = 3.9,
                  int resends = 0) {
  TRunResult r;
  r.Outcome = outcome;
  r.Port = std::move(port);
  r.Figures = {0x0000, 0x4E1F, 20000, blocks, resends, seconds, 0x1495};
  return r;
}
TRunResult NoAnswerAt(uint16_t address) {
  TRunResult r = Result(TOutcome::ocNoAnswer, "COM3", 38, 10.1, 1);
  r.Address = address;
  return r;
}
TRunResult LineLost(S port, TExchangePhase phase) {
  TRunResult r = Result(TOutcome::ocLineLost, std::move(port), 12, 1.26);
  r.Phase = phase;
  r.Cause.Tail = "Input/output error";  // the system's text
  return r;
}
TRunResult NoDevice(int ports, double seconds) {
  TRunResult r;
  r.PortsPinged = ports;
  r.SearchSeconds = seconds;
  return r;
}

class RunEventsTest : public ::testing::Test {
 protected:
  // The flasher's own lines, as it prints them where the language is Russian or none.
  void SetUp() override {
    InstallCatalogues(FlashCatalogues());
    SetProcessLanguage(TLanguage::lgRussian);
  }
  void TearDown() override {
    static const std::vector<TCatalogue> kNone;
    InstallCatalogues(kNone);
  }
  // Port names with known paths, whatever serial ports this machine has.
  testing::ScopedEnv ports_{"ORVIX_PORTS", "COM1=/dev/orvix-a;COM2=/dev/orvix-b;COM3=/dev/orvix-c"};
};

TEST_F(RunEventsTest, ConsoleLinesFromEvents) {
  using Mode = TConsoleEvents::TMode;
  struct Case {
    const char* what;
    Mode mode;
    bool quiet;
    bool terminal;
    std::vector<Event> events;
    std::string lines;
  };
  TRunResult logged = Result(TOutcome::ocFinished, "COM3");
  logged.LogError = "/tmp/frames.txt: File too large";
  const Case cases[] = {
      {"a finished run, a damaged reply and a port that cannot be opened",
       Mode::mSingle,
       false,
       false,
       {Looking({"COM1", "COM3"}), GivenUp("COM1", true, ENOENT), Opened("COM3"), Found("COM3"),
        Progress("COM3", 128, 255), Bad("COM3", TBadReply::brChecksumError),
        Bad("COM3", TBadReply::brForeignDevice), Progress("COM3", 128, 255),
        Progress("COM3", 256, 255), Ended(Result(TOutcome::ocFinished, "COM3"))},
       "Посылка пакетов согласования\n"
       "orvix-flash: COM1 (/dev/orvix-a): не удаётся открыть: No such file or directory\n"
       "COM3\nПрограммирование\n50%\nError CS!\n100%\n"
       "Программирование завершено\n"
       "0000-4E1F, 20000 байт за 3,9 с (5,1 КБ/с), контрольная сумма 1495 подтверждена\n"},
      {"on a terminal: one bar, cleared before any other line",
       Mode::mSingle,
       false,
       true,
       {Found("COM3"), Progress("COM3", 64, 255), Bad("COM3", TBadReply::brChecksumError),
        Progress("COM3", 256, 255), Ended(Result(TOutcome::ocFinished, "COM3"))},
       "COM3\nПрограммирование\n\r[############                                      ]  25%\x1b[K"
       "\r\x1b[KError CS!\n\r[##################################################] 100%\x1b[K"
       "\r\x1b[KПрограммирование завершено\n"
       "0000-4E1F, 20000 байт за 3,9 с (5,1 КБ/с), контрольная сумма 1495 подтверждена\n"},
      {"a block left unanswered",
       Mode::mSingle,
       false,
       false,
       {Found("COM3"), Resent("COM3", TResent::rsBlock, 0x1200), Ended(NoAnswerAt(0x1200))},
       "COM3\nНет ответа от устройства\n"
       "0000-4E1F, 20000 байт: отправлено блоков 38 за 10,1 с, контрольная сумма 1495\n"
       "COM3: нет ответа на блок 1200\n"},
      {"the checksum never confirmed",
       Mode::mSingle,
       false,
       false,
       {Found("COM3"), Ended(Result(TOutcome::ocChecksumUnconfirmed, "COM3", 157, 13.9))},
       "COM3\nНет подтверждения контрольной суммы\n"
       "0000-4E1F, 20000 байт: отправлено блоков 157 за 13,9 с, контрольная сумма 1495 не "
       "подтверждена\nCOM3: нет ответа на контрольную сумму\n"},
      {"the line lost: the error at once, even quiet, then the verdict",
       Mode::mSingle,
       true,
       false,
       {Found("COM3"), Ended(LineLost("COM3", TExchangePhase::epBlockTransfer))},
       "orvix-flash: COM3: связь потеряна: Input/output error\nНет ответа от устройства\n"},
      {"the line lost after the checksum went out",
       Mode::mSingle,
       false,
       false,
       {Ended(LineLost("COM3", TExchangePhase::epChecksumSent))},
       "orvix-flash: COM3: связь потеряна: Input/output error\n"
       "Нет подтверждения контрольной суммы\n"
       "0000-4E1F, 20000 байт: отправлено блоков 12 за 1,3 с, контрольная сумма 1495\n"},
      {"no port left: every port named once, then what was pinged",
       Mode::mSingle,
       false,
       false,
       {Looking({"COM1", "COM2"}), Opened("COM2"), GivenUp("COM1", true, ENOENT),
        GivenUp("COM2", false, -1), Ended(NoDevice(2, 0.4))},
       "Посылка пакетов согласования\n"
       "orvix-flash: COM1 (/dev/orvix-a): не удаётся открыть: No such file or directory\n"
       "orvix-flash: порт COM2: нет ответа, опрос прекращён\n"
       "Нет ответа от устройства\nОпрошено портов: 2, 0,4 с\n"},
      {"the wait ran out: a port still pinged is not given up",
       Mode::mSingle,
       false,
       false,
       {Looking({"COM1", "COM2"}), GivenUp("COM2", false, -1, "Input/output error"),
        Ended(NoDevice(2, 10))},
       "Посылка пакетов согласования\nНет ответа от устройства\nОпрошено портов: 2, 10,0 с\n"},
      {"no port at all",
       Mode::mSingle,
       true,
       false,
       {Looking({}), Ended(NoDevice(0, 0))},
       "orvix-flash: нет последовательных портов для опроса\nНет ответа от устройства\n"},
      {"stopped before any device answered",
       Mode::mSingle,
       false,
       false,
       {Looking({"COM1"}), Ended(Result(TOutcome::ocStopped, ""))},
       "Посылка пакетов согласования\nПрграммирование прервано\n"},
      {"a failed log named once, as it happens",
       Mode::mSingle,
       true,
       false,
       {Found("COM3"), LogLost("/tmp/frames.txt", "File too large"), Ended(logged)},
       "orvix-flash: не удаётся записать журнал кадров \"/tmp/frames.txt\": File too large\n"
       "Программирование завершено\n"},
      {"a gang: a line a port and its figures; a lost line fails alone",
       Mode::mGang,
       false,
       false,
       {Looking({"COM1", "COM2"}), GivenUp("COM3", true, EBUSY), Found("COM1"), Found("COM2"),
        Progress("COM1", 128, 255), Progress("COM2", 128, 255), Progress("COM1", 256, 255),
        Bad("COM2", TBadReply::brChecksumError), Ended(Result(TOutcome::ocFinished, "COM1")),
        Ended(LineLost("COM2", TExchangePhase::epBlockTransfer))},
       "orvix-flash: COM3 (/dev/orvix-c): не удаётся открыть: занят другой программой\n"
       "COM1: Программирование\nCOM2: Программирование\n"
       "COM1: Программирование завершено (3,9 с, 1495)\n"
       "orvix-flash: COM2: связь потеряна: Input/output error\n"
       "COM2: Нет ответа от устройства (1,3 с, 1495)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out;
    TConsoleLines lines(c.quiet, c.terminal, [&](std::string_view text) {
      out += text;
      return true;
    });
    TConsoleEvents console(lines, c.mode);
    for (const Event& event : c.events) event(console);
    if (c.mode == Mode::mSingle) {
      EXPECT_TRUE(console.Ended());
      console.PrintVerdict();
    }
    EXPECT_EQ(out, c.lines);
  }
}

// The lines of a JSON run with the time taken out (it is the clock's, not the run's).
TEST_F(RunEventsTest, JsonLinesFromEvents) {
  struct Case {
    const char* what;
    std::vector<Event> events;
    std::string lines;
  };
  const Case cases[] = {
      {"ports opened and given up, with their causes",
       {Looking({"COM1", "COM2", "COM3"}), GivenUp("COM1", true, EWOULDBLOCK), Opened("COM2"),
        GivenUp("COM2", false, -1), Opened("COM3"), GivenUp("COM3", false, -1, "Broken pipe")},
       R"({"event":"port","port":"COM1","path":"/dev/orvix-a","state":"failed","error":"in use by another program"}
{"event":"port","port":"COM2","path":"/dev/orvix-b","state":"opened"}
{"event":"port","port":"COM2","path":"/dev/orvix-b","state":"failed","error":"no answer, given up"}
{"event":"port","port":"COM3","path":"/dev/orvix-c","state":"opened"}
{"event":"port","port":"COM3","path":"/dev/orvix-c","state":"failed","error":"Broken pipe"}
)"},
      {"a finished run: progress only rising, each kind of bad reply, a resend",
       {Found("COM3"), Progress("COM3", 128, 255), Progress("COM3", 128, 255),
        Bad("COM3", TBadReply::brChecksumError), Bad("COM3", TBadReply::brForeignDevice),
        Bad("COM3", TBadReply::brUnknownCommand), Resent("COM3", TResent::rsBlock, 0x80),
        Progress("COM3", 256, 255), Ended(Result(TOutcome::ocFinished, "COM3", 158, 3.9, 1))},
       R"({"event":"found","port":"COM3"}
{"event":"progress","port":"COM3","percent":50}
{"event":"bad_reply","port":"COM3","reason":"checksum","text":"Error CS!"}
{"event":"bad_reply","port":"COM3","reason":"foreign_device"}
{"event":"bad_reply","port":"COM3","reason":"unknown_command"}
{"event":"resend","port":"COM3","address":128,"what":"block"}
{"event":"progress","port":"COM3","percent":100}
{"event":"result","port":"COM3","status":"finished","blocks":158,"bytes":20000,"seconds":3.900,"checksum":5269,"resends":1,"text":"Программирование завершено"}
)"},
      {"two ports' progress kept apart",
       {Progress("COM1", 128, 255), Progress("COM2", 64, 255), Progress("COM2", 128, 255),
        Progress("COM1", 64, 255)},
       R"({"event":"progress","port":"COM1","percent":50}
{"event":"progress","port":"COM2","percent":25}
{"event":"progress","port":"COM2","percent":50}
)"},
      {"no answer carries the frame's address; a lost line its error; a failed log its cause",
       {Resent("COM3", TResent::rsChecksum, 0), Ended(NoAnswerAt(0x1200)),
        LogLost("/tmp/f.txt", "File too large"),
        Ended(LineLost("COM2", TExchangePhase::epBlockTransfer)),
        Ended(Result(TOutcome::ocStopped, "COM1", 3, 0.25)),
        Ended(Result(TOutcome::ocChecksumUnconfirmed, "COM4"))},
       R"({"event":"resend","port":"COM3","address":0,"what":"checksum"}
{"event":"result","port":"COM3","status":"no_answer","blocks":38,"bytes":20000,"seconds":10.100,"checksum":5269,"resends":1,"address":4608,"text":"Нет ответа от устройства"}
{"event":"log_failed","file":"/tmp/f.txt","error":"File too large"}
{"event":"result","port":"COM2","status":"line_lost","blocks":12,"bytes":20000,"seconds":1.260,"checksum":5269,"resends":0,"error":"Input/output error","text":"Нет ответа от устройства"}
{"event":"result","port":"COM1","status":"stopped","blocks":3,"bytes":20000,"seconds":0.250,"checksum":5269,"resends":0,"text":"Прграммирование прервано"}
{"event":"result","port":"COM4","status":"checksum_unconfirmed","blocks":157,"bytes":20000,"seconds":3.900,"checksum":5269,"resends":0,"text":"Нет подтверждения контрольной суммы"}
)"},
      {"a single run without a device has no result",
       {Looking({"COM1"}), Ended(NoDevice(1, 3)), Ended(Result(TOutcome::ocStopped, ""))}, ""},
  };
  // The "time" member of each line, which no table can know.
  const auto without_time = [](std::string text) {
    const std::string key = ",\"time\":";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
      size_t end = at + key.size();
      while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                   text[end] == '.'))
        ++end;
      text.erase(at, end - at);
    }
    return text;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
      TJsonEvents json(file, std::chrono::steady_clock::now());
      TJsonRunEvents events(json);
      for (const Event& event : c.events) event(events);
    }
    std::rewind(file);
    std::string out;
    for (int ch; (ch = std::fgetc(file)) != EOF;) out += static_cast<char>(ch);
    std::fclose(file);
    EXPECT_EQ(without_time(out), c.lines);
  }
}

TEST(Sha256Test, StandardVectors) {
  const struct {
    std::string message;
    const char* digest;
  } vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the block, the padding takes a second one.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& v : vectors) {
    SCOPED_TRACE(v.message.substr(0, 20));
    EXPECT_EQ(Sha256Hex(std::vector<uint8_t>(v.message.begin(), v.message.end())), v.digest);
  }
}

}  // namespace
}  // namespace orvix
