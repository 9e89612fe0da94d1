#include "serial/setup_check.h"

#include "runtime/language.h"
#include "serial/port_list.h"

namespace orvix {

std::string FindingLine(const TFinding& finding) {
  std::string line;
  if (!finding.Port.empty()) line = finding.Port + " (" + finding.Path + "): ";
  line += Tr(finding.Problem);
  if (*finding.Remedy.Source) line += "; " + Tr(finding.Remedy);
  return line;
}

TRefusedPort DescribeRefusedPort(const std::string& port, int system_code, const TText& cause,
                                 bool& advice_given) {
  const std::string path = PortDevicePath(port);
  const std::string& opened = path.empty() ? port : path;
  TRefusedPort refused{path.empty() || path == port ? port : port + " (" + path + ")",
                       system_code >= 0 ? PortErrorText(system_code, opened) : cause,
                       std::nullopt};
  // The way out, once a run: every port the user may not open has the same cure.
  if (!advice_given && system_code >= 0 && IsPermissionError(system_code)) {
    refused.Advice = PermissionAdvice(opened);
    advice_given = refused.Advice.has_value();
  }
  return refused;
}

std::string RefusedCauseText(const TRefusedPort& refused) {
  return Tr(refused.Cause) + (refused.Advice ? "; " + Tr(*refused.Advice) : std::string());
}

}  // namespace orvix
