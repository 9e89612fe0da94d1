// orvix-devsim: plays the programmer's device on a pseudo-terminal (or a given terminal) for
// tests, benchmarks and the demo. See Help() for the options.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchange/image_file.h"
#include "runtime/language.h"
#include "tools/devsim/device_simulator.h"

namespace orvix {
// The catalogues translations/orvix-devsim_LANG.ts, built in.
const std::vector<TCatalogue>& DevsimCatalogues();
}  // namespace orvix

namespace orvix::devsim {
namespace {

enum ExitCode {
  kMatched = 0,
  kMismatch = 1,
  kNoRun = 2,
  kSaveFailed = 3,
  kUsage = 64,
};

struct Settings {
  SimOptions sim;
  std::string name = "COM9";
  std::string line;
  std::string save;
  std::string expect;
  bool serve = false;
  int timeout_s = 0;
  bool help = false;
};

struct Flag {
  const char* name;
  const char* argument;  // none: the flag takes no argument
  const char* help;
  std::function<void(Settings&, const std::string&)> apply;
};

// "SEL=VALUE" or "SEL"; the value is fallback when absent.
ReplyFault Rule(const std::string& text, const std::string& flag, int fallback, int low, int high,
                bool value_required = false) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos && value_required) {
    throw EBadOption(
        {"devsim", ORVIX_TEXT("devsim", "%1: '%2' lacks its '=VALUE'"), {flag, text}, {}});
  }
  ReplyFault rule{ParseFrameSelector(text.substr(0, equals)), fallback};
  if (equals != std::string::npos)
    rule.value = ParseNumber(text.substr(equals + 1), flag, low, high);
  return rule;
}

