// The flasher's port options as a user runs them: the listing formats, --port-filter (which
// ports are opened and pinged), --check, and the permission hint of a normal run.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <sstream>

#include "tests/support/child_process.h"
#include "tests/support/far_end.h"
#include "tests/support/simulated_ports.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;
using testing::ChildProcess;
using testing::FarEnd;
using testing::ProcessResult;
using testing::SimulatedPorts;

const std::set<std::string> kPortKeys{"name", "path",   "by_id",        "driver",  "vid",
                                      "pid",  "serial", "manufacturer", "product", "location"};
const std::set<std::string> kFindingKeys{"kind", "port", "path", "problem", "remedy"};

ProcessResult Flash(std::vector<std::string> args, std::vector<std::string> env = {},
                    std::chrono::milliseconds limit = 60s) {
  args.insert(args.begin(), testing::BuiltProgram("cli/orvix-flash"));
  // The texts read here are the English ones; a test's own env comes after and may differ.
  env.insert(env.begin(), "ORVIX_LANG=en");
  ChildProcess p(std::move(args), std::move(env));
  return p.Wait(limit);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every line a JSON object with exactly these keys.
std::vector<json> JsonLines(const std::string& text, const std::set<std::string>& keys) {
  std::vector<json> objects;
  for (const auto& line : Lines(text)) {
    json j;
    EXPECT_NO_THROW(j = json::parse(line)) << line;
    EXPECT_TRUE(j.is_object()) << line;
    std::set<std::string> seen;
    for (const auto& item : j.items()) seen.insert(item.key());
    EXPECT_EQ(seen, keys) << line;
    objects.push_back(j);
  }
  return objects;
}

class TempImage {
 public:
  TempImage()
      : path_(fs::temp_directory_path() / ("orvix-ports-" + std::to_string(getpid()) + ".bin")) {
    std::ofstream out(path_, std::ios::binary);
    for (int i = 0; i < 300; ++i) out.put(static_cast<char>(i * 7));
  }
  ~TempImage() { fs::remove(path_); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

// ---- listing

TEST(PortOptions, ThePlainListKeepsItsFormatAndHonoursFilters) {
  const std::string map = "ORVIX_PORTS=COM12=/dev/pts/98;COM3=/dev/pts/97;COM100=/dev/pts/99";
  auto r = Flash({"--list-ports"}, {map});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "COM3\t/dev/pts/97\nCOM12\t/dev/pts/98\nCOM100\t/dev/pts/99\n");
  r = Flash({"--list-ports", "--port-filter", "name=COM1*"}, {map});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "COM12\t/dev/pts/98\nCOM100\t/dev/pts/99\n");
}

TEST(PortOptions, JsonLinesParseWithEveryKey) {
  FarEnd far;
  const auto r = Flash({"--list-ports", "--json"},
                       {"ORVIX_PORTS=COM7=" + far.SlavePath() + ";COM2=/dev/pts/97"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const auto ports = JsonLines(r.out, kPortKeys);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0]["name"], "COM2");
  EXPECT_EQ(ports[1]["path"], far.SlavePath());
  // A pseudo-terminal is nobody's adapter.
  for (const char* key : {"by_id", "driver", "vid", "pid", "serial"})
    EXPECT_TRUE(ports[1][key].is_null()) << key;
}

TEST(PortOptions, AFilterThatMatchesNothingNamesItselfAndThePortsSeen) {
  const auto r = Flash({"--list-ports", "--port-filter", "vid=0403", "--port-filter", "name=COM*"},
                       {"ORVIX_PORTS=COM3=/dev/pts/97;COM4=/dev/pts/96"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no port matches --port-filter vid=0403 name=COM*; ports seen:\n"
                       "  COM3  /dev/pts/97\n  COM4  /dev/pts/96"),
            std::string::npos)
      << r.err;
}

TEST(PortOptions, BadFiltersAndMisplacedFormatsAreUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--list-ports", "--port-filter", "colour=red"},
           {"--list-ports", "--port-filter", "vid=xyz"},
           {"--list-ports", "--long", "--json"},
           {"--long", "image.bin"},
           {"--json", "--long", "image.bin"},
           {"--check", "--list-ports"},
           {"--port", "COM1", "--port-filter", "name=COM1", "image.bin"},
           {"--port-filter", "name=COM1"},
       }) {
    const auto r = Flash(args);
    EXPECT_EQ(r.exit_code, 64) << args[0] << " " << args[1] << " " << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// ---- under umockdev: the adapters of tests/serial/devices as the real /sys and /dev

class PortOptionsUmockdev : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/umockdev-run", X_OK) != 0) GTEST_SKIP() << "umockdev-run missing";
  }
  static ProcessResult Run(std::vector<std::string> args) {
    std::vector<std::string> argv{"/usr/bin/umockdev-run"};
    for (const char* d : {"ft232r", "ch340", "cp2102", "cdc_acm", "ft2232h", "legacy_uarts"}) {
      argv.push_back("-d");
      argv.push_back(std::string(ORVIX_SOURCE_DIR) + "/tests/serial/devices/" + d + ".umockdev");
    }
    argv.push_back("--");
    argv.push_back(testing::BuiltProgram("cli/orvix-flash"));
    argv.insert(argv.end(), args.begin(), args.end());
    // A bare name removes the variable (glibc putenv): the sysfs map, not the test's.
    ChildProcess p(argv, {"ORVIX_PORTS", "ASAN_OPTIONS=verify_asan_link_order=0", "ORVIX_LANG=en"});
    return p.Wait(60s);
  }
};

