// Motorola S-record: "S" + type digit + count + address + data + a checksum that is the ones'
// complement of the low byte of the sum of count, address and data.
#include <string>

#include "exchange/image_file.h"
#include "exchange/image_records.h"

namespace orvix {
namespace {

using namespace records;

struct Record {
  int type = 0;                // 0..9
  std::vector<uint8_t> bytes;  // count, address, data, checksum
  size_t address_size = 0;
  uint32_t Address() const {
    uint32_t address = 0;
    for (size_t i = 0; i < address_size; ++i) address = address << 8 | bytes[1 + i];
    return address;
  }
  const uint8_t* Data() const { return bytes.data() + 1 + address_size; }
  size_t DataSize() const { return bytes.size() - 2 - address_size; }
};

// Address bytes per type; 0 for the reserved S4.
size_t AddressSize(int type) {
  static constexpr size_t kSizes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  return kSizes[type];
}

bool IsData(int type) {
  return type >= 1 && type <= 3;
}
bool IsCount(int type) {
  return type == 5 || type == 6;
}
bool IsTermination(int type) {
  return type >= 7;
}

TWhy Parse(const std::string& line, Record& record) {
  if (line.empty() || line[0] != 'S')
    return Why(ORVIX_TEXT("image", "%1:%2: malformed record: it does not start with 'S'"));
  if (line.size() < 2 || line[1] < '0' || line[1] > '9' || line[1] == '4') {
    return Why(ORVIX_TEXT("image", "%1:%2: unknown record type %3"),
               {line.size() < 2 ? std::string("S") : line.substr(0, 2)});
  }
  record.type = line[1] - '0';
  record.address_size = AddressSize(record.type);
  if (TWhy why = DecodePairs(std::string_view(line).substr(2), record.bytes)) return why;
  if (record.bytes.empty()) return Why(ORVIX_TEXT("image", "%1:%2: malformed record: no count"));
  const size_t count = record.bytes[0];
  if (record.bytes.size() != count + 1) {
    return Why(ORVIX_TEXT("image",
                          "%1:%2: malformed record: its count says %3 bytes follow, the line "
                          "holds %4"),
               {std::to_string(count), std::to_string(record.bytes.size() - 1)});
  }
  if (count < record.address_size + 1) {
    return Why(
        ORVIX_TEXT("image",
                   "%1:%2: malformed record: a count of %3 leaves no room for an S%4 "
                   "record's %5-byte address and checksum"),
        {std::to_string(count), std::to_string(record.type), std::to_string(record.address_size)});
  }
  uint8_t sum = 0;
  for (size_t i = 0; i + 1 < record.bytes.size(); ++i)
    sum = static_cast<uint8_t>(sum + record.bytes[i]);
  const uint8_t expected = static_cast<uint8_t>(~sum);
  if (record.bytes.back() != expected) {
    return Why(ORVIX_TEXT("image", "%1:%2: bad checksum: the record has %3, its bytes give %4"),
               {HexText(record.bytes.back(), 2), HexText(expected, 2)});
  }
  if ((IsCount(record.type) || IsTermination(record.type)) && record.DataSize() != 0) {
    return Why(ORVIX_TEXT("image",
                          "%1:%2: malformed record: an S%3 record carries no data, this one %4 "
                          "bytes"),
               {std::to_string(record.type), std::to_string(record.DataSize())});
  }
  return {};
}

}  // namespace

bool IsSRecordLine(const std::string& line) {
  Record record;
  return !Parse(line, record);
}

TImage ReadSRecord(std::istream& in, const std::string& name) {
  TDeviceMemory memory(name);
  TLineReader lines(in);
  std::string line;
  Record record;
  uint32_t data_records = 0;
  while (lines.Next(line)) {
    if (IsBlank(line)) continue;
    if (TWhy why = Parse(line, record)) memory.Refuse(lines.Number(), std::move(*why));
    if (IsData(record.type)) {
      ++data_records;
      memory.Put(record.Address(), record.Data(), record.DataSize(), lines.Number());
    } else if (IsCount(record.type)) {
      // A count that disagrees means records were lost or repeated on the way.
      if (record.Address() != data_records) {
        memory.Refuse(lines.Number(),
                      Why(ORVIX_TEXT("image",
                                     "%1:%2: count record says %3 data records, the file has %4 "
                                     "before it"),
                          {std::to_string(record.Address()), std::to_string(data_records)}));
      }
    } else if (IsTermination(record.type)) {
      // The start address it carries is the device's business; what follows is not read.
      return memory.Finish(TImageFormat::ifSRecord, lines.Number());
    }
    // S0, the header, says nothing about the image.
  }
  memory.Refuse(lines.Number() == 0 ? 1 : lines.Number(),
                Why(ORVIX_TEXT("image",
                               "%1:%2: no termination record (S7, S8 or S9) after the last line: "
                               "the file may be cut short")));
}

}  // namespace orvix
