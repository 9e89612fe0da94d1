// Intel HEX and S-record files: what is loaded, what is refused and where, and how the loader
// tells the formats apart. The files here are written by hand so that each carries one fault;
// objcopy_image_test.cpp checks the loader against files a converter of its own wrote.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exchange/image_file.h"
#include "tests/support/record_lines.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr auto Ihex = &testing::IntelHexLine;
constexpr auto Srec = &testing::SRecordLine;

const std::string kEof = testing::kIntelHexEnd;
const std::string kS9 = Srec(9, 0, {});

class ImageRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvix-records-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::vector<std::string>& lines,
                    const std::string& end = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + end;
    return WriteRaw(name, text);
  }
  std::string WriteRaw(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  static std::string ErrorOf(const std::string& path, TImageFormat format = TImageFormat::ifAuto) {
    try {
      ReadImage(path, format);
    } catch (const EImageFile& e) {
      return e.what();
    }
    return "(loaded)";
  }
  // The refusal of `lines` as `name` must begin with "FILE:LINE: " and hold `cause`.
  void ExpectRefused(const std::string& name, const std::vector<std::string>& lines, int line,
                     const std::string& cause) {
    const std::string path = Write(name, lines);
    const std::string error = ErrorOf(path);
    const std::string where = path + ":" + std::to_string(line) + ": ";
    EXPECT_EQ(error.substr(0, where.size()), where) << error;
    EXPECT_NE(error.find(cause), std::string::npos) << error;
  }

  fs::path dir_;
};

TEST_F(ImageRecordsTest, IntelHexFillsAddressesFromItsLowestToItsHighest) {
  const TImage image =
      ReadImage(Write("gap.hex", {Ihex(0, 0x1000, {1, 2, 3}), Ihex(0, 0x1005, {6}), kEof}));
  EXPECT_EQ(image.Format, TImageFormat::ifIntelHex);
  EXPECT_EQ(image.Start, 0x1000);
  EXPECT_EQ(image.Stop, 0x1005);
  ASSERT_EQ(image.Data.size(), 0x1006u);
  EXPECT_EQ(Bytes(image.Data.begin() + 0x1000, image.Data.end()), (Bytes{1, 2, 3, 0xFF, 0xFF, 6}));
  // Below the range nothing is sent, but the buffer still holds address i at byte i.
  EXPECT_EQ(image.Data[0], 0xFF);
  EXPECT_EQ(image.Data[0xFFF], 0xFF);
}

TEST_F(ImageRecordsTest, IntelHexAcceptsWhatCompilersWrite) {
  // CR LF and lower case, blank lines, the base from segment and linear address records, start
  // address records, and anything after the end.
  std::string lower = Ihex(0, 0x0010, {0xAB, 0xCD});
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string path =
      Write("mixed.ihx",
            {Ihex(4, 0, {0x00, 0x00}), "", lower, "   ", Ihex(2, 0, {0x01, 0x00}),
             Ihex(0, 0x0002, {0x11}), Ihex(3, 0, {0, 0, 0x12, 0x34}), Ihex(5, 0, {0, 0, 0x10, 0}),
             kEof, "garbage after the end", Ihex(0, 0, {0x99})},
            "\r\n");
  const TImage image = ReadImage(path);
  EXPECT_EQ(image.Start, 0x0010);
  EXPECT_EQ(image.Stop, 0x1002);  // segment 0100 puts offset 0002 at 1002
  EXPECT_EQ(image.Data[0x10], 0xAB);
  EXPECT_EQ(image.Data[0x11], 0xCD);
  EXPECT_EQ(image.Data[0x1002], 0x11);
}

TEST_F(ImageRecordsTest, SRecordTakesEveryAddressWidthAndChecksItsCount) {
  const TImage image = ReadImage(Write(
      "all.s37", {Srec(0, 0, {'h', 'd', 'r'}), Srec(1, 0x0100, {1, 2}), Srec(2, 0x000200, {3}),
                  Srec(3, 0x00000300, {4}), Srec(5, 3, {}), Srec(7, 0, {})}));
  EXPECT_EQ(image.Format, TImageFormat::ifSRecord);
  EXPECT_EQ(image.Start, 0x100);
  EXPECT_EQ(image.Stop, 0x300);
  EXPECT_EQ(image.Data[0x100], 1);
  EXPECT_EQ(image.Data[0x101], 2);
  EXPECT_EQ(image.Data[0x200], 3);
  EXPECT_EQ(image.Data[0x300], 4);
  EXPECT_EQ(image.Data[0x102], 0xFF);
}

