#include "serial/setup_check.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "serial/linux/linux_ioctls.h"
#include "serial/linux/port_map.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

// The administrator's rules file; one of the same name there overrides the packaged one.
constexpr char kRulesFile[] = "/etc/udev/rules.d/70-orvix-serial.rules";
constexpr char kPackagedRules[] = "/usr/lib/udev/rules.d/70-orvix-serial.rules";
constexpr char kAddAdapters[] = "/usr/share/orvix/add-adapters.sh";
constexpr char kReload[] = "sudo udevadm control --reload-rules";
constexpr char kLatencyRule[] =
    "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"";

std::string ErrorText(int error) {
  return std::generic_category().message(error);
}

bool Contains(const std::vector<uint32_t>& list, uint32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::optional<std::string> GroupName(gid_t gid) {
  group entry{}, *found = nullptr;
  std::vector<char> buffer(16384);
  if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return std::nullopt;
  return std::string(found->gr_name);
}

std::string ModeText(const struct stat& st) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  return text;
}

std::string GroupText(const struct stat& st) {
  const auto group = GroupName(st.st_gid);
  return group ? *group : std::to_string(st.st_gid);
}

TText Setup(const char* source, std::vector<std::string> args = {}) {
  return {"setup", source, std::move(args), {}};
}

// ---- processes

std::vector<int> ProcessIds(const std::string& proc) {
  std::vector<int> pids;
  std::error_code ec;
  for (fs::directory_iterator it(proc, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!name.empty() && name.size() < 10 && std::all_of(name.begin(), name.end(), digit))
      pids.push_back(std::stoi(name));
  }
  std::sort(pids.begin(), pids.end());
  return pids;
}

