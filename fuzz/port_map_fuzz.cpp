// The ORVIX_PORTS parser against a plain statement of the entry rules, and every name it accepts
// resolving to its own path.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "serial/linux/port_map.h"
#include "serial/serial_error.h"

namespace orvix::fuzz {
namespace {

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// Entries split on ';', blank ones skipped; each NAME=PATH with both sides trimmed and not empty,
// an absolute path, a name that is not one, and a name not seen before. Nothing for a text with any
// other entry.
std::optional<TPortMap> ReferenceParse(const std::string& text) {
  TPortMap map;
  std::string rest = text;
  for (;;) {
    const size_t semicolon = rest.find(';');
    const std::string entry = Trimmed(rest.substr(0, semicolon));
    if (!entry.empty()) {
      const size_t eq = entry.find('=');
      if (eq == std::string::npos) return std::nullopt;
      const std::string name = Trimmed(entry.substr(0, eq));
      const std::string path = Trimmed(entry.substr(eq + 1));
      if (name.empty() || path.empty() || path[0] != '/' || name[0] == '/') return std::nullopt;
      for (const auto& e : map)
        if (e.Name == name) return std::nullopt;
      map.push_back({name, path});
    }
    if (semicolon == std::string::npos) return map;
    rest = rest.substr(semicolon + 1);
  }
}

}  // namespace
}  // namespace orvix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvix;
  using namespace orvix::fuzz;
  // An environment variable ends at its first zero byte.
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));
  const std::optional<TPortMap> want = ReferenceParse(text);
  std::optional<TPortMap> got;
  try {
    got = ParsePortMap(text);
  } catch (const ESerialPort& e) {
    FUZZ_CHECK(e.MessageCode() == 23, "code %d", e.MessageCode());
    FUZZ_CHECK(std::string(e.what()).find("ORVIX_PORTS entry '") != std::string::npos, "%s",
               e.what());
  }
  FUZZ_CHECK(got.has_value() == want.has_value(), "\"%s\": parser %s, the rules %s", text.c_str(),
             got ? "accepts" : "refuses", want ? "accept" : "refuse");
  if (!got) return 0;
  FUZZ_CHECK(*got == *want, "\"%s\": %zu entries, the rules give %zu", text.c_str(), got->size(),
             want->size());
  for (const auto& e : *got) {
    FUZZ_CHECK(ResolvePortPath(e.Name, *got) == e.Path, "%s does not open %s", e.Name.c_str(),
               e.Path.c_str());
    FUZZ_CHECK(ResolvePortPath(e.Path, *got) == e.Path, "%s", e.Path.c_str());
  }
  return 0;
}