TEST_F(ImageRecordsTest, TheSameBytesTwiceAreAllowed) {
  const std::string path =
      Write("twice.hex", {Ihex(0, 0x20, {1, 2, 3}), Ihex(0, 0x21, {2, 3, 4}), kEof});
  const TImage image = ReadImage(path);
  EXPECT_EQ(Bytes(image.Data.begin() + 0x20, image.Data.end()), (Bytes{1, 2, 3, 4}));
}

TEST_F(ImageRecordsTest, IntelHexRefusalsNameTheFileTheLineAndTheCause) {
  const std::string data = Ihex(0, 0, {1, 2});
  std::string bad_sum = data;
  bad_sum.back() = bad_sum.back() == '0' ? '1' : '0';
  ExpectRefused("sum.hex", {data, bad_sum, kEof}, 2, "bad checksum");
  ExpectRefused("colon.hex", {data, data.substr(1), kEof}, 2, "malformed record");
  ExpectRefused("digit.hex", {data, data, ":02000000G1020B", kEof}, 3, "malformed record: 'G'");
  ExpectRefused("odd.hex", {data, data + "0", kEof}, 2, "malformed record: an odd number");
  ExpectRefused("short.hex", {":0000", kEof}, 1, "malformed record");
  // The length field says 3, the line holds 2 data bytes.
  ExpectRefused("length.hex", {data, ":03000000010200", kEof}, 2,
                "its length field says 3 data bytes, the line holds 2");
  ExpectRefused("type-length.hex", {Ihex(4, 0, {0, 0, 0}), kEof}, 1,
                "a type 04 record carries 2 data bytes, not 3");
  ExpectRefused("type.hex", {data, Ihex(6, 0, {}), kEof}, 2, "unknown record type 06");
  ExpectRefused("cut.hex", {data, Ihex(0, 2, {3}), Ihex(0, 3, {4})}, 3,
                "the file may be cut short");
  ExpectRefused("cut-mid-line.hex", {data, data.substr(0, 7)}, 2, "malformed record");
  ExpectRefused("far.hex", {data, Ihex(4, 0, {0x08, 0x00}), Ihex(0, 0, {1}), kEof}, 3,
                "record at 08000000 lies outside the device's addresses 0000–FFFF");
  ExpectRefused("crossing.hex", {Ihex(0, 0xFFFE, {1, 2, 3}), kEof}, 1,
                "record at 0000FFFE lies outside the device's addresses 0000–FFFF");
  ExpectRefused("segment.hex", {Ihex(2, 0, {0x10, 0x00}), Ihex(0, 0, {1}), kEof}, 2,
                "record at 00010000 lies outside");
  ExpectRefused("overlap.hex",
                {data, Ihex(0, 0x10, {5}), Ihex(0, 0x11, {6}), Ihex(0, 0x10, {7}), kEof}, 4,
                "record puts 07 at 0010, where line 2 put 05");
  ExpectRefused("nodata.hex", {Ihex(4, 0, {0, 0}), "", kEof}, 3, "no data");
  ExpectRefused("zero-length-only.hex", {Ihex(0, 0x10, {}), kEof}, 2, "no data");
}

