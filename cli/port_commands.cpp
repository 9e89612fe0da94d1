#include "cli/port_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "cli/port_report.h"
#include "runtime/language.h"
#include "serial/port_identity.h"
#include "serial/port_list.h"
#include "serial/setup_check.h"

namespace orvix {
namespace {

void PrintError(const std::string& text) {
  std::fprintf(stderr, "orvix-flash: %s\n", text.c_str());
}

// " none", after a colon where the ports would be listed. Appended piece by piece: GCC 12
// warns falsely (-Wrestrict) on literal + string.
std::string NoneText() {
  std::string text = " ";
  text += Tr("flash", "none");
  return text;
}

// The listed ports the filters let through; nothing (after saying why) when the list cannot be
// read or no port matches.
std::optional<std::vector<TPortIdentity>> MatchingPorts(const std::vector<TPortFilter>& filters,
                                                        int& code) {
  std::vector<TPortIdentity> all;
  try {
    all = ListPortIdentities();
  } catch (const std::exception& e) {
    code = PortListError(e);
    return std::nullopt;
  }
  auto matching = FilterPorts(all, filters);
  if (filters.empty() || !matching.empty()) return matching;
  std::string seen;
  for (const auto& p : all) {
    seen += "\n  " + p.Name + "  " + p.Path;
    if (p.Vid && p.Pid) seen += "  " + HexId(*p.Vid) + ":" + HexId(*p.Pid);
    if (p.Serial) seen += "  " + FormatText(Tr("flash", "serial %1"), {*p.Serial});
    if (p.Driver) seen += "  " + FormatText(Tr("flash", "driver %1"), {*p.Driver});
  }
  PrintError(FormatText(Tr("flash", "no port matches --port-filter %1; ports seen:%2"),
                        {FiltersText(filters), seen.empty() ? NoneText() : seen}));
  code = kPortsNoMatch;
  return std::nullopt;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

int PortListError(const std::exception& error) {
  if (const auto* map = dynamic_cast<const EPortMapError*>(&error)) {
    PrintError(Tr(map->DetailText()));
    return kPortsConfig;
  }
  PrintError(FormatText(Tr("flash", "cannot list the serial ports: %1"), {ErrorText(error)}));
  return kPortsTrouble;
}

std::optional<int> RefuseUnknownPort(const std::string& port) {
  if (!port.empty() && port.front() == '/') return std::nullopt;  // a device path, opened as given
  std::vector<std::string> names;
  try {
    names = PlatformPortNames();
  } catch (const std::exception& e) {
    return PortListError(e);
  }
  // Port names are matched as opening them does: ignoring letter case, as Windows does.
  for (const std::string& name : names)
    if (SameIgnoringCase(name, port)) return std::nullopt;
  std::string known;
  for (const std::string& name : names) known += " " + name;
  PrintError(FormatText(Tr("flash", "no such port: %1; ports:%2"),
                        {port, known.empty() ? NoneText() : known}));
  return kPortsNoMatch;
}

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
  // A script reads the last line for the verdict, whether anything was found or not.
  const auto summary = [json](size_t findings, size_t ports, int code) {
    if (json)
      std::printf("{\"kind\":\"summary\",\"findings\":%zu,\"ports\":%zu,\"exit_status\":%d}\n",
                  findings, ports, code);
    return code;
  };
  int code = kPortsFine;
  const auto ports = MatchingPorts(filters, code);
  if (!ports) return summary(0, 0, code);
  const auto findings = CheckSetup(*ports);
  for (const auto& f : findings) {
    const std::string line = json ? FindingJson(f) : FindingLine(f);
    std::printf("%s\n", line.c_str());
  }
  if (findings.empty() && !json) {
    // A plain count: lupdate reads no template arguments inside a translate call.
    const long long checked = static_cast<long long>(ports->size());
    std::printf("%s\n",
                TrN("flash", "nothing to fix: %n port(s) checked", "%n: how many ports", checked)
                    .c_str());
  }
  return summary(findings.size(), ports->size(), findings.empty() ? kPortsFine : kPortsTrouble);
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
