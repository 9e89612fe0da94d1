// The S-record reader on any bytes.
#include "fuzz/record_fuzz.h"

namespace {

// The image's range as 16-byte S1 records, a count and a termination record.
std::string WriteSRecord(const orvix::TImage& image) {
  std::string text = "S0030000FC\n";
  int records = 0;
  auto line = [&text](char type, std::vector<uint8_t> bytes) {
    bytes.insert(bytes.begin(), static_cast<uint8_t>(bytes.size() + 1));
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(~sum));
    text += std::string("S") + type + orvix::fuzz::HexBytes(bytes) + "\n";
  };
  for (int at = image.Start; at <= image.Stop; at += 16, ++records) {
    const int count = std::min(16, image.Stop - at + 1);
    std::vector<uint8_t> bytes{static_cast<uint8_t>(at >> 8), static_cast<uint8_t>(at)};
    bytes.insert(bytes.end(), image.Data.begin() + at, image.Data.begin() + at + count);
    line('1', bytes);
  }
  line('5', {static_cast<uint8_t>(records >> 8), static_cast<uint8_t>(records)});
  line('9', {0, 0});
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvix::fuzz::CheckRecordReader(data, size, orvix::ReadSRecord, WriteSRecord);
  return 0;
}
