// How the flasher prints ports and setup findings: the long table for people, JSON lines for
// scripts.
#pragma once

#include <string>
#include <vector>

#include "serial/port_identity.h"
#include "serial/setup_check.h"

namespace orvix {

// A JSON string literal: quotes, backslashes and control characters escaped, and bytes that are
// not UTF-8 replaced by U+FFFD, so every line parses whatever a device reports.
std::string JsonString(const std::string& text);

// {"name":..,"path":..,"by_id":..,"driver":..,"vid":..,"pid":..,"serial":..,"manufacturer":..,
// "product":..,"location":..}: absent fields null, ids four lower-case hex digits.
std::string PortJson(const TPortIdentity& port);
// {"kind":..,"port":..,"path":..,"problem":..,"remedy":..}; port and path null for the machine.
std::string FindingJson(const TFinding& finding);

// A header and one aligned row per port: name, path, VID:PID, serial, description, by-id; "-"
// for what is not known. Every line ends in '\n'.
std::string PortTable(const std::vector<TPortIdentity>& ports);

}  // namespace orvix
