#include "app/placement/placement_record.h"

#include <algorithm>
#include <filesystem>

#include "runtime/file_name.h"

#include "app/placement/ini_file.h"

namespace orvix {

std::array<std::optional<int32_t>, 4> ParsePositionNumbers(std::string_view text) {
  constexpr std::string_view kSeparators = ", \t";
  std::array<std::optional<int32_t>, 4> numbers;
  size_t pos = 0;
  for (auto& number : numbers) {
    pos = text.find_first_not_of(kSeparators, pos);
    if (pos == std::string_view::npos) break;
    const size_t end = std::min(text.find_first_of(kSeparators, pos), text.size());
    number = ParseIniInteger(text.substr(pos, end - pos));
    pos = end;
  }
  return numbers;
}

std::string FormatPositionNumbers(int32_t a, int32_t b, int32_t c, int32_t d) {
  return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
         std::to_string(d);
}

std::string ScreenSizeSuffix(int32_t width, int32_t height) {
  // Appended piece by piece: GCC 12 at -O3 takes "(" + std::to_string(...) for an overlapping
  // copy (a false -Wrestrict).
  std::string suffix = "(";
  suffix += std::to_string(width);
  suffix += 'x';
  suffix += std::to_string(height);
  suffix += ')';
  return suffix;
}

std::string PlacementIniFileName(const std::string& executable_path) {
  std::filesystem::path name = PathFromUtf8(executable_path);
  name.replace_extension(".ini");
  return Utf8FromPath(name);
}

}  // namespace orvix