TEST_F(ImageRecordsTest, SRecordRefusalsNameTheFileTheLineAndTheCause) {
  const std::string data = Srec(1, 0, {1, 2});
  std::string bad_sum = data;
  bad_sum.back() = bad_sum.back() == '0' ? '1' : '0';
  ExpectRefused("sum.srec", {data, bad_sum, kS9}, 2, "bad checksum");
  ExpectRefused("start.srec", {data, "X" + data.substr(1), kS9}, 2, "malformed record");
  ExpectRefused("digit.srec", {data, "S1050000Z1F9", kS9}, 2, "malformed record: 'Z'");
  ExpectRefused("count.srec", {data, "S1060000010203", kS9}, 2, "malformed record: its count");
  ExpectRefused("too-small.srec", {"S101FE", kS9}, 1, "malformed record");
  ExpectRefused("s4.srec", {data, Srec(4, 0, {}), kS9}, 2, "unknown record type S4");
  ExpectRefused("sx.srec", {data, "SX030000FC", kS9}, 2, "unknown record type SX");
  ExpectRefused("cut.s19", {Srec(0, 0, {}), data, Srec(1, 2, {3})}, 3, "the file may be cut short");
  ExpectRefused("far.s37", {data, Srec(3, 0x08000000, {1}), Srec(7, 0, {})}, 2,
                "record at 08000000 lies outside the device's addresses 0000–FFFF");
  ExpectRefused("far.s28", {Srec(2, 0x010000, {1}), Srec(8, 0, {})}, 1,
                "record at 00010000 lies outside");
  ExpectRefused("overlap.mot", {Srec(1, 0x10, {5, 6}), data, Srec(1, 0x11, {9}), kS9}, 3,
                "record puts 09 at 0011, where line 1 put 06");
  ExpectRefused("nodata.srec", {Srec(0, 0, {'x'}), kS9}, 2, "no data");
  ExpectRefused("s5.srec", {data, Srec(1, 2, {3}), Srec(5, 3, {}), kS9}, 3,
                "count record says 3 data records, the file has 2");
  ExpectRefused("s6.srec", {data, Srec(6, 0, {}), kS9}, 2, "count record says 0");
  ExpectRefused("s9-data.srec", {data, Srec(9, 0, {1})}, 2, "carries no data");
}

