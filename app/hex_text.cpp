#include "app/hex_text.h"

#include <optional>

namespace orvix {
namespace {

std::optional<int32_t> ReadHexInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] != '$') return std::nullopt;
  if (++i >= text.size()) return std::nullopt;
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return std::nullopt;
    if (value > 0x0FFFFFFFu) return std::nullopt;  // a fifth nibble on top would not fit
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t HexTextToInt(const std::string& text) {
  const std::string source = text.find('$') == std::string::npos ? "$" + text : text;
  return ReadHexInteger(source).value_or(0);
}

}  // namespace orvix
