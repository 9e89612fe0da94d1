// The Intel HEX reader on any bytes.
#include "fuzz/record_fuzz.h"

namespace {

// The image's range as 16-byte data records and an end-of-file record.
std::string WriteIntelHex(const orvix::TImage& image) {
  std::string text;
  for (int at = image.Start; at <= image.Stop; at += 16) {
    const int count = std::min(16, image.Stop - at + 1);
    std::vector<uint8_t> record{static_cast<uint8_t>(count), static_cast<uint8_t>(at >> 8),
                                static_cast<uint8_t>(at), 0};
    record.insert(record.end(), image.Data.begin() + at, image.Data.begin() + at + count);
    uint8_t sum = 0;
    for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
    record.push_back(static_cast<uint8_t>(0x100 - sum));
    text += ":" + orvix::fuzz::HexBytes(record) + "\n";
  }
  return text + ":00000001FF\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvix::fuzz::CheckRecordReader(data, size, orvix::ReadIntelHex, WriteIntelHex);
  return 0;
}