// Blocks go out whole from the start address: from a start off a block boundary, data that
// reaches near FFFF would have the last block's fill written past FFFF, over 0000 on the device.
// The start goes down instead, just enough, and the bytes below the data are FF.
TEST_F(ImageRecordsTest, DataReachingTheTopStartsLowEnoughForTheLastBlockToEndAtFFFF) {
  const TImage high =
      ReadImage(Write("high.hex", {Ihex(0, 0xC010, {1}), Ihex(0, 0xFFFF, {2}), kEof}));
  EXPECT_EQ(high.Start, 0xC000);
  EXPECT_EQ(high.Stop, 0xFFFF);
  ASSERT_EQ(high.Data.size(), 0x10000u);
  EXPECT_TRUE(std::all_of(high.Data.begin() + 0xC000, high.Data.begin() + 0xC010,
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(high.Data[0xC010], 1);
  EXPECT_EQ(high.Data[0xFFFF], 2);
  EXPECT_EQ(ReadImage(Write("high.s19", {Srec(1, 0xFFF0, {1, 2}), kS9})).Start, 0xFF80);

  // The last block ending at FFFF as it is: the start stays. One byte more: every block moves.
  EXPECT_EQ(ReadImage(Write("edge.hex", {Ihex(0, 0x0010, {1}), Ihex(0, 0xFF8F, {2}), kEof})).Start,
            0x0010);
  EXPECT_EQ(ReadImage(Write("over.hex", {Ihex(0, 0x0010, {1}), Ihex(0, 0xFF90, {2}), kEof})).Start,
            0x0000);
  // Away from the top an odd start is kept: the first block goes out at the file's address.
  EXPECT_EQ(ReadImage(Write("low.hex", {Ihex(0, 0x1010, {1}), kEof})).Start, 0x1010);
}

TEST_F(ImageRecordsTest, AFormatAskedForIsReadStrictly) {
  const std::string path = Write("records.txt", {Srec(1, 0x40, {7}), kS9});
  EXPECT_EQ(ErrorOf(path, TImageFormat::ifIntelHex).rfind(path + ":1: malformed record", 0), 0u);
  EXPECT_EQ(ReadImage(path, TImageFormat::ifSRecord).Start, 0x40);
  EXPECT_EQ(ReadImage(path, TImageFormat::ifBinary).Data.size(), fs::file_size(path));
}

TEST_F(ImageRecordsTest, TheExtensionChoosesTheFormatFirst) {
  const std::vector<std::string> hex = {Ihex(0, 0x10, {1}), kEof};
  for (const char* name : {"a.hex", "a.HEX", "a.ihx", "a.ihex"})
    EXPECT_EQ(DetectImageFormat(Write(name, hex)), TImageFormat::ifIntelHex) << name;
  const std::vector<std::string> srec = {Srec(1, 0x10, {1}), kS9};
  for (const char* name : {"a.s19", "a.s28", "a.s37", "a.srec", "a.mot", "a.s", "a.SREC"})
    EXPECT_EQ(DetectImageFormat(Write(name, srec)), TImageFormat::ifSRecord) << name;
  // A .bin file is raw bytes, whatever it holds: its text goes to the device as it stands.
  const std::string bin = Write("records.bin", hex);
  const TImage image = ReadImage(bin);
  EXPECT_EQ(image.Format, TImageFormat::ifBinary);
  EXPECT_EQ(image.Start, 0);
  EXPECT_EQ(image.Stop, static_cast<int32_t>(fs::file_size(bin)) - 1);
  EXPECT_EQ(image.Data[0], ':');
}

TEST_F(ImageRecordsTest, WithoutAKnownExtensionTheContentDecides) {
  EXPECT_EQ(DetectImageFormat(Write("fw", {"", Ihex(0, 0x10, {1}), kEof}, "\r\n")),
            TImageFormat::ifIntelHex);
  EXPECT_EQ(DetectImageFormat(Write("fw.out", {Srec(0, 0, {}), Srec(1, 0, {1}), kS9})),
            TImageFormat::ifSRecord);
  EXPECT_EQ(DetectImageFormat(WriteRaw("fw.dat", std::string("\x01\x02:\n\xFF", 5))),
            TImageFormat::ifBinary);
  // A colon and hex digits are not enough: a record needs its checksum to be right.
  EXPECT_EQ(DetectImageFormat(Write("fw.txt", {":0100000001FF", kEof})), TImageFormat::ifBinary);
  EXPECT_EQ(DetectImageFormat(WriteRaw("empty", "")), TImageFormat::ifBinary);
  EXPECT_EQ(ReadImage(WriteRaw("empty", "")).Stop, -1);
}

TEST_F(ImageRecordsTest, AFileThatBeginsAsRecordsIsNeverProgrammedAsItsText) {
  // Damaged further on, such a file is refused where it is damaged, not sent as ASCII.
  const std::string path = Write("fw", {Ihex(0, 0, {1}), Ihex(0, 1, {2}), ":0100"});
  EXPECT_EQ(ErrorOf(path).rfind(path + ":3: malformed record", 0), 0u) << ErrorOf(path);
}

TEST_F(ImageRecordsTest, AnElfFileIsRefusedWithHowToConvertIt) {
  std::string elf(
      "\x7F"
      "ELF\x02\x01\x01",
      7);
  elf += std::string(100, '\0');
  for (const char* name : {"fw.elf", "fw.bin", "fw.hex", "fw"}) {
    const std::string path = WriteRaw(name, elf);
    const std::string error = ErrorOf(path);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("objcopy -O ihex"), std::string::npos) << error;
  }
  // Asked for as raw bytes, it is raw bytes.
  EXPECT_EQ(ReadImage(dir_.string() + "/fw", TImageFormat::ifBinary).Data.size(), elf.size());
}

TEST_F(ImageRecordsTest, ARecordFileCannotBeOpenedWithTheBinaryTexts) {
  const std::string missing = (dir_ / "missing.hex").string();
  EXPECT_EQ(ErrorOf(missing), "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(ErrorOf(dir_.string(), TImageFormat::ifIntelHex),
            "Cannot open file \"" + dir_.string() + "\". Is a directory");
}

TEST_F(ImageRecordsTest, AnOverlongLineIsRefusedWithoutReadingOn) {
  std::istringstream in(":" + std::string(1 << 20, '0') + "\n" + kEof + "\n");
  try {
    ReadIntelHex(in, "stream");
    FAIL() << "loaded";
  } catch (const EImageFile& e) {
    EXPECT_EQ(std::string(e.what()).rfind("stream:1: malformed record", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace orvix
