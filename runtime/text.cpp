#include "runtime/text.h"

namespace orvix {

std::string FormatText(std::string_view pattern, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char next = pattern[i + 1];
    if (next >= '1' && next <= '9' && static_cast<size_t>(next - '1') < args.size()) {
      out += args[static_cast<size_t>(next - '1')];
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string EnglishText(const TText& text) {
  return FormatText(text.Source, text.Args) + text.Tail;
}

ETextError::ETextError(TText text) : std::runtime_error(EnglishText(text)), text_(std::move(text)) {}

}  // namespace orvix