std::string CommandName(const std::string& proc, int pid) {
  std::ifstream in(proc + "/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

struct THolder {
  int Pid;
  std::string Command;
};

// Lock holders from /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 00:1a:3 0 EOF"), which
// every user may read, whoever took the lock.
void LockHolders(const std::string& proc, const struct stat& node, std::vector<int>& pids) {
  std::ifstream in(proc + "/locks");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    for (std::string w; fields >> w;) f.push_back(w);
    if (f.size() < 6 || f[1] == "->") continue;  // "->": a waiter, not the holder
    unsigned major_id = 0, minor_id = 0;
    unsigned long long inode = 0;
    if (std::sscanf(f[5].c_str(), "%x:%x:%llu", &major_id, &minor_id, &inode) != 3) continue;
    if (major_id == major(node.st_dev) && minor_id == minor(node.st_dev) && inode == node.st_ino)
      pids.push_back(std::atoi(f[4].c_str()));
  }
}

bool SameNode(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Processes with the node open, among those whose descriptors this user may see.
void OpenHolders(const std::string& proc, const struct stat& node, std::vector<int>& pids) {
  for (int pid : ProcessIds(proc)) {
    const fs::path fds = fs::path(proc) / std::to_string(pid) / "fd";
    std::error_code ec;
    for (fs::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
      struct stat st {};
      if (::stat(it->path().c_str(), &st) == 0 && SameNode(st, node)) {
        pids.push_back(pid);
        break;
      }
    }
  }
}

std::vector<THolder> Holders(const std::string& path, const TCheckEnvironment& env, int self) {
  struct stat node {};
  if (::stat(path.c_str(), &node) != 0) return {};
  std::vector<int> pids;
  LockHolders(env.Proc, node, pids);
  OpenHolders(env.Proc, node, pids);
  std::sort(pids.begin(), pids.end());
  pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
  std::vector<THolder> holders;
  for (int pid : pids)
    if (pid != self && pid > 0) holders.push_back({pid, CommandName(env.Proc, pid)});
  return holders;
}

// ---- per port

struct TAdvice {
  std::string Kind;
  TText Remedy;
};

std::optional<TAdvice> AdviceFor(const struct stat& st, const TAccount& account) {
  const bool group_may = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
  const auto group = GroupName(st.st_gid);
  // Joining root's group is no advice to give.
  if (!group_may || st.st_gid == 0 || !group) return std::nullopt;
  if (Contains(account.SessionGroups, st.st_gid)) return std::nullopt;
  if (Contains(account.ListedGroups, st.st_gid))
    return TAdvice{"relogin", Setup(ORVIX_TEXT("setup",
                                               "you are in group %1 but this login session is not "
                                               "yet: log in again (or run `newgrp %1` in this "
                                               "shell)"),
                                    {*group})};
  return TAdvice{"permission",
                 Setup(ORVIX_TEXT("setup",
                                  "add yourself to group %1: sudo usermod -aG %1 $USER, "
                                  "then log in again"),
                       {*group})};
}

std::optional<TFinding> AccessFinding(const TPortIdentity& port, const TAccount& account) {
  if (::faccessat(AT_FDCWD, port.Path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) return std::nullopt;
  const int error = errno;
  TFinding f{"", port.Name, port.Path, {}, {}};
  if (error == ENOENT) {
    f.Kind = "missing";
    f.Problem = Setup(ORVIX_TEXT("setup", "the device node does not exist"));
    f.Remedy = Setup(
        ORVIX_TEXT("setup", "plug the adapter in, or correct ORVIX_PORTS if it names this port"));
    return f;
  }
  struct stat st {};
  if ((error != EACCES && error != EPERM) || ::stat(port.Path.c_str(), &st) != 0) {
    f.Kind = "open";
    f.Problem = Setup(ORVIX_TEXT("setup", "cannot be opened for reading and writing: %1"),
                      {ErrorText(error)});
    return f;
  }
  f.Kind = "permission";
  f.Problem = Setup(ORVIX_TEXT("setup", "no permission to open it (group %1, mode %2)"),
                    {GroupText(st), ModeText(st)});
  if (auto advice = AdviceFor(st, account)) {
    f.Kind = advice->Kind;
    f.Remedy = advice->Remedy;
  } else {
    f.Remedy = Setup(ORVIX_TEXT("setup", "ask the administrator for read and write access to %1"),
                     {port.Path});
  }
  return f;
}

std::string HoldersText(const std::vector<THolder>& holders) {
  std::string who;
  for (const auto& h : holders) {
    if (!who.empty()) who += ", ";
    who += "PID " + std::to_string(h.Pid) + (h.Command.empty() ? "" : " (" + h.Command + ")");
  }
  return who;
}

std::optional<TFinding> BusyFinding(const TPortIdentity& port, const TCheckEnvironment& env,
                                    int self) {
  const std::string who = HoldersText(Holders(port.Path, env, self));
  if (who.empty()) return std::nullopt;
  return TFinding{"busy", port.Name, port.Path, Setup(ORVIX_TEXT("setup", "in use by %1"), {who}),
                  Setup(ORVIX_TEXT("setup", "end that program or close the port in it"))};
}

// The rules file already in place (the administrator's first, then the package's), if any.
std::optional<std::string> InstalledRules(const TCheckEnvironment& env) {
  std::error_code ec;
  for (const char* file : {kRulesFile, kPackagedRules})
    if (fs::exists(fs::path(env.Root) / (file + 1), ec)) return std::string(file);
  return std::nullopt;
}

// An FTDI adapter at its 16 ms default holds each 7-byte reply back for that long. The driver
// takes a low-latency request from whoever has the port open; when it refuses, only the udev
// rule (as root, at plug-in) sets the timer.
std::optional<TFinding> LatencyFinding(const TPortIdentity& port, const TCheckEnvironment& env) {
  if (port.Driver != "ftdi_sio" || !port.LatencyTimerMs || *port.LatencyTimerMs <= 1)
    return std::nullopt;
  const int fd = ::open(port.Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;  // what keeps it closed is a finding of its own
  int error = ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? linux_tty::RequestLowLatency(fd) : -1;
  ::close(fd);
  if (error == 0 || error == -1) return std::nullopt;
  // With the rules in place, udev has not read them yet or the adapter was plugged in before.
  const std::optional<std::string> installed = InstalledRules(env);
  return TFinding{"latency", port.Name, port.Path,
                  Setup(ORVIX_TEXT("setup",
                                   "FTDI latency timer is %1 ms and the driver refused low-latency "
                                   "mode (%2): each block's reply waits that long"),
                        {std::to_string(*port.LatencyTimerMs), ErrorText(error)}),
                  installed
                      ? Setup(ORVIX_TEXT("setup",
                                         "the udev rules in %1 set it at plug-in: %2, then "
                                         "replug the adapter"),
                              {*installed, kReload})
                      : Setup(ORVIX_TEXT("setup",
                                         "set it at plug-in with the udev rule %1 in %2, then "
                                         "%3 and replug the adapter"),
                              {kLatencyRule, kRulesFile, kReload})};
}

// ---- the machine

std::string IgnoreRule(uint16_t vid, uint16_t pid) {
  return "ACTION==\"add|change\", ATTRS{idVendor}==\"" + HexId(vid) + "\", ATTRS{idProduct}==\"" +
         HexId(pid) + "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
}

std::optional<TFinding> ModemManagerFinding(const std::vector<TPortIdentity>& ports,
                                            const TCheckEnvironment& env) {
  std::string running;
  for (int pid : ProcessIds(env.Proc))
    if (CommandName(env.Proc, pid) == "ModemManager")
      running += (running.empty() ? "PID " : ", ") + std::to_string(pid);
  if (running.empty()) return std::nullopt;
  std::string rules, ids;
  std::vector<std::pair<uint16_t, uint16_t>> seen;
  for (const auto& p : ports) {
    if (!p.Vid || !p.Pid) continue;
    if (std::find(seen.begin(), seen.end(), std::pair{*p.Vid, *p.Pid}) != seen.end()) continue;
    seen.push_back({*p.Vid, *p.Pid});
    rules += (rules.empty() ? "" : " and ") + IgnoreRule(*p.Vid, *p.Pid);
    ids += " " + HexId(*p.Vid) + ":" + HexId(*p.Pid);
  }
  if (rules.empty()) {
    rules = IgnoreRule(0x0403, 0x6001);
    ids = " VID:PID";
  }
  // The package's helper writes the whole file, its own rules included, so nothing is lost
  // when the file overrides the packaged one.
  std::error_code ec;
  const bool helper = fs::exists(fs::path(env.Root) / (kAddAdapters + 1), ec);
  // Whole sentences for the translator: with or without the adapters' own ids, with or without
  // the package's helper.
  const char* const remedies[2][2] = {
      {ORVIX_TEXT("setup",
                  "keep it off the adapter with the udev rule %1 (with your adapter's "
                  "ids) in %2, then %4 and replug; or stop it: sudo systemctl stop "
                  "ModemManager (disable to keep it stopped)"),
       ORVIX_TEXT("setup",
                  "keep it off the adapter with the udev rule %1 (with your adapter's "
                  "ids) in %2 (%3 writes it), then %4 and replug; or stop it: sudo "
                  "systemctl stop ModemManager (disable to keep it stopped)")},
      {ORVIX_TEXT("setup",
                  "keep it off the adapter with the udev rule %1 in %2, then %4 and "
                  "replug; or stop it: sudo systemctl stop ModemManager (disable to keep "
                  "it stopped)"),
       ORVIX_TEXT("setup",
                  "keep it off the adapter with the udev rule %1 in %2 (%3 writes it), "
                  "then %4 and replug; or stop it: sudo systemctl stop ModemManager "
                  "(disable to keep it stopped)")}};
  return TFinding{
      "modemmanager", "", "",
      Setup(ORVIX_TEXT("setup",
                       "ModemManager is running (%1): it sends AT commands to every new "
                       "serial port and may hold it"),
            {running}),
      Setup(remedies[seen.empty() ? 0 : 1][helper ? 1 : 0],
            {rules, kRulesFile, std::string(kAddAdapters) + ids + " | sudo tee " + kRulesFile,
             kReload})};
}

struct TBridge {
  uint16_t Vid, Pid;
  const char* Chip;
};
constexpr TBridge kBridges[] = {{0x1a86, 0x7523, "CH340"},
                                {0x10c4, 0xea60, "CP210x"},
                                {0x0403, 0x6001, "FT232"},
                                {0x067b, 0x2303, "PL2303"}};

// brltty's rules match the kernel's PRODUCT ("1a86/7523/*", no leading zeros) or the USB
// attributes.
bool RulesClaim(const std::string& text, const TBridge& bridge) {
  char product[16];
  std::snprintf(product, sizeof product, "\"%x/%x/", bridge.Vid, bridge.Pid);
  if (text.find(product) != std::string::npos) return true;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.find("idVendor}==\"" + HexId(bridge.Vid)) != std::string::npos &&
        line.find("idProduct}==\"" + HexId(bridge.Pid)) != std::string::npos)
      return true;
  return false;
}

std::optional<TFinding> BrlttyFinding(const TCheckEnvironment& env) {
  const fs::path root = env.Root;
  std::error_code ec;
  bool installed = false;
  for (const char* bin : {"usr/bin/brltty", "bin/brltty", "usr/sbin/brltty", "sbin/brltty"})
    installed = installed || fs::exists(root / bin, ec);
  if (!installed) return std::nullopt;
  std::string files, chips;
  for (const char* dir : {"etc/udev/rules.d", "usr/lib/udev/rules.d", "lib/udev/rules.d"}) {
    for (fs::directory_iterator it(root / dir, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.find("brltty") == std::string::npos) continue;
      std::ifstream in(it->path());
      std::stringstream text;
      text << in.rdbuf();
      bool claims = false;
      for (const auto& b : kBridges) {
        if (!RulesClaim(text.str(), b)) continue;
        claims = true;
        const std::string entry = std::string(b.Chip) + " " + HexId(b.Vid) + ":" + HexId(b.Pid);
        if (chips.find(entry) == std::string::npos) chips += (chips.empty() ? "" : ", ") + entry;
      }
      if (claims) files += (files.empty() ? "/" : ", /") + (fs::path(dir) / name).string();
    }
    ec.clear();
  }
  if (files.empty()) return std::nullopt;
  return TFinding{
      "brltty", "", "",
      Setup(ORVIX_TEXT("setup",
                       "brltty is installed and its udev rules (%1) claim USB-serial "
                       "bridges (%2): it takes such an adapter over and its port "
                       "vanishes"),
            {files, chips}),
      Setup(ORVIX_TEXT("setup",
                       "without a braille display remove it: sudo apt remove brltty; to "
                       "keep it, stop it claiming adapters: sudo systemctl mask "
                       "brltty-udev.service, then replug the adapter"))};
}

TFinding NoPortsFinding() {
  // The map the user set replaces the machine's ports: a map with no COM name leaves none.
  if (const char* map = std::getenv(kPortMapVariable))
    return TFinding{"no-ports", "", "",
                    Setup(ORVIX_TEXT("setup",
                                     "no serial port found: %1 is set to \"%2\", which names no "
                                     "COM port and replaces the machine's own"),
                          {kPortMapVariable, map}),
                    Setup(ORVIX_TEXT("setup",
                                     "unset %1 to use the machine's serial ports, or give it "
                                     "entries such as COM1=/dev/ttyUSB0"),
                          {kPortMapVariable})};
  return TFinding{"no-ports", "", "", Setup(ORVIX_TEXT("setup", "no serial port found")),
                  Setup(ORVIX_TEXT("setup",
                                   "connect the adapter and look for its driver: lsmod "
                                   "| grep -E 'ftdi_sio|ch341|cp210x|pl2303|cdc_acm' "
                                   "and sudo dmesg | grep -i tty"))};
}

}  // namespace

std::string PortHoldersText(const std::string& path, const TCheckEnvironment& environment) {
  const int self = environment.Self ? environment.Self : static_cast<int>(::getpid());
  return HoldersText(Holders(path, environment, self));
}

TAccount CurrentAccount() {
  TAccount account;
  std::vector<char> buffer(16384);
  passwd entry{}, *found = nullptr;
  const uid_t uid = ::geteuid();
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    account.User = found->pw_name;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
      groups.resize(static_cast<size_t>(count));
      getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count);
    }
    groups.resize(static_cast<size_t>(std::max(count, 0)));
    account.ListedGroups.assign(groups.begin(), groups.end());
  }
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> session(static_cast<size_t>(std::max(count, 0)));
  if (count > 0 && ::getgroups(count, session.data()) == count)
    account.SessionGroups.assign(session.begin(), session.end());
  account.SessionGroups.push_back(::getegid());
  return account;
}