const std::vector<Flag>& Flags() {
  static const std::vector<Flag> kFlags = {
      {"--name", "NAME",
       ORVIX_TEXT("devsim", "port name in the first line's map entry (default COM9)"),
       [](Settings& s, const std::string& v) { s.name = v; }},
      {"--line", "PATH",
       ORVIX_TEXT("devsim",
                  "play the device on this terminal instead of a new pseudo-terminal; the first "
                  "line is then "
                  "'serving PATH'"),
       [](Settings& s, const std::string& v) { s.line = v; }},
      {"--device", "N",
       ORVIX_TEXT(
           "devsim",
           "answer only frames for device N, as a device on a shared line would (default: answer "
           "every number, replying with the number the host sent)"),
       [](Settings& s, const std::string& v) {
         s.sim.device = static_cast<uint8_t>(ParseNumber(v, "--device", 0, 255));
       }},
      {"--once", nullptr, ORVIX_TEXT("devsim", "exit after the first completed run (the default)"),
       [](Settings& s, const std::string&) { s.serve = false; }},
      {"--serve", nullptr,
       ORVIX_TEXT(
           "devsim",
           "keep serving after each completed run, printing its result line, until SIGINT, SIGTERM "
           "or --timeout"),
       [](Settings& s, const std::string&) { s.serve = true; }},
      {"--timeout", "SEC", ORVIX_TEXT("devsim", "give up after SEC seconds"),
       [](Settings& s, const std::string& v) {
         s.timeout_s = ParseNumber(v, "--timeout", 1, 24 * 3600);
       }},
      {"--save", "FILE",
       ORVIX_TEXT(
           "devsim",
           "at the end, write the memory to FILE: the range the checksum covered when it matched, "
           "else the whole range written"),
       [](Settings& s, const std::string& v) { s.save = v; }},
      {"--expect", "FILE",
       ORVIX_TEXT(
           "devsim",
           "at the end, compare the memory with FILE (binary, Intel HEX or S-record, chosen as the "
           "flasher chooses) over the file's range; a difference exits with 1"),
       [](Settings& s, const std::string& v) { s.expect = v; }},
      {"--frame-timeout", "MS",
       ORVIX_TEXT("devsim",
                  "drop a partial frame from the host after MS milliseconds (default 500)"),
       [](Settings& s, const std::string& v) {
         s.sim.frame_timeout_ms = ParseNumber(v, "--frame-timeout", 1, 3600000);
       }},
      {"--drop", "SEL", ORVIX_TEXT("devsim", "send no reply to the selected frames"),
       [](Settings& s, const std::string& v) { s.sim.drop.push_back(ParseFrameSelector(v)); }},
      {"--corrupt", "SEL",
       ORVIX_TEXT("devsim", "reply to the selected frames with a wrong checksum byte"),
       [](Settings& s, const std::string& v) {
         s.sim.corrupt_checksum.push_back(ParseFrameSelector(v));
       }},
      {"--other-device", "SEL[=N]",
       ORVIX_TEXT(
           "devsim",
           "reply to the selected frames with device number N (default: the host's number + 1)"),
       [](Settings& s, const std::string& v) {
         s.sim.other_device.push_back(Rule(v, "--other-device", -1, 0, 255));
       }},
      {"--reply-command", "SEL=CMD",
       ORVIX_TEXT("devsim",
                  "reply to the selected frames with command CMD (e.g. 1 or 3 to a block frame)"),
       [](Settings& s, const std::string& v) {
         s.sim.reply_command.push_back(Rule(v, "--reply-command", 0, 0, 255, true));
       }},
      {"--garbage", "SEL[=COUNT]",
       ORVIX_TEXT("devsim",
                  "instead of replying to the selected frames, send COUNT noise bytes (default 1) "
                  "with stray "
                  "0xD1 bytes, the last one 0xD1, so the host starts a frame that never completes"),
       [](Settings& s, const std::string& v) {
         s.sim.garbage.push_back(Rule(v, "--garbage", 1, 1, 4096));
       }},
      {"--delay", "[SEL=]MS",
       ORVIX_TEXT("devsim", "send the replies to the selected frames (default: all) MS ms late"),
       [](Settings& s, const std::string& v) {
         if (v.find('=') == std::string::npos) {
           s.sim.delay.push_back(
               {ParseFrameSelector("any"), ParseNumber(v, "--delay", 0, 3600000)});
         } else {
           s.sim.delay.push_back(Rule(v, "--delay", 0, 0, 3600000));
         }
       }},
      {"--twice", "SEL[=MS]",
       ORVIX_TEXT(
           "devsim",
           "send the reply to the selected frames twice, the second MS ms (default 2) after the "
           "first "
           "and in a write of its own (--twice ping: a device whose second answer crosses the "
           "hand-over)"),
       [](Settings& s, const std::string& v) {
         s.sim.twice.push_back(Rule(v, "--twice", 2, 0, 3600000));
       }},
      {"--busy-after-block", "MS",
       ORVIX_TEXT(
           "devsim",
           "after each block frame the device is busy for MS ms, as a microcontroller writing its "
           "flash: bytes that arrive meanwhile are lost, and the block's reply goes out at its "
           "end"),
       [](Settings& s, const std::string& v) {
         s.sim.busy_after_block_ms = ParseNumber(v, "--busy-after-block", 0, 3600000);
       }},
      {"--split", "BYTES[/MS]",
       ORVIX_TEXT(
           "devsim",
           "write every reply in pieces of BYTES bytes with MS ms between them (default 10)"),
       [](Settings& s, const std::string& v) {
         const size_t slash = v.find('/');
         s.sim.split_bytes = ParseNumber(v.substr(0, slash), "--split", 1, 257);
         s.sim.split_gap_ms = slash == std::string::npos
                                  ? 10
                                  : ParseNumber(v.substr(slash + 1), "--split", 0, 3600000);
       }},
      {"--echo", nullptr,
       ORVIX_TEXT(
           "devsim",
           "send every received byte straight back, as a looped-back line does; with --silent the "
           "line is a plain loop with no device"),
       [](Settings& s, const std::string&) { s.sim.echo = true; }},
      {"--silent", nullptr,
       ORVIX_TEXT("devsim",
                  "the device hears and stores but never writes; frames are still counted"),
       [](Settings& s, const std::string&) { s.sim.silent = true; }},
      {"--hang-up-after", "N",
       ORVIX_TEXT(
           "devsim",
           "close the line when the block frame after the Nth arrives (0: at the first block)"),
       [](Settings& s, const std::string& v) {
         s.sim.hang_up_after_blocks = ParseNumber(v, "--hang-up-after", 0, 1 << 20);
       }},
      {"--answer-after", "MS",
       ORVIX_TEXT(
           "devsim",
           "hear nothing until MS ms after the start (no reply, nothing stored), as a board put "
           "into the fixture later"),
       [](Settings& s, const std::string& v) {
         s.sim.answer_after_ms = ParseNumber(v, "--answer-after", 0, 3600000);
       }},
      {"--baud", "RATE",
       ORVIX_TEXT(
           "devsim",
           "pace the line at RATE baud, 10 bits a byte, both ways: a reply starts only once the "
           "frame's bytes would have crossed the line, and goes out at that rate"),
       [](Settings& s, const std::string& v) {
         s.sim.baud = ParseNumber(v, "--baud", 50, 4000000);
       }},
      {"--realtime", nullptr,
       ORVIX_TEXT(
           "devsim",
           "serve the line at the lowest real-time priority where allowed, so that a paced line "
           "keeps its time on a busy machine (for benchmarks)"),
       [](Settings& s, const std::string&) { s.sim.realtime = true; }},
      {"--help", nullptr, ORVIX_TEXT("devsim", "show this text"),
       [](Settings& s, const std::string&) { s.help = true; }},
  };
  return kFlags;
}

