#include "exchange/image_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "exchange/image_records.h"
#include "link/frame.h"
#include "runtime/file_name.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

TText ImageText(const char* source, std::vector<std::string> args = {}) {
  return {"image", source, std::move(args), {}};
}

// The cause is the system's own text: it stays as the system words it.
[[noreturn]] void CannotOpen(const std::string& full, const std::string& cause) {
  throw EImageFile(ImageText(ORVIX_TEXT("image", "Cannot open file \"%1\". %2"), {full, cause}));
}

[[noreturn]] void StreamReadError() {
  throw EImageFile(ImageText(ORVIX_TEXT("image", "Stream read error")));
}

// Opens `path` for reading, or raises with the window's texts.
std::ifstream OpenForReading(const std::string& path, const std::string& full) {
  const fs::path file = PathFromUtf8(path);
  std::error_code ec;
  // Looked at before opening: opening a FIFO for reading would block until a writer comes.
  const fs::file_status status = fs::status(file, ec);
  if (ec) CannotOpen(full, ec.message());
  if (fs::is_directory(status)) CannotOpen(full, std::strerror(EISDIR));
  if (!fs::is_regular_file(status)) {
    throw EImageFile(
        ImageText(ORVIX_TEXT("image", "Cannot open file \"%1\". Not a regular file"), {full}));
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) CannotOpen(full, std::strerror(errno));
  return in;
}

std::optional<TImageFormat> FormatFromExtension(const std::string& path) {
  std::string extension = Utf8FromPath(PathFromUtf8(path).extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".bin") return TImageFormat::ifBinary;
  if (extension == ".hex" || extension == ".ihx" || extension == ".ihex")
    return TImageFormat::ifIntelHex;
  for (const char* s : {".s19", ".s28", ".s37", ".srec", ".mot", ".s"})
    if (extension == s) return TImageFormat::ifSRecord;
  return std::nullopt;
}

// Enough of the file to see its magic number and first records.
constexpr size_t kSniffSize = 64 * 1024;

std::string FileStart(std::ifstream& in) {
  std::string start(kSniffSize, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<size_t>(in.gcount()));
  return start;
}

bool IsElf(const std::string& start) {
  return start.rfind(
             "\x7F"
             "ELF",
             0) == 0;
}

// The format whose record the first non-blank line is, if it is one whole valid record.
TImageFormat FormatFromContent(const std::string& start) {
  size_t at = 0;
  while (at < start.size()) {
    size_t end = start.find('\n', at);
    // A line cut off by the sniffing limit is not judged.
    if (end == std::string::npos && start.size() == kSniffSize) break;
    if (end == std::string::npos) end = start.size();
    std::string line = start.substr(at, end - at);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    if (!records::IsBlank(line)) {
      if (IsIntelHexRecord(line)) return TImageFormat::ifIntelHex;
      if (IsSRecordLine(line)) return TImageFormat::ifSRecord;
      break;
    }
    at = end + 1;
  }
  return TImageFormat::ifBinary;
}

// The run writes whole blocks from the start address, the last one filled up with FF. From a
// start off a block boundary, data that reaches near FFFF would have that fill run past FFFF,
// and a device with 16-bit addresses would write it over 0000 and up. The start is lowered
// instead, just enough for the last block to end at FFFF: the bytes below the data are then
// filled with FF as those above it are.
void KeepBlocksBelowTheTop(TImage& image) {
  constexpr int32_t kBlock = kBlockDataSize;
  constexpr int32_t kEnd = 0x10000;
  if (image.Stop < image.Start) return;
  const int32_t blocks = (image.Stop - image.Start + kBlock) / kBlock;
  if (image.Start + blocks * kBlock > kEnd) image.Start = kEnd - blocks * kBlock;
}

[[noreturn]] void RefuseElf(const std::string& full) {
  throw EImageFile(
      ImageText(ORVIX_TEXT("image",
                           "\"%1\" is an ELF file (a linker's output), not an image: convert "
                           "it first, for example with objcopy -O ihex \"%1\" image.hex"),
                {full}));
}

}  // namespace

namespace {

struct FormatNames {
  TImageFormat format;
  const char* word;
  const char* name;
};

constexpr FormatNames kFormatNames[] = {
    {TImageFormat::ifAuto, "auto", ORVIX_TEXT("image", "automatic")},
    {TImageFormat::ifBinary, "bin", ORVIX_TEXT("image", "binary")},
    {TImageFormat::ifIntelHex, "ihex", ORVIX_TEXT("image", "Intel HEX")},
    {TImageFormat::ifSRecord, "srec", ORVIX_TEXT("image", "S-record")},
};

const FormatNames& NamesOf(TImageFormat format) {
  for (const FormatNames& names : kFormatNames)
    if (names.format == format) return names;
  return kFormatNames[0];
}

}  // namespace

std::string FormatWord(TImageFormat format) { return NamesOf(format).word; }
std::string FormatName(TImageFormat format) { return NamesOf(format).name; }

std::optional<TImageFormat> FormatFromWord(const std::string& word) {
  for (const FormatNames& names : kFormatNames)
    if (word == names.word) return names.format;
  return std::nullopt;
}

std::string FullFileName(const std::string& path) {
  std::error_code ec;
  fs::path full = fs::absolute(PathFromUtf8(path), ec);
  return ec ? path : Utf8FromPath(full.lexically_normal());
}

TImageFormat DetectImageFormat(const std::string& path) {
  if (const auto by_name = FormatFromExtension(path)) return *by_name;
  std::ifstream in = OpenForReading(path, FullFileName(path));
  return FormatFromContent(FileStart(in));
}

TImage ReadImage(const std::string& path, TImageFormat format) {
  const std::string full = FullFileName(path);
  if (format != TImageFormat::ifBinary) {
    std::ifstream in = OpenForReading(path, full);
    const std::string start = FileStart(in);
    // Programmed as it stands, a linker's output would put its headers into the device.
    if (IsElf(start)) RefuseElf(full);
    if (format == TImageFormat::ifAuto)
      format = FormatFromExtension(path).value_or(FormatFromContent(start));
    if (format != TImageFormat::ifBinary) {
      in.clear();
      in.seekg(0);
      if (!in) StreamReadError();
      TImage image =
          format == TImageFormat::ifIntelHex ? ReadIntelHex(in, full) : ReadSRecord(in, full);
      KeepBlocksBelowTheTop(image);
      return image;
    }
  }
  TImage image;
  image.Format = TImageFormat::ifBinary;
  image.Data = LoadImageFile(path);
  image.Start = 0;
  image.Stop = static_cast<int32_t>(image.Data.size()) - 1;
  return image;
}

std::vector<uint8_t> LoadImageFile(const std::string& path) {
  const std::string full = FullFileName(path);
  std::ifstream in = OpenForReading(path, full);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) StreamReadError();
  if (size > kMaxImageSize) {
    throw EImageFile(ImageText(ORVIX_TEXT("image",
                                          "File \"%1\" is too large: %2 bytes, the device takes "
                                          "at most 65536 bytes"),
                               {full, std::to_string(size)}));
  }
  in.seekg(0, std::ios::beg);
  std::vector<uint8_t> image;
  try {
    image.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EImageFile(ImageText(ORVIX_TEXT("image", "Out of memory while expanding memory stream")));
  }
  if (size > 0 && !in.read(reinterpret_cast<char*>(image.data()), size))
    StreamReadError();
  return image;
}

}  // namespace orvix