std::optional<TText> PermissionAdvice(const std::string& path,
                                      const std::optional<TAccount>& account) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  const auto advice = AdviceFor(st, account ? *account : CurrentAccount());
  if (!advice) return std::nullopt;
  return advice->Remedy;
}

std::vector<TFinding> CheckSetup(const std::vector<TPortIdentity>& ports,
                                 const TCheckEnvironment& environment) {
  const TAccount account = environment.Account ? *environment.Account : CurrentAccount();
  const int self = environment.Self ? environment.Self : static_cast<int>(::getpid());
  std::vector<TFinding> findings;
  auto add = [&](std::optional<TFinding> f) {
    if (f) findings.push_back(std::move(*f));
  };
  if (ports.empty()) findings.push_back(NoPortsFinding());
  add(ModemManagerFinding(ports, environment));
  add(BrlttyFinding(environment));
  for (const auto& port : ports) {
    auto access = AccessFinding(port, account);
    const bool usable = !access;
    const bool missing = access && access->Kind == "missing";
    add(std::move(access));
    if (missing) continue;
    auto busy = BusyFinding(port, environment, self);
    const bool free = !busy;
    add(std::move(busy));
    if (usable && free) add(LatencyFinding(port, environment));
  }
  return findings;
}

TText PortErrorText(int system_code, const std::string& path) {
  // The lock another instance of the programmer holds on the port, or a port opened for one
  // program only: who it is tells the user what to close.
  if (system_code == EWOULDBLOCK || system_code == EBUSY) {
    const std::string holders = path.empty() ? "" : PortHoldersText(path);
    if (holders.empty()) return Setup(ORVIX_TEXT("setup", "in use by another program"));
    return Setup(ORVIX_TEXT("setup", "in use by %1"), {holders});
  }
  return {"", "", {}, std::strerror(system_code)};  // the system's own words
}

bool IsPermissionError(int system_code) {
  return system_code == EACCES || system_code == EPERM;
}

}  // namespace orvix