// Prints text from column `indent` on, broken between words before column `width`.
void PrintWrapped(const std::string& text, int indent, int width) {
  int column = indent - 1;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find(' ', at), text.size());
    const int bytes = static_cast<int>(end - at);
    // Columns, not bytes: a Cyrillic letter is two bytes of UTF-8.
    const int word = static_cast<int>(std::count_if(text.begin() + static_cast<long>(at),
                                                    text.begin() + static_cast<long>(end),
                                                    [](char c) { return (c & 0xC0) != 0x80; }));
    if (column + 1 + word > width && column > indent - 1) {
      std::printf("\n%*s", indent - 1, "");
      column = indent - 1;
    }
    std::printf(" %.*s", bytes, text.c_str() + at);
    column += 1 + word;
    at = end + 1;
  }
  std::printf("\n");
}

void PrintHelp() {
  std::fputs(
      Tr("devsim",
         "Usage: orvix-devsim [options]\n"
         "Plays the programmer's device on a new pseudo-terminal. The first line printed is the\n"
         "port map entry to use, e.g. COM9=/dev/pts/4 (for ORVIX_PORTS). The device answers "
         "pings,\n"
         "stores written blocks in a 64 KiB memory, answers the checksum frame and checks it. At\n"
         "the end it prints the memory range written and whether the checksum matched.\n")
          .c_str(),
      stdout);
  std::fputs("\n", stdout);
  for (const Flag& flag : Flags()) {
    std::string head =
        std::string(flag.name) + (flag.argument ? std::string(" ") + flag.argument : "");
    std::printf("  %-24s", head.c_str());
    PrintWrapped(Tr("devsim", flag.help), 27, 92);
  }
  std::fputs("\n", stdout);
  std::fputs(
      Tr("devsim",
         "SEL picks received frames: KIND:N (the Nth frame of that kind), KIND:N+ (the Nth and\n"
         "every later one) or KIND (all of them). KIND is ping, block, checksum, any, or a "
         "command\n"
         "number. Fault options may be repeated; the first rule that matches a frame applies.\n"
         "Examples: --drop block:3  --drop checksum  --corrupt block:2+  --reply-command block=3\n"
         "\n"
         "Exit status: 0 a run completed and its checksum matched; 1 it did not match, or the "
         "memory\n"
         "differs from --expect; 2 no run completed (time-out, signal, hang-up, line failure);\n"
         "3 --save failed; 64 bad usage or an --expect file that cannot be loaded.\n"
         "With --serve the status is that of the last completed run.\n")
          .c_str(),
      stdout);
}

// Every flag of the table, read by CLI11; each value goes through its flag's apply() in the
// order of the command line, so a later rule or --once/--serve wins over an earlier one.
Settings Parse(int argc, char** argv) {
  CLI::App line{"", "orvix-devsim"};
  line.set_help_flag();  // --help is a flag of the table
  line.allow_extras();
  std::vector<std::pair<CLI::Option*, const Flag*>> registered;
  for (const Flag& flag : Flags()) {
    CLI::Option* option = flag.argument ? line.add_option(flag.name) : line.add_flag(flag.name);
    if (flag.argument) option->expected(1)->allow_extra_args(false);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    registered.emplace_back(option, &flag);
  }
  try {
    line.parse(argc, argv);
  } catch (const CLI::ArgumentMismatch&) {
    const std::string last = argv[argc - 1];  // only the last word can lack its value
    for (const Flag& flag : Flags())
      if (last == flag.name)
        throw EBadOption(
            {"devsim", ORVIX_TEXT("devsim", "%1 needs %2"), {last, flag.argument}, {}});
    throw EBadOption({"devsim", ORVIX_TEXT("devsim", "'%1' needs a value"), {last}, {}});
  } catch (const CLI::ParseError& e) {
    throw EBadOption({"", "", {}, e.what()});
  }
  if (!line.remaining().empty())
    throw EBadOption(
        {"devsim", ORVIX_TEXT("devsim", "unknown option '%1'"), {line.remaining().front()}, {}});
  Settings settings;
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* option : line.parse_order()) {
    for (const auto& [registered_option, flag] : registered) {
      if (registered_option != option) continue;
      const std::string value = flag->argument ? option->results().at(used[option]) : "";
      ++used[option];
      flag->apply(settings, value);
    }
  }
  return settings;
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%.4X", value);
  return text;
}

