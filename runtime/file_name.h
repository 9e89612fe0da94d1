// File names travel through the program as UTF-8 text. std::filesystem takes a plain char string
// in the platform's narrow encoding, which on Windows is not UTF-8 (MinGW's library widens each
// byte on its own), so names cross into and out of paths through these two. On Linux they copy
// the bytes unchanged.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvix {

inline std::filesystem::path PathFromUtf8(std::string_view name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace orvix
