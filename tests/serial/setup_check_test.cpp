// The setup check against real pseudo-terminals, real processes and mocked device trees.
#include "serial/setup_check.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "serial/linux/port_identity_linux.h"
#include "tests/support/far_end.h"
#include "tests/support/child_process.h"
#include "tests/support/mock_tree.h"

namespace orvix {
namespace {

using namespace std::chrono_literals;

TPortIdentity PortAt(const std::string& name, const std::string& path) {
  TPortIdentity p;
  p.Name = name;
  p.Path = path;
  return p;
}

std::vector<TFinding> Of(const std::vector<TFinding>& findings, const std::string& kind) {
  std::vector<TFinding> out;
  for (const auto& f : findings)
    if (f.Kind == kind) out.push_back(f);
  return out;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A process of the test's own that sleeps under a name of its choosing, after doing what
// `setup` does with the path (open, lock). Killed at the end of the scope.
class Sleeper {
 public:
  enum Hold { kNothing, kOpen, kLock };
  explicit Sleeper(const char* name, Hold hold = kNothing, const std::string& path = {}) {
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      prctl(PR_SET_NAME, name);
      if (hold != kNothing) {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || (hold == kLock && flock(fd, LOCK_EX | LOCK_NB) != 0)) _exit(1);
      }
      if (write(ready[1], "x", 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char c;
    ok_ = read(ready[0], &c, 1) == 1;
    close(ready[0]);
  }
  ~Sleeper() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  Sleeper(const Sleeper&) = delete;
  Sleeper& operator=(const Sleeper&) = delete;
  pid_t Pid() const { return pid_; }
  bool Ready() const { return ok_; }

 private:
  pid_t pid_ = -1;
  bool ok_ = false;
};

// ---- permission, as a user without the device's group

class SetupCheckAsUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the pty to a group and switch users";
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv (util-linux) missing";
    const group* g = getgrnam("dialout");
    if (!g) GTEST_SKIP() << "no dialout group";
    gid_ = g->gr_gid;
    ASSERT_EQ(chown(far_.SlavePath().c_str(), 0, gid_), 0);
    ASSERT_EQ(chmod(far_.SlavePath().c_str(), 0660), 0);
  }

  // The probe's output, run as nobody with the given supplementary groups.
  std::string RunAsNobody(const std::string& groups, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534"};
    argv.push_back(groups.empty() ? "--clear-groups" : "--groups=" + groups);
    argv.push_back("--");
    argv.push_back(testing::BuiltProgram("tests/serial/setup_check_probe"));
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("COM5=" + far_.SlavePath());
    testing::ChildProcess probe(argv);
    const auto result = probe.Wait(60s);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    // Only the port's lines: what the machine runs (a ModemManager of another test) is not ours.
    std::string port_lines;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
      if (Has(line, "\tCOM5 (")) port_lines += line + "\n";
    return port_lines;
  }

  testing::FarEnd far_;
  gid_t gid_ = 0;
};

TEST_F(SetupCheckAsUser, NamesTheGroupAndTheCommandToJoinIt) {
  const std::string out = RunAsNobody("");
  EXPECT_EQ(out, "permission\tCOM5 (" + far_.SlavePath() +
                     "): no permission to open it (group dialout, mode 0660); add yourself to "
                     "group dialout: sudo usermod -aG dialout $USER, then log in again\n");
}

TEST_F(SetupCheckAsUser, AMemberNotYetLoggedInAgainIsToldSo) {
  const std::string out = RunAsNobody("", {"--listed-group", std::to_string(gid_)});
  EXPECT_TRUE(Has(out, "relogin\tCOM5")) << out;
  EXPECT_TRUE(Has(out, "you are in group dialout but this login session is not yet: log in "
                       "again")) << out;
  EXPECT_FALSE(Has(out, "usermod")) << out;
}

TEST_F(SetupCheckAsUser, AMemberOfTheGroupHasNothingToFix) {
  EXPECT_EQ(RunAsNobody(std::to_string(gid_)), "");
}

TEST_F(SetupCheckAsUser, NoAdviceToJoinTheRootGroup) {
  ASSERT_EQ(chown(far_.SlavePath().c_str(), 0, 0), 0);
  const std::string out = RunAsNobody("");
  EXPECT_TRUE(Has(out, "permission\tCOM5")) << out;
  EXPECT_TRUE(Has(out, "ask the administrator")) << out;
  EXPECT_FALSE(Has(out, "usermod")) << out;
}

// ---- ports held by others

TEST(SetupCheck, APortLockedByAnotherProcessNamesItsPidAndCommand) {
  testing::FarEnd far;
  Sleeper holder("port-holder", Sleeper::kLock, far.SlavePath());
  ASSERT_TRUE(holder.Ready());
  const auto busy = Of(CheckSetup({PortAt("COM7", far.SlavePath())}), "busy");
  ASSERT_EQ(busy.size(), 1u);
  EXPECT_EQ(busy[0].Port, "COM7");
  EXPECT_EQ(EnglishText(busy[0].Problem),
            "in use by PID " + std::to_string(holder.Pid()) + " (port-holder)");
}

TEST(SetupCheck, APortMerelyOpenElsewhereIsInUseToo) {
  testing::FarEnd far;
  Sleeper holder("minicom", Sleeper::kOpen, far.SlavePath());
  ASSERT_TRUE(holder.Ready());
  const auto busy = Of(CheckSetup({PortAt("COM7", far.SlavePath())}), "busy");
  ASSERT_EQ(busy.size(), 1u);
  EXPECT_TRUE(
      Has(EnglishText(busy[0].Problem), "PID " + std::to_string(holder.Pid()) + " (minicom)"));
}

TEST(SetupCheck, AFreePortAndOurOwnDescriptorsAreNoFinding) {
  // The far end keeps the slave open in this very process: not "another" process.
  testing::FarEnd far;
  for (const auto& f : CheckSetup({PortAt("COM7", far.SlavePath())}))
    EXPECT_EQ(f.Port, "") << FindingLine(f);
}

// ---- the machine

TEST(SetupCheck, ModemManagerRunningGivesTheRuleForEachAdapterSeen) {
  testing::MockTree tree;
  tree.Load("ft232r.umockdev");
  tree.Load("ft2232h.umockdev");
  auto ports = IdentifyPorts(ScanSysfsPorts(tree.Roots().Sys), tree.Roots());
  testing::FarEnd far;
  for (auto& p : ports) p.Path = far.SlavePath();  // present and free: only the machine counts

  // Other tests may run a fake ModemManager at the same time: look for this one's PID, and
  // that a process merely named alike is not taken for it.
  Sleeper mm("ModemManager");
  Sleeper alike("ModemManager2");
  ASSERT_TRUE(mm.Ready() && alike.Ready());
  const auto found = Of(CheckSetup(ports), "modemmanager");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Port, "");
  const auto listed = [&](pid_t pid) {
    const std::string p = std::to_string(pid);
    return Has(EnglishText(found[0].Problem), " " + p + ",") ||
           Has(EnglishText(found[0].Problem), " " + p + ")");
  };
  EXPECT_TRUE(listed(mm.Pid())) << EnglishText(found[0].Problem);
  EXPECT_FALSE(listed(alike.Pid())) << EnglishText(found[0].Problem);
  const std::string rule =
      "ACTION==\"add|change\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
      "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
  EXPECT_TRUE(Has(EnglishText(found[0].Remedy), rule)) << EnglishText(found[0].Remedy);
  // The dual adapter's two ports give its rule once.
  const auto dual = EnglishText(found[0].Remedy).find("ATTRS{idProduct}==\"6010\"");
  EXPECT_NE(dual, std::string::npos);
  EXPECT_EQ(EnglishText(found[0].Remedy).find("ATTRS{idProduct}==\"6010\"", dual + 1),
            std::string::npos);
  EXPECT_TRUE(Has(EnglishText(found[0].Remedy), "systemctl stop ModemManager"));
}

TEST(SetupCheck, BrlttyIsReportedOnlyInstalledWithRulesThatClaimBridges) {
  testing::MockTree tree;
  TCheckEnvironment env;
  env.Root = tree.Root();
  const std::string rules = "usr/lib/udev/rules.d/85-brltty.rules";
  tree.Write(rules,
             "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\", "
             "GOTO=\"brltty_usb_run\"\n"
             "ENV{PRODUCT}==\"10c4/ea60/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"sk\", "
             "GOTO=\"brltty_usb_run\"\n");
  EXPECT_TRUE(Of(CheckSetup({}, env), "brltty").empty()) << "rules left behind, no program";

  tree.Write("usr/bin/brltty", "");
  auto found = Of(CheckSetup({}, env), "brltty");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(Has(EnglishText(found[0].Problem), "/" + rules)) << EnglishText(found[0].Problem);
  EXPECT_TRUE(Has(EnglishText(found[0].Problem), "CH340 1a86:7523, CP210x 10c4:ea60"))
      << EnglishText(found[0].Problem);
  EXPECT_TRUE(Has(EnglishText(found[0].Remedy), "sudo apt remove brltty"));

  // Rules for braille displays only leave the adapters alone.
  tree.Write(rules, "ENV{PRODUCT}==\"1fe4/8e/*\", GOTO=\"brltty_usb_run\"\n");
  EXPECT_TRUE(Of(CheckSetup({}, env), "brltty").empty());
  tree.Write("etc/udev/rules.d/90-brltty-local.rules",
             "SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
             "RUN+=\"brltty\"\n");
  found = Of(CheckSetup({}, env), "brltty");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(Has(EnglishText(found[0].Problem), "FT232 0403:6001"))
      << EnglishText(found[0].Problem);
}

TEST(SetupCheck, NoPortAtAllAndAMissingNode) {
  auto findings = CheckSetup({});
  ASSERT_FALSE(Of(findings, "no-ports").empty());
  EXPECT_TRUE(
      Has(EnglishText(Of(findings, "no-ports")[0].Remedy), "ftdi_sio|ch341|cp210x|pl2303|cdc_acm"));

  findings = CheckSetup({PortAt("COM9", "/dev/orvix-no-such-node")});
  EXPECT_TRUE(Of(findings, "no-ports").empty());
  const auto missing = Of(findings, "missing");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(FindingLine(missing[0]),
            "COM9 (/dev/orvix-no-such-node): the device node does not exist; plug the adapter "
            "in, or correct ORVIX_PORTS if it names this port");
}

// ---- FTDI latency

TEST(SetupCheck, AnFtdiTimerAbove1msThatTheDriverWillNotLowerGivesTheUdevRule) {
  testing::MockTree tree;
  tree.Load("ft232r.umockdev");   // timer at 16
  tree.Load("ft2232h.umockdev");  // timers at 1
  tree.Load("cp2102.umockdev");   // not FTDI
  auto ports = IdentifyPorts(ScanSysfsPorts(tree.Roots().Sys), tree.Roots());
  ASSERT_EQ(ports.size(), 4u);
  ports[1].LatencyTimerMs = 16;  // another driver's attribute of that name says nothing
  // A pseudo-terminal refuses the low-latency request as a driver without it does.
  testing::FarEnd far;
  for (auto& p : ports) p.Path = far.SlavePath();

  const auto latency = Of(CheckSetup(ports), "latency");
  ASSERT_EQ(latency.size(), 1u);
  EXPECT_EQ(latency[0].Port, "COM100");
  EXPECT_TRUE(Has(EnglishText(latency[0].Problem),
                  "FTDI latency timer is 16 ms and the driver refused "
                  "low-latency mode"))
      << EnglishText(latency[0].Problem);
  EXPECT_TRUE(Has(EnglishText(latency[0].Remedy),
                  "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                  "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\""));

  // Held by another program: that is the finding, and the port is not touched.
  Sleeper holder("port-holder", Sleeper::kLock, far.SlavePath());
  ASSERT_TRUE(holder.Ready());
  const auto findings = CheckSetup({ports[0]});
  EXPECT_TRUE(Of(findings, "latency").empty());
  EXPECT_EQ(Of(findings, "busy").size(), 1u);
}

// ---- the rules shipped under packaging/udev

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rule text after "udev rule " in a remedy, up to the " in " that names the file.
std::string RuleIn(const std::string& remedy) {
  const auto start = remedy.find("udev rule ") + 10;
  return remedy.substr(start, remedy.find(" in /etc/udev") - start);
}

TEST(SetupCheck, TheShippedRulesAreTheOnesTheCheckRecommendsFromSourceOrInstalled) {
  const std::string dir = std::string(ORVIX_SOURCE_DIR) + "/packaging/udev";
  testing::MockTree tree;
  tree.Load("ft232r.umockdev");
  auto ports = IdentifyPorts(ScanSysfsPorts(tree.Roots().Sys), tree.Roots());
  // Started first, so it does not inherit the far end's descriptors and hold the port.
  Sleeper mm("ModemManager");
  ASSERT_TRUE(mm.Ready());
  testing::FarEnd far;
  ports[0].Path = far.SlavePath();
  TCheckEnvironment env;  // a root without the package, whatever this machine has installed
  env.Root = tree.Root() + "/root";
  std::filesystem::create_directories(env.Root);
  auto findings = CheckSetup(ports, env);
  auto latency = Of(findings, "latency");
  auto modem = Of(findings, "modemmanager");
  ASSERT_EQ(latency.size(), 1u);
  ASSERT_EQ(modem.size(), 1u);
  for (const auto& f : {latency[0], modem[0]}) {
    EXPECT_TRUE(Has(EnglishText(f.Remedy), "sudo udevadm control --reload-rules "))
        << EnglishText(f.Remedy);
    EXPECT_FALSE(Has(EnglishText(f.Remedy), "packaging/"))
        << "a source-tree path: " << EnglishText(f.Remedy);
  }

  const std::string shipped = ReadAll(dir + "/70-orvix-serial.rules");
  EXPECT_TRUE(Has(shipped, "\n" + RuleIn(EnglishText(latency[0].Remedy)) + "\n"))
      << RuleIn(EnglishText(latency[0].Remedy));
  testing::ChildProcess make({dir + "/add-adapters.sh", "0403:6001"});
  const auto listed = make.Wait(30s);
  EXPECT_EQ(listed.exit_code, 0);
  EXPECT_EQ(listed.out, shipped + RuleIn(EnglishText(modem[0].Remedy)) + "\n");

  testing::ChildProcess bad({dir + "/add-adapters.sh", "403:6001"});
  const auto refused = bad.Wait(30s);
  EXPECT_EQ(refused.exit_code, 64);
  EXPECT_EQ(refused.out, "");

  // Installed as the package lays them out: the remedies name those files, and the helper
  // finds the rules from its own place.
  namespace fs = std::filesystem;
  const fs::path root = env.Root;
  fs::create_directories(root / "usr/lib/udev/rules.d");
  fs::create_directories(root / "usr/share/orvix");
  fs::copy_file(dir + "/70-orvix-serial.rules", root / "usr/lib/udev/rules.d/70-orvix-serial.rules");
  fs::copy_file(dir + "/add-adapters.sh", root / "usr/share/orvix/add-adapters.sh");
  findings = CheckSetup(ports, env);
  latency = Of(findings, "latency");
  modem = Of(findings, "modemmanager");
  ASSERT_EQ(latency.size(), 1u);
  ASSERT_EQ(modem.size(), 1u);
  EXPECT_EQ(EnglishText(latency[0].Remedy),
            "the udev rules in /usr/lib/udev/rules.d/70-orvix-serial.rules set it at plug-in: "
            "sudo udevadm control --reload-rules, then replug the adapter");
  EXPECT_TRUE(Has(EnglishText(modem[0].Remedy),
                  "(/usr/share/orvix/add-adapters.sh 0403:6001 | sudo tee "
                  "/etc/udev/rules.d/70-orvix-serial.rules writes it)"))
      << EnglishText(modem[0].Remedy);
  testing::ChildProcess installed({(root / "usr/share/orvix/add-adapters.sh").string(), "0403:6001"});
  EXPECT_EQ(installed.Wait(30s).out, listed.out);
}

}  // namespace
}  // namespace orvix