std::string HexByte(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
  return text;
}

void PrintLine(const std::string& text) {
  std::printf("%s\n", text.c_str());
}

void PrintError(const std::string& text) {
  std::fprintf(stderr, "orvix-devsim: %s\n", text.c_str());
}

std::string Describe(const std::optional<WrittenRange>& written, int block_frames,
                     const std::optional<ChecksumReport>& checksum) {
  std::string text = written ? FormatText(Tr("devsim", "wrote %1-%2 in %3 block frames"),
                                          {Hex4(written->lowest), Hex4(written->highest),
                                           std::to_string(block_frames)})
                             : Tr("devsim", "nothing written");
  if (!checksum) return text + Tr("devsim", "; no checksum received");
  if (checksum->matched) {
    return text + FormatText(Tr("devsim", "; checksum %1 matched (%2-%3)"),
                             {Hex4(checksum->received), Hex4(written->lowest),
                              Hex4(checksum->covered_end)});
  }
  return text + FormatText(Tr("devsim", "; checksum %1 did not match (memory sums to %2)"),
                           {Hex4(checksum->received), Hex4(checksum->memory_sum)});
}

int Save(const DeviceSimulator& sim, const std::string& path) {
  std::vector<RunResult> runs = sim.Runs();
  std::optional<WrittenRange> range = runs.empty() ? sim.Written() : runs.back().written;
  if (!runs.empty() && runs.back().checksum.matched) {
    range->highest = runs.back().checksum.covered_end;
  }
  if (!range) {
    PrintError(FormatText(Tr("devsim", "nothing was written, %1 not saved"), {path}));
    return kSaveFailed;
  }
  const std::vector<uint8_t> memory = sim.Memory();
  const size_t size = range->highest - range->lowest + 1u;
  int error = 0;
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    if (std::fwrite(memory.data() + range->lowest, 1, size, file) != size) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
  } else {
    error = errno;
  }
  if (error != 0) {
    PrintError(FormatText(Tr("devsim", "cannot write %1: %2"), {path, std::strerror(error)}));
    return kSaveFailed;
  }
  PrintLine(FormatText(Tr("devsim", "saved %1-%2 to %3"),
                       {Hex4(range->lowest), Hex4(range->highest), path}));
  return kMatched;
}

// Compares the memory with the image over the image's range and prints the verdict.
bool MemoryEquals(const DeviceSimulator& sim, const TImage& image, const std::string& path) {
  const std::vector<uint8_t> memory = sim.Memory();
  int differences = 0;
  int first = -1;
  for (int address = image.Start; address <= image.Stop; ++address) {
    if (memory[address] == image.Data[address]) continue;
    if (first < 0) first = address;
    ++differences;
  }
  const std::string range = Hex4(image.Start) + "-" + Hex4(image.Stop);
  if (first < 0) {
    PrintLine(FormatText(Tr("devsim", "memory equals %1 over %2"), {path, range}));
    return true;
  }
  PrintLine(FormatText(
      Tr("devsim",
         "memory differs from %1 over %2: %3 bytes, the first at %4 (%5, the file has %6)"),
      {path, range, std::to_string(differences), Hex4(first), HexByte(memory[first]),
       HexByte(image.Data[first])}));
  return false;
}

DeviceSimulator* g_sim = nullptr;

void OnSignal(int) {
  g_sim->Interrupt();
}

