#include "cli/port_commands.h"

#include <cstdio>

#include "cli/port_report.h"
#include "serial/port_identity.h"
#include "serial/setup_check.h"

namespace orvix {
namespace {

void PrintError(const std::string& text) {
  std::fprintf(stderr, "orvix-flash: %s\n", text.c_str());
}

// The listed ports the filters let through; nothing (after saying why) when the list cannot be
// read or no port matches.
std::optional<std::vector<TPortIdentity>> MatchingPorts(const std::vector<TPortFilter>& filters,
                                                        int& code) {
  std::vector<TPortIdentity> all;
  try {
    all = ListPortIdentities();
  } catch (const std::exception& e) {
    PrintError(std::string("cannot list the serial ports: ") + e.what());
    code = kPortsTrouble;
    return std::nullopt;
  }
  auto matching = FilterPorts(all, filters);
  if (filters.empty() || !matching.empty()) return matching;
  std::string seen;
  for (const auto& p : all) {
    seen += "\n  " + p.Name + "  " + p.Path;
    if (p.Vid && p.Pid) seen += "  " + HexId(*p.Vid) + ":" + HexId(*p.Pid);
    if (p.Serial) seen += "  serial " + *p.Serial;
    if (p.Driver) seen += "  driver " + *p.Driver;
  }
  PrintError("no port matches --port-filter " + FiltersText(filters) + "; ports seen:" +
             (seen.empty() ? " none" : seen));
  code = kPortsNoMatch;
  return std::nullopt;
}

}  // namespace

int ListPortsCommand(const std::vector<TPortFilter>& filters, TListFormat format) {
  int code = kPortsFine;
  const auto ports = MatchingPorts(filters, code);
  if (!ports) return code;
  if (format == TListFormat::Long) {
    std::fputs(PortTable(*ports).c_str(), stdout);
  } else {
    for (const auto& p : *ports) {
      const std::string line =
          format == TListFormat::Json ? PortJson(p) : p.Name + "\t" + p.Path;
      std::printf("%s\n", line.c_str());
    }
  }
  return kPortsFine;
}

int CheckCommand(const std::vector<TPortFilter>& filters, bool json) {
  int code = kPortsFine;
  const auto ports = MatchingPorts(filters, code);
  if (!ports) return code;
  const auto findings = CheckSetup(*ports);
  for (const auto& f : findings) {
    const std::string line = json ? FindingJson(f) : FindingLine(f);
    std::printf("%s\n", line.c_str());
  }
  if (findings.empty() && !json)
    std::printf("nothing to fix: %zu port%s checked\n", ports->size(), ports->size() == 1 ? "" : "s");
  return findings.empty() ? kPortsFine : kPortsTrouble;
}

std::optional<std::vector<std::string>> PortsToPing(const std::vector<TPortFilter>& filters,
                                                    int& code) {
  const auto ports = MatchingPorts(filters, code);
  if (!ports) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& p : *ports) names.push_back(p.Name);
  return names;
}

}  // namespace orvix
