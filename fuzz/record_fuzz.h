// What the two record-file fuzz targets check: a refusal names the input and a line it has; an
// image that loads is well formed, and written back as records it loads again unchanged.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "exchange/image_file.h"
#include "fuzz/fuzz_check.h"

namespace orvix::fuzz {

using Reader = TImage (*)(std::istream&, const std::string&);
using RecordWriter = std::string (*)(const TImage&);

inline void CheckRecordReader(const uint8_t* data, size_t size, Reader read, RecordWriter write) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
  std::istringstream in(text);
  TImage image;
  try {
    image = read(in, "input");
  } catch (const EImageFile& e) {
    const std::string message = e.what();
    FUZZ_CHECK(message.rfind("input:", 0) == 0, "%s", message.c_str());
    char* end = nullptr;
    const long line = std::strtol(message.c_str() + 6, &end, 10);
    FUZZ_CHECK(line >= 1 && line <= lines && end[0] == ':' && end[1] == ' ',
               "line %ld of %ld lines: %s", line, lines, message.c_str());
    return;
  }
  FUZZ_CHECK(image.Start >= 0 && image.Start <= image.Stop && image.Stop <= 0xFFFF, "%d..%d",
             image.Start, image.Stop);
  FUZZ_CHECK(image.Data.size() == static_cast<size_t>(image.Stop) + 1, "%zu bytes for %d",
             image.Data.size(), image.Stop);
  FUZZ_CHECK(std::all_of(image.Data.begin(), image.Data.begin() + image.Start,
                         [](uint8_t b) { return b == 0xFF; }),
             "a byte below %04X is not FF", static_cast<unsigned>(image.Start));

  std::istringstream again(write(image));
  const TImage copy = read(again, "copy");
  FUZZ_CHECK(copy.Start == image.Start && copy.Stop == image.Stop && copy.Data == image.Data,
             "written back, %d..%d became %d..%d", image.Start, image.Stop, copy.Start, copy.Stop);
}

}  // namespace orvix::fuzz
