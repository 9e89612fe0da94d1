#include "serial/setup_check.h"

#include "runtime/language.h"

namespace orvix {

std::string FindingLine(const TFinding& finding) {
  std::string line;
  if (!finding.Port.empty()) line = finding.Port + " (" + finding.Path + "): ";
  line += Tr(finding.Problem);
  if (*finding.Remedy.Source) line += "; " + Tr(finding.Remedy);
  return line;
}

}  // namespace orvix
