#include "exchange/image_records.h"

namespace orvix::records {

bool TLineReader::Next(std::string& line) {
  line.clear();
  std::streambuf* buffer = in_.rdbuf();
  int c = buffer->sbumpc();
  if (c == std::char_traits<char>::eof()) return false;
  ++number_;
  for (; c != std::char_traits<char>::eof() && c != '\n'; c = buffer->sbumpc()) {
    if (line.size() > kMaxLine) continue;  // cut: the parser refuses it
    line += static_cast<char>(c);
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  return true;
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

namespace {

// A character shown as itself where it prints, as its byte value where it does not.
TText NotADigit(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F)
    return Why(ORVIX_TEXT("image", "%1:%2: malformed record: '%3' is not a hexadecimal digit"),
               {std::string(1, c)});
  return Why(ORVIX_TEXT("image", "%1:%2: malformed record: byte %3 is not a hexadecimal digit"),
             {HexText(u, 2)});
}

}  // namespace

TText Why(const char* source, std::vector<std::string> figures) {
  return {"image", source, std::move(figures), {}};
}

TWhy DecodePairs(std::string_view digits, std::vector<uint8_t>& bytes) {
  bytes.clear();
  for (char c : digits)
    if (HexDigitValue(c) < 0) return NotADigit(c);
  if (digits.size() % 2 != 0)
    return Why(ORVIX_TEXT("image", "%1:%2: malformed record: an odd number of hexadecimal digits"));
  bytes.reserve(digits.size() / 2);
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(
        static_cast<uint8_t>(HexDigitValue(digits[i]) << 4 | HexDigitValue(digits[i + 1])));
  return {};
}

TDeviceMemory::TDeviceMemory(std::string name) : name_(std::move(name)) {}

void TDeviceMemory::Refuse(int line, TText why) const {
  why.Args.insert(why.Args.begin(), {name_, std::to_string(line)});
  throw EImageFile(std::move(why));
}

void TDeviceMemory::Put(uint64_t address, const uint8_t* data, size_t count, int line) {
  if (count == 0) return;
  const uint64_t last = address + count - 1;
  if (last >= static_cast<uint64_t>(kMaxImageSize)) {
    const std::string first = HexText(static_cast<uint32_t>(address), 8);
    if (address >= static_cast<uint64_t>(kMaxImageSize))
      Refuse(line, Why(ORVIX_TEXT("image",
                                  "%1:%2: record at %3 lies outside the device's addresses "
                                  "0000–FFFF"),
                       {first}));
    Refuse(line, Why(ORVIX_TEXT("image",
                                "%1:%2: record at %3 lies outside the device's addresses "
                                "0000–FFFF (its last byte would be at %4)"),
                     {first, HexText(static_cast<uint32_t>(last), 8)}));
  }
  if (bytes_.empty()) {
    bytes_.assign(kMaxImageSize, 0xFF);
    written_.assign(kMaxImageSize, false);
  }
  for (size_t i = 0; i < count; ++i) {
    const size_t at = address + i;
    const uint8_t value = data[i];
    if (written_[at] && bytes_[at] != value) {
      Refuse(line, Why(ORVIX_TEXT("image", "%1:%2: record puts %3 at %4, where line %5 put %6"),
                       {HexText(value, 2), AddressText(static_cast<uint32_t>(at)),
                        std::to_string(LineOf(at)), HexText(bytes_[at], 2)}));
    }
    bytes_[at] = value;
    written_[at] = true;
  }
  spans_.push_back({static_cast<size_t>(address), static_cast<size_t>(last), line});
  if (lowest_ < 0 || static_cast<int64_t>(address) < lowest_)
    lowest_ = static_cast<int64_t>(address);
  if (static_cast<int64_t>(last) > highest_) highest_ = static_cast<int64_t>(last);
}

int TDeviceMemory::LineOf(size_t address) const {
  for (const TSpan& span : spans_)
    if (address >= span.First && address <= span.Last) return span.Line;
  return 0;
}

TImage TDeviceMemory::Finish(TImageFormat format, int end_line) {
  if (highest_ < 0)
    Refuse(end_line, Why(ORVIX_TEXT("image", "%1:%2: the file holds no data: nothing to program")));
  TImage image;
  image.Format = format;
  bytes_.resize(static_cast<size_t>(highest_) + 1);
  image.Data = std::move(bytes_);
  image.Start = static_cast<int32_t>(lowest_);
  image.Stop = static_cast<int32_t>(highest_);
  return image;
}

}  // namespace orvix::records
