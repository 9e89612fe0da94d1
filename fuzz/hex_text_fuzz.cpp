// HexTextToInt against a plain statement of its rules, and AddressText read back through it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/hex_text.h"
#include "fuzz/fuzz_check.h"

namespace orvix::fuzz {
namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "$" put in front unless there is one anywhere; then blanks, a sign, "$", hexadecimal digits
// and nothing else; at most eight digits once leading zeros are gone.
int32_t ReferenceHexTextToInt(const std::string& text) {
  const std::string s = text.find('$') == std::string::npos ? "$" + text : text;
  size_t i = s.find_first_not_of(' ');
  if (i == std::string::npos) return 0;
  const bool negative = s[i] == '-';
  if (s[i] == '+' || s[i] == '-') ++i;
  if (i >= s.size() || s[i] != '$') return 0;
  const std::string digits = s.substr(i + 1);
  if (digits.empty()) return 0;
  for (char c : digits)
    if (!IsHexDigit(c)) return 0;
  const size_t first = digits.find_first_not_of('0');
  const std::string significant = first == std::string::npos ? "" : digits.substr(first);
  if (significant.size() > 8) return 0;
  const uint32_t magnitude =
      significant.empty() ? 0 : static_cast<uint32_t>(std::stoul(significant, nullptr, 16));
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

}  // namespace
}  // namespace orvix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvix;
  using namespace orvix::fuzz;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t got = HexTextToInt(text);
  const int32_t want = ReferenceHexTextToInt(text);
  FUZZ_CHECK(got == want, "\"%s\" gives %d, the rules give %d", text.c_str(), got, want);

  // What the window shows must read back as the same number.
  if (size >= 4) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | data[i];
    const std::string shown = AddressText(value);
    FUZZ_CHECK(HexTextToInt(shown) == static_cast<int32_t>(value), "%08X shown as %s",
               static_cast<unsigned>(value), shown.c_str());
    FUZZ_CHECK(shown.size() >= 4 && shown.size() <= 8, "%s", shown.c_str());
  }
  return 0;
}
