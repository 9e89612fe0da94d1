// The setup check: what on this machine keeps the programmer from a board, each finding with
// what to do about it. The same faults come up again and again with USB-serial adapters: no
// permission on the device node, another program holding the port, ModemManager probing it,
// brltty taking the adapter over, an FTDI latency timer that slows every block down.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "serial/port_identity.h"

namespace orvix {

struct TFinding {
  std::string Kind;  // "no-ports", "missing", "permission", "relogin", "busy", "open",
                     // "modemmanager", "brltty", "latency"
  std::string Port;  // the port's name; empty for what concerns the whole machine
  std::string Path;  // the port's device path; empty with Port
  TText Problem;
  TText Remedy;  // no source when there is nothing to advise
};

// "COM5 (/dev/ttyUSB0): <problem>; <remedy>", or the problem and remedy alone for the machine,
// in the process's language.
std::string FindingLine(const TFinding& finding);

// Who the check runs as: the groups the account is listed in and those this login session
// has. They differ right after `usermod -aG`, until the user logs in again.
struct TAccount {
  std::string User;
  std::vector<uint32_t> ListedGroups;
  std::vector<uint32_t> SessionGroups;
};
TAccount CurrentAccount();

// Where the check looks; tests move every root into a tree of their own.
struct TCheckEnvironment {
  std::string Proc = "/proc";
  std::string Root = "/";  // udev rules and the brltty program below it
  std::optional<TAccount> Account;  // CurrentAccount() when absent
  int Self = 0;                     // this process, never reported as holding a port; 0: getpid()
};

// Inspects the machine and the given ports (already filtered by the caller). Opens a port only
// to ask an FTDI adapter whose latency timer is above 1 ms for low-latency mode, and only when
// it can be opened and nobody holds it: opening raises DTR.
std::vector<TFinding> CheckSetup(const std::vector<TPortIdentity>& ports,
                                 const TCheckEnvironment& environment = {});

// Who holds the device at path open or locked, other than this process: "PID 1234 (minicom)",
// several joined by ", "; empty when nobody is seen, or the platform does not say (Windows).
std::string PortHoldersText(const std::string& path, const TCheckEnvironment& environment = {});

// The cause of a failed port open, in words, from the system's error number; for a port another
// program holds, that program where the system shows it (path: what the port's name opens).
TText PortErrorText(int system_code, const std::string& path = {});
// Whether that error number means the user may not open the port (and joining a group may cure
// it). Windows says "access denied" for a port another program holds: never there.
bool IsPermissionError(int system_code);

// A port that refused to open, as both front ends name it: "COM5 (/dev/ttyUSB0)" and the cause.
// The first port a run finds refused for lack of permission gets the group to join after its
// cause; `advice_given` carries that over the run's ports.
struct TRefusedPort {
  std::string Where;
  TText Cause;
  std::optional<TText> Advice;  // the group to join, for the first refused for lack of permission
};
// cause: the error as raised, for a failure without a system error number.
TRefusedPort DescribeRefusedPort(const std::string& port, int system_code, const TText& cause,
                                 bool& advice_given);
// The cause and the advice after it, in the process's language.
std::string RefusedCauseText(const TRefusedPort& refused);

// For a port that could not be opened for lack of permission: which group to join and how,
// or that the user must log in again. Nothing when the node tells nothing useful.
std::optional<TText> PermissionAdvice(const std::string& path,
                                      const std::optional<TAccount>& account = {});

}  // namespace orvix
