// The Intel HEX reader on any bytes.
#include "fuzz/record_fuzz.h"
#include "tests/support/record_lines.h"

namespace {

// The image's range as 16-byte data records and an end-of-file record.
std::string WriteIntelHex(const orvix::TImage& image) {
  std::string text;
  for (int at = image.Start; at <= image.Stop; at += 16) {
    const int end = std::min(at + 16, image.Stop + 1);
    text += orvix::testing::IntelHexLine(0, static_cast<uint16_t>(at),
                                         {image.Data.begin() + at, image.Data.begin() + end}) +
            "\n";
  }
  return text + orvix::testing::kIntelHexEnd + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvix::fuzz::CheckRecordReader(data, size, orvix::ReadIntelHex, WriteIntelHex);
  return 0;
}
