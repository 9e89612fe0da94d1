#include "cli/port_report.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>

namespace orvix {
namespace {

// Length of the UTF-8 sequence that starts at text[i], 0 when none valid starts there.
size_t Utf8Sequence(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  struct Lead {
    unsigned char mask, value;
    size_t length;
    unsigned min;
  };
  constexpr Lead kLeads[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  const auto lead = std::find_if(std::begin(kLeads), std::end(kLeads),
                                 [&](const Lead& l) { return (c & l.mask) == l.value; });
  if (lead == std::end(kLeads)) return 0;
  const size_t n = lead->length;
  const unsigned min = lead->min;
  if (i + n > text.size()) return 0;
  unsigned code = c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no valid text.
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

std::string JsonValue(const std::optional<std::string>& text) {
  return text ? JsonString(*text) : "null";
}

std::string JsonId(const std::optional<uint16_t>& id) {
  return id ? "\"" + HexId(*id) + "\"" : "null";
}

// Columns line up by characters, not bytes.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string TableDescription(const TPortIdentity& port) {
  std::string text;
  for (const auto* part : {&port.Product, &port.Manufacturer})
    if (*part) text += (text.empty() ? "" : ", ") + **part;
  if (text.empty() && port.FriendlyName) text = *port.FriendlyName;
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8Sequence(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  return out + "\"";
}

std::string PortJson(const TPortIdentity& port) {
  return "{\"name\":" + JsonString(port.Name) + ",\"path\":" + JsonString(port.Path) +
         ",\"by_id\":" + JsonValue(port.ById) + ",\"driver\":" + JsonValue(port.Driver) +
         ",\"vid\":" + JsonId(port.Vid) + ",\"pid\":" + JsonId(port.Pid) +
         ",\"serial\":" + JsonValue(port.Serial) +
         ",\"manufacturer\":" + JsonValue(port.Manufacturer) +
         ",\"product\":" + JsonValue(port.Product) + ",\"location\":" + JsonValue(port.Location) +
         "}";
}

std::string FindingJson(const TFinding& finding) {
  const auto optional = [](const std::string& s) {
    return s.empty() ? std::optional<std::string>() : std::optional<std::string>(s);
  };
  return "{\"kind\":" + JsonString(finding.Kind) +
         ",\"port\":" + JsonValue(optional(finding.Port)) +
         ",\"path\":" + JsonValue(optional(finding.Path)) +
         ",\"problem\":" + JsonString(EnglishText(finding.Problem)) +
         ",\"remedy\":" + JsonString(EnglishText(finding.Remedy)) + "}";
}

std::string PortTable(const std::vector<TPortIdentity>& ports) {
  using Row = std::vector<std::string>;
  std::vector<Row> rows{{"NAME", "PATH", "VID:PID", "SERIAL", "DESCRIPTION", "BY-ID"}};
  const auto or_dash = [](const std::optional<std::string>& s) {
    return s && !s->empty() ? *s : std::string("-");
  };
  for (const auto& p : ports) {
    const std::string ids = p.Vid && p.Pid ? HexId(*p.Vid) + ":" + HexId(*p.Pid) : "-";
    const std::string description = TableDescription(p);
    rows.push_back({p.Name, p.Path, ids, or_dash(p.Serial),
                    description.empty() ? "-" : description, or_dash(p.ById)});
  }
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(widths[c] - Width(row[c]) + 2, ' ');
    }
    out += line + "\n";
  }
  return out;
}

}  // namespace orvix
