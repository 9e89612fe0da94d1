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

// Returns what is wrong with `line` as a record, or an empty text.
std::string Parse(const std::string& line, Record& record) {
  if (line.empty() || line[0] != ':') return "malformed record: it does not start with ':'";
  if (std::string why = DecodePairs(std::string_view(line).substr(1), record.bytes); !why.empty())
    return why;
  if (record.bytes.size() < 5) return "malformed record: too short for a record";
  const size_t length = record.bytes[0];
  if (record.bytes.size() != length + 5) {
    return "malformed record: its length field says " + std::to_string(length) +
           " data bytes, the line holds " + std::to_string(record.bytes.size() - 5);
  }
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < record.bytes.size(); ++i)
    sum = static_cast<uint8_t>(sum + record.bytes[i]);
  const uint8_t expected = static_cast<uint8_t>(0x100 - sum);
  if (record.bytes.back() != expected) {
    return "bad checksum: the record has " + HexText(record.bytes.back(), 2) + ", its bytes give " +
           HexText(expected, 2);
  }
  record.offset = static_cast<uint16_t>(record.bytes[1] << 8 | record.bytes[2]);
  record.type = record.bytes[3];
  const int required = RequiredLength(record.type);
  if (required == kUnknownType) return "unknown record type " + HexText(record.type, 2);
  if (required != kAnyLength && length != static_cast<size_t>(required)) {
    return "malformed record: a type " + HexText(record.type, 2) + " record carries " +
           std::to_string(required) + " data bytes, not " + std::to_string(length);
  }
  return {};
}

uint32_t Word(const Record& record) {
  return static_cast<uint32_t>(record.bytes[4] << 8 | record.bytes[5]);
}

}  // namespace

bool IsIntelHexRecord(const std::string& line) {
  Record record;
  return Parse(line, record).empty();
}

TImage ReadIntelHex(std::istream& in, const std::string& name) {
  TDeviceMemory memory(name);
  TLineReader lines(in);
  std::string line;
  Record record;
  uint64_t base = 0;  // from the last extended segment or linear address record
  while (lines.Next(line)) {
    if (IsBlank(line)) continue;
    if (std::string why = Parse(line, record); !why.empty()) memory.Refuse(lines.Number(), why);
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
                "no end-of-file record (type 01) after the last line: the file may be cut short");
}

}  // namespace orvix