void HandleSignals(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Prints each completed run; returns the runs seen and whether the time ran out.
std::pair<std::vector<RunResult>, bool> Serve(const DeviceSimulator& sim,
                                              const Settings& settings) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = settings.timeout_s > 0
                            ? Clock::now() + std::chrono::seconds(settings.timeout_s)
                            : Clock::time_point::max();
  std::vector<RunResult> runs;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::min(deadline - Clock::now(), Clock::duration(std::chrono::hours(1))));
    if (left.count() <= 0) return {runs, true};
    sim.WaitUntil(
        [&] { return sim.RunsCompleted() > static_cast<int>(runs.size()) || sim.Ended(); }, left);
    const std::vector<RunResult> now = sim.Runs();
    for (size_t i = runs.size(); i < now.size(); ++i) {
      PrintLine(FormatText(
          Tr("devsim", "run %1: %2"),
          {std::to_string(i + 1), Describe(now[i].written, now[i].block_frames, now[i].checksum)}));
      std::fflush(stdout);
    }
    runs = now;
    if (!runs.empty() && !settings.serve) return {runs, false};
    if (sim.Ended()) return {runs, false};
  }
}

int Run(const Settings& settings) {
  // Loaded before the line opens: a file that cannot be compared makes the run pointless.
  std::optional<TImage> expected;
  if (!settings.expect.empty()) {
    try {
      expected = ReadImage(settings.expect);
    } catch (const EImageFile& error) {
      PrintError("--expect: " + ErrorText(error));
      return kUsage;
    }
    if (expected->Data.empty()) {
      PrintError("--expect: " + FormatText(Tr("devsim", "%1 is empty"), {settings.expect}));
      return kUsage;
    }
  }
  std::unique_ptr<DeviceSimulator> sim;
  try {
    sim = settings.line.empty() ? std::make_unique<DeviceSimulator>(settings.sim)
                                : std::make_unique<DeviceSimulator>(settings.line, settings.sim);
  } catch (const std::exception& error) {
    PrintError(ErrorText(error));
    return kNoRun;
  }
  g_sim = sim.get();
  HandleSignals(OnSignal);
  if (settings.line.empty()) {
    std::printf("%s=%s\n", settings.name.c_str(), sim->PortPath().c_str());
  } else {
    std::printf("serving %s\n", sim->PortPath().c_str());  // read by scripts: never translated
  }
  std::fflush(stdout);

  const auto [runs, timed_out] = Serve(*sim, settings);
  // The host may still be reading the last reply; closing the line now would lose it.
  if (!runs.empty()) sim->WaitDrained(std::chrono::seconds(1));
  sim->Stop();
  HandleSignals(SIG_DFL);

  int status = kNoRun;
  if (!runs.empty()) {
    status = runs.back().checksum.matched ? kMatched : kMismatch;
  } else {
    if (timed_out)
      PrintLine(FormatText(Tr("devsim", "no run completed within %1 s"),
                           {std::to_string(settings.timeout_s)}));
    if (sim->HungUp()) {
      PrintLine(FormatText(Tr("devsim", "hung up as asked, after %1 block frames"),
                           {std::to_string(sim->FrameCount(cmdWriteBlock))}));
    }
    if (const std::string error = sim->LineError(); !error.empty()) PrintError(error);
    const std::map<uint16_t, int> blocks = sim->BlockCounts();
    int block_frames = 0;
    for (const auto& [address, count] : blocks) block_frames += count;
    PrintLine(FormatText(Tr("devsim", "no complete run: %1"),
                         {Describe(sim->Written(), block_frames, sim->LastChecksum())}));
  }
  if (const int lost = sim->LostBytes(); lost > 0)
    PrintLine(FormatText(Tr("devsim", "lost %1 bytes that arrived while busy after a block"),
                         {std::to_string(lost)}));
  if (expected && !runs.empty() && !MemoryEquals(*sim, *expected, settings.expect))
    status = kMismatch;
  if (!settings.save.empty() && Save(*sim, settings.save) != kMatched) status = kSaveFailed;
  std::fflush(stdout);
  return status;
}

}  // namespace
}  // namespace orvix::devsim

int main(int argc, char** argv) {
  using namespace orvix::devsim;
  orvix::InstallCatalogues(orvix::DevsimCatalogues());
  Settings settings;
  try {
    settings = Parse(argc, argv);
  } catch (const EBadOption& error) {
    std::fprintf(
        stderr, "orvix-devsim: %s\n",
        orvix::FormatText(orvix::Tr("devsim", "%1 (see --help)"), {orvix::Tr(error.Text())})
            .c_str());
    return kUsage;
  }
  if (settings.help) {
    PrintHelp();
    return 0;
  }
  return Run(settings);
}