TEST_F(PortOptionsUmockdev, ListingsShowTheAdapters) {
  auto r = Run({"--list-ports", "--json"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto ports = JsonLines(r.out, kPortKeys);
  ASSERT_EQ(ports.size(), 7u);
  EXPECT_EQ(ports[1], json::parse(R"({"name":"COM100","path":"/dev/ttyUSB0","by_id":null,
      "driver":"ftdi_sio","vid":"0403","pid":"6001","serial":"A50285BI","manufacturer":"FTDI",
      "product":"FT232R USB UART","location":"1-2:1.0"})"));
  EXPECT_TRUE(ports[2]["serial"].is_null());  // the CH340

  r = Run({"--list-ports", "--long", "--port-filter", "vid=0403", "--port-filter", "pid=6010"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const auto rows = Lines(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(rows[0].rfind("NAME    PATH          VID:PID    SERIAL    DESCRIPTION", 0), 0u) << rows[0];
  EXPECT_EQ(rows[1].rfind("COM103  /dev/ttyUSB3  0403:6010  FT4ZQ3W7  Dual RS232-HS, FTDI", 0), 0u)
      << rows[1];
  EXPECT_EQ(rows[2].rfind("COM104  /dev/ttyUSB4", 0), 0u) << rows[2];

  r = Run({"--list-ports", "--port-filter", "serial=nope"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("  COM100  /dev/ttyUSB0  0403:6001  serial A50285BI  driver ftdi_sio"),
            std::string::npos)
      << r.err;
}

TEST_F(PortOptionsUmockdev, ARunOpensOnlyTheFilteredPort) {
  // umockdev's device nodes refuse every ioctl, so the CH340's port cannot be set up: the run
  // names it, and no other port, as the one it tried.
  TempImage image;
  const auto r = Run({"--port-filter", "driver=ch341", "--wait", "20", image.Path()});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_NE(r.err.find("COM101 (/dev/ttyUSB1): cannot open: "), std::string::npos) << r.err;
  for (const char* other : {"COM1 ", "COM100", "COM102", "COM103", "COM104", "COM200"})
    EXPECT_EQ(r.err.find(other), std::string::npos) << other << " in\n" << r.err;
}

// ---- filters over ports that work: which ones hear the pings

TEST(PortOptions, OnlyMatchingPortsArePinged) {
  SimulatedPorts ports;
  devsim::SimOptions other;
  other.device = 9;
  devsim::SimOptions board;
  board.device = 5;
  auto& first = ports.Add("COM1", other);
  auto& target = ports.Add("COM2", board);
  auto& third = ports.Add("COM3", other);
  TempImage image;

  auto r = Flash({"--device", "5", "--port-filter", "name=COM2", "--wait", "30", image.Path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_GT(target.Pings(), 0);
  for (auto* sim : {&first, &third})
    EXPECT_EQ(sim->Pings() + sim->IgnoredFrames() + sim->BadFrames(), 0);

  const int before = target.Pings();
  r = Flash({"--device", "5", "--port-filter", "name=COM[13]", "--wait", "2", image.Path()});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(target.Pings(), before);
  EXPECT_GT(first.IgnoredFrames(), 0);
  EXPECT_GT(third.IgnoredFrames(), 0);
}

// ---- the setup check

// A pseudo-terminal whose slave nobody has open: a FarEnd keeps its slave open, and the check
// rightly names whoever holds a port.
class FreePty {
 public:
  FreePty() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    path_ = ptsname(master_);
  }
  ~FreePty() { close(master_); }
  FreePty(const FreePty&) = delete;
  FreePty& operator=(const FreePty&) = delete;
  const std::string& SlavePath() const { return path_; }

 private:
  int master_;
  std::string path_;
};

// The findings of --check --json, less its last line: the summary, checked against them.
std::vector<json> CheckedFindings(const ProcessResult& r, size_t ports) {
  std::vector<std::string> lines = Lines(r.out);
  if (lines.empty()) {
    ADD_FAILURE() << "no summary line; stderr: " << r.err;
    return {};
  }
  const json summary = json::parse(lines.back());
  lines.pop_back();
  std::string findings;
  for (const auto& line : lines) findings += line + "\n";
  auto found = JsonLines(findings, kFindingKeys);
  EXPECT_EQ(summary, (json{{"kind", "summary"}, {"findings", found.size()}, {"ports", ports},
                           {"exit_status", r.exit_code}}));
  return found;
}

TEST(PortOptions, TheCheckSaysWhatToFixAndExitsOneOnlyWhenSomethingIs) {
  // Other tests run fake ModemManagers meanwhile: the machine may have findings of its own, but
  // a working port has none, and the exit status follows what was found.
  FreePty far;
  auto r = Flash({"--check", "--json"}, {"ORVIX_PORTS=COM7=" + far.SlavePath()});
  auto findings = CheckedFindings(r, 1);
  for (const auto& f : findings) EXPECT_TRUE(f["port"].is_null()) << f.dump();
  EXPECT_EQ(r.exit_code, findings.empty() ? 0 : 1) << r.out << r.err;
  r = Flash({"--check"}, {"ORVIX_PORTS=COM7=" + far.SlavePath()});
  if (r.exit_code == 0) {
    EXPECT_EQ(r.out, "nothing to fix: 1 port checked\n");
  }

  const std::string map = "ORVIX_PORTS=COM7=" + far.SlavePath() + ";COM9=/dev/orvix-none";
  r = Flash({"--check"}, {map});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("COM9 (/dev/orvix-none): the device node does not exist; "),
            std::string::npos)
      << r.out;
  r = Flash({"--check", "--json"}, {map});
  EXPECT_EQ(r.exit_code, 1);
  findings = CheckedFindings(r, 2);
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings.back()["kind"], "missing");
  EXPECT_EQ(findings.back()["port"], "COM9");
  EXPECT_EQ(findings.back()["path"], "/dev/orvix-none");

  // After the filters: the missing port is left out, and a filter that matches nothing is exit 3,
  // summed up all the same.
  r = Flash({"--check", "--json", "--port-filter", "name=COM7"}, {map});
  for (const auto& f : CheckedFindings(r, 1)) EXPECT_NE(f["port"], "COM9") << f.dump();
  r = Flash({"--check", "--json", "--port-filter", "name=COM8"}, {map});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_TRUE(CheckedFindings(r, 0).empty());
  EXPECT_NE(r.err.find("no port matches --port-filter name=COM8"), std::string::npos) << r.err;

  // A map set empty hides the machine's ports: the check says so.
  r = Flash({"--check"}, {"ORVIX_PORTS="});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("no serial port found: ORVIX_PORTS is set to \"\", which names no COM port"),
            std::string::npos)
      << r.out;
}

// ---- a run without permission

TEST(PortOptions, ARunWithoutPermissionSaysWhichGroupToJoinOnce) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the ptys to a group and switch users";
  const group* dialout = getgrnam("dialout");
  if (!dialout || access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no dialout or setpriv";
  FarEnd first, second;
  for (const FarEnd* far : {&first, &second}) {
    ASSERT_EQ(chown(far->SlavePath().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(chmod(far->SlavePath().c_str(), 0660), 0);
  }
  TempImage image;
  ASSERT_EQ(chmod(image.Path().c_str(), 0644), 0);
  ChildProcess p(
      {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--",
       testing::BuiltProgram("cli/orvix-flash"), "--wait", "30", image.Path()},
      {"ORVIX_PORTS=COM7=" + first.SlavePath() + ";COM8=" + second.SlavePath(), "ORVIX_LANG=en"});
  const auto r = p.Wait(60s);
  EXPECT_EQ(r.exit_code, 3) << r.err;
  // Both ports named with their cause; the way out once, on the first line.
  const std::string hint =
      "; add yourself to group dialout: sudo usermod -aG dialout $USER, then log in again";
  EXPECT_NE(r.err.find(": cannot open: Permission denied" + hint), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(hint, r.err.find(hint) + 1), std::string::npos) << r.err;
  for (const auto& [name, far] : {std::pair{"COM7", &first}, std::pair{"COM8", &second}})
    EXPECT_NE(r.err.find(std::string(name) + " (" + far->SlavePath() +
                         "): cannot open: Permission denied"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace orvix
