// The image file: a raw binary read whole, or an Intel HEX or Motorola S-record file as compilers
// write them. One loader for the window, the flasher and the simulator.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace orvix {

// Device addresses are 16 bits wide: a longer image cannot be programmed.
constexpr int64_t kMaxImageSize = 65536;

// Its texts are the "image" domain's: what() is the English one, a front end words it in its
// user's language.
class EImageFile : public ETextError {
 public:
  using ETextError::ETextError;
};

enum class TImageFormat { ifAuto, ifBinary, ifIntelHex, ifSRecord };

// "auto", "bin", "ihex", "srec": the flasher's --format words.
std::string FormatWord(TImageFormat format);
std::optional<TImageFormat> FormatFromWord(const std::string& word);
// "binary", "Intel HEX", "S-record": how messages name a format, in English (context "image").
std::string FormatName(TImageFormat format);

// A loaded image and the range to program.
struct TImage {
  TImageFormat Format = TImageFormat::ifBinary;
  // Byte i holds device address i. A binary file is its bytes; a record file fills addresses up
  // to its highest, bytes it leaves out (below its lowest address, and gaps) being 0xFF.
  std::vector<uint8_t> Data;
  int32_t Start = 0;  // a binary: 0; a record file: its lowest address that carries data
  int32_t Stop = -1;  // the highest; a binary: its size - 1 (-1 for an empty file)
};

// Loads `path` in `format`; Auto chooses by the file's extension (.bin binary; .hex .ihx .ihex
// Intel HEX; .s19 .s28 .s37 .srec .mot .s S-record), otherwise by its first non-blank line (a
// valid record of one format), otherwise binary. An ELF file is refused unless Binary is asked
// for. Raises EImageFile: the binary texts of LoadImageFile, or for a record file
// "FILE:LINE: cause".
TImage ReadImage(const std::string& path, TImageFormat format = TImageFormat::ifAuto);

// The format Auto chooses for `path`, looking at its content only when the extension says
// nothing. Raises EImageFile when the file cannot be opened.
TImageFormat DetectImageFormat(const std::string& path);

// The record readers over any stream; `name` is the file name their messages show.
TImage ReadIntelHex(std::istream& in, const std::string& name);
TImage ReadSRecord(std::istream& in, const std::string& name);

// Whether `line` (without its line end) is one whole, valid record of the format.
bool IsIntelHexRecord(const std::string& line);
bool IsSRecordLine(const std::string& line);

// A binary file, read whole. Raises EImageFile with the window's texts: "Cannot open file
// "<full path>". <cause>", the too-large refusal (checked before anything is read), or
// "Stream read error", or the out-of-memory text. An empty file gives an empty image.
std::vector<uint8_t> LoadImageFile(const std::string& path);

// The full name the messages show for `path`.
std::string FullFileName(const std::string& path);

}  // namespace orvix
