#include "exchange/image_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "runtime/file_name.h"

namespace orvix {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void CannotOpen(const std::string& full, const std::string& cause) {
  throw EImageFile("Cannot open file \"" + full + "\". " + cause);
}

}  // namespace

std::string FullFileName(const std::string& path) {
  std::error_code ec;
  fs::path full = fs::absolute(PathFromUtf8(path), ec);
  return ec ? path : Utf8FromPath(full.lexically_normal());
}

std::vector<uint8_t> LoadImageFile(const std::string& path) {
  const std::string full = FullFileName(path);
  const fs::path file = PathFromUtf8(path);
  std::error_code ec;
  // Looked at before opening: opening a FIFO for reading would block until a writer comes.
  const fs::file_status status = fs::status(file, ec);
  if (ec) CannotOpen(full, ec.message());
  if (fs::is_directory(status)) CannotOpen(full, std::strerror(EISDIR));
  if (!fs::is_regular_file(status)) CannotOpen(full, "Not a regular file");

  std::ifstream in(file, std::ios::binary);
  if (!in) CannotOpen(full, std::strerror(errno));
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw EImageFile("Stream read error");
  if (size > kMaxImageSize) {
    throw EImageFile("Файл \"" + full + "\" слишком велик: " + std::to_string(size) +
                     " байт, устройство принимает не более 65536 байт");
  }
  in.seekg(0, std::ios::beg);
  std::vector<uint8_t> image;
  try {
    image.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EImageFile("Out of memory while expanding memory stream");
  }
  if (size > 0 && !in.read(reinterpret_cast<char*>(image.data()), size))
    throw EImageFile("Stream read error");
  return image;
}

}  // namespace orvix
