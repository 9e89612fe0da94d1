// The S-record reader on any bytes.
#include "fuzz/record_fuzz.h"
#include "tests/support/record_lines.h"

namespace {

// The image's range as 16-byte S1 records after a header, then a count and a termination record.
std::string WriteSRecord(const orvix::TImage& image) {
  using orvix::testing::SRecordLine;
  std::string text = SRecordLine(0, 0, {}) + "\n";
  uint32_t records = 0;
  for (int at = image.Start; at <= image.Stop; at += 16, ++records) {
    const int end = std::min(at + 16, image.Stop + 1);
    text += SRecordLine(1, static_cast<uint32_t>(at),
                        {image.Data.begin() + at, image.Data.begin() + end}) +
            "\n";
  }
  return text + SRecordLine(5, records, {}) + "\n" + SRecordLine(9, 0, {}) + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvix::fuzz::CheckRecordReader(data, size, orvix::ReadSRecord, WriteSRecord);
  return 0;
}
