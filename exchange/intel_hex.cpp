// Intel HEX: ":LLAAAATT" + LL data bytes + a checksum that makes the record's bytes sum to 0.
#include <string>

#include "exchange/image_file.h"
#include "exchange/image_records.h"

namespace orvix {
namespace {

using namespace records;

enum RecordType : uint8_t {
  kData = 0,
  kEndOfFile = 1,
  kSegmentAddress = 2,
  kStartSegment = 3,
  kLinearAddress = 4,
  kStartLinear = 5,
};

struct Record {
  uint8_t type = 0;
  uint16_t offset = 0;
  std::vector<uint8_t> bytes;  // the whole record: length, offset, type, data, checksum
  size_t DataSize() const { return bytes.size() - 5; }
};

constexpr int kAnyLength = -1;
constexpr int kUnknownType = -2;

// The data length each type must have.
int RequiredLength(uint8_t type) {
  switch (type) {
    case kData:
      return kAnyLength;
    case kEndOfFile:
      return 0;
    case kSegmentAddress:
    case kLinearAddress:
      return 2;
    case kStartSegment:
    case kStartLinear:
      return 4;
    default:
      return kUnknownType;
  }
}

// Returns what is wrong with `line` as a record, or nothing.
TWhy Parse(const std::string& line, Record& record) {
  if (line.empty() || line[0] != ':')
    return Why(ORVIX_TEXT("image", "%1:%2: malformed record: it does not start with ':'"));
  if (TWhy why = DecodePairs(std::string_view(line).substr(1), record.bytes)) return why;
  if (record.bytes.size() < 5)
    return Why(ORVIX_TEXT("image", "%1:%2: malformed record: too short for a record"));
  const size_t length = record.bytes[0];
  if (record.bytes.size() != length + 5) {
    return Why(ORVIX_TEXT("image",
                          "%1:%2: malformed record: its length field says %3 data bytes, the "
                          "line holds %4"),
               {std::to_string(length), std::to_string(record.bytes.size() - 5)});
  }
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < record.bytes.size(); ++i)
    sum = static_cast<uint8_t>(sum + record.bytes[i]);
  const uint8_t expected = static_cast<uint8_t>(0x100 - sum);
  if (record.bytes.back() != expected) {
    return Why(ORVIX_TEXT("image", "%1:%2: bad checksum: the record has %3, its bytes give %4"),
               {HexText(record.bytes.back(), 2), HexText(expected, 2)});
  }
  record.offset = static_cast<uint16_t>(record.bytes[1] << 8 | record.bytes[2]);
  record.type = record.bytes[3];
  const int required = RequiredLength(record.type);
  if (required == kUnknownType)
    return Why(ORVIX_TEXT("image", "%1:%2: unknown record type %3"), {HexText(record.type, 2)});
  if (required != kAnyLength && length != static_cast<size_t>(required)) {
    return Why(
        ORVIX_TEXT("image",
                   "%1:%2: malformed record: a type %3 record carries %4 data bytes, not %5"),
        {HexText(record.type, 2), std::to_string(required), std::to_string(length)});
  }
  return {};
}

uint32_t Word(const Record& record) {
  return static_cast<uint32_t>(record.bytes[4] << 8 | record.bytes[5]);
}

}  // namespace

bool IsIntelHexRecord(const std::string& line) {
  Record record;
  return !Parse(line, record);
}

TImage ReadIntelHex(std::istream& in, const std::string& name) {
  TDeviceMemory memory(name);
  TLineReader lines(in);
  std::string line;
  Record record;
  uint64_t base = 0;  // from the last extended segment or linear address record
  while (lines.Next(line)) {
    if (IsBlank(line)) continue;
    if (TWhy why = Parse(line, record)) memory.Refuse(lines.Number(), std::move(*why));
    switch (record.type) {
      case kData:
        memory.Put(base + record.offset, record.bytes.data() + 4, record.DataSize(),
                   lines.Number());
        break;
      case kEndOfFile:
        // What follows the end (padding, a second file) is not read.
        return memory.Finish(TImageFormat::ifIntelHex, lines.Number());
      case kSegmentAddress:
        base = static_cast<uint64_t>(Word(record)) << 4;
        break;
      case kLinearAddress:
        base = static_cast<uint64_t>(Word(record)) << 16;
        break;
      default:  // start addresses: the device starts where it starts
        break;
    }
  }
  memory.Refuse(lines.Number() == 0 ? 1 : lines.Number(),
                Why(ORVIX_TEXT("image",
                               "%1:%2: no end-of-file record (type 01) after the last line: the "
                               "file may be cut short")));
}

}  // namespace orvix
