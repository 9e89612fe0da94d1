#include "serial/setup_check.h"

#include "serial/port_list.h"

namespace orvix {

std::string FindingLine(const TFinding& finding) {
  std::string line;
  if (!finding.Port.empty()) line = finding.Port + " (" + finding.Path + "): ";
  line += finding.Problem;
  if (!finding.Remedy.empty()) line += "; " + finding.Remedy;
  return line;
}

TRefusedPort DescribeRefusedPort(const std::string& port, int system_code, const std::string& text,
                                 bool& advice_given) {
  const std::string path = PortDevicePath(port);
  const std::string& opened = path.empty() ? port : path;
  TRefusedPort refused{path.empty() || path == port ? port : port + " (" + path + ")",
                       system_code >= 0 ? PortErrorText(system_code, opened) : text};
  // The way out, once a run: every port the user may not open has the same cure.
  if (!advice_given && system_code >= 0 && IsPermissionError(system_code)) {
    if (const auto advice = PermissionAdvice(opened)) {
      refused.Cause += "; " + *advice;
      advice_given = true;
    }
  }
  return refused;
}

}  // namespace orvix
