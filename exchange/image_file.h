// The image file: any file, read whole as raw bytes. One loader for the window and the flasher.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvix {

// Device addresses are 16 bits wide: a longer image cannot be programmed.
constexpr int64_t kMaxImageSize = 65536;

class EImageFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the file named `path` whole. Raises EImageFile with the window's texts: "Cannot open
// file "<full path>". <cause>", the too-large refusal (checked before anything is read), or
// "Stream read error", or the out-of-memory text. An empty file gives an empty image.
std::vector<uint8_t> LoadImageFile(const std::string& path);

// The full name the messages show for `path`.
std::string FullFileName(const std::string& path);

}  // namespace orvix
