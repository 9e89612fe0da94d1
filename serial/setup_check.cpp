#include "serial/setup_check.h"

namespace orvix {

std::string FindingLine(const TFinding& finding) {
  std::string line;
  if (!finding.Port.empty()) line = finding.Port + " (" + finding.Path + "): ";
  line += finding.Problem;
  if (!finding.Remedy.empty()) line += "; " + finding.Remedy;
  return line;
}

}  // namespace orvix
