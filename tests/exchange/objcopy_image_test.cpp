// The record readers against a converter they share no code with: GNU objcopy turns random
// binaries into Intel HEX and S-record files, and each loaded buffer must equal the binary at
// its addresses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "exchange/image_file.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Conversion {
  const char* name;
  const char* options;  // objcopy's output options
  const char* extension;
  TImageFormat format;
};

// Test listings name the conversion, not the struct's bytes.
void PrintTo(const Conversion& conversion, std::ostream* out) {
  *out << conversion.options;
}

const Conversion kConversions[] = {
    {"ihex", "-O ihex", ".hex", TImageFormat::ifIntelHex},
    {"srec", "-O srec", ".s19", TImageFormat::ifSRecord},
    {"srec-S3", "-O srec --srec-forceS3", ".s37", TImageFormat::ifSRecord},
};

class ObjcopyImageTest : public ::testing::TestWithParam<Conversion> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvix-objcopy-" + std::to_string(::getpid()) + "-" + GetParam().name);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static Bytes Random(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(gen());
    return bytes;
  }
  std::string WriteBinary(const std::string& name, const Bytes& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  static Bytes ReadBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static void Objcopy(const std::string& arguments) {
    const std::string command = "objcopy " + arguments + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  // `bytes` at `address`, converted; returns the record file's path.
  std::string Convert(const Bytes& bytes, unsigned address) {
    const std::string source = WriteBinary("source.bin", bytes);
    const std::string target = (dir_ / (std::string("image") + GetParam().extension)).string();
    Objcopy("-I binary " + std::string(GetParam().options) + " --change-addresses " +
            std::to_string(address) + " " + source + " " + target);
    return target;
  }
  void ExpectLoaded(const std::string& path, const Bytes& bytes, int start) {
    const TImage image = ReadImage(path);
    EXPECT_EQ(image.Format, GetParam().format);
    EXPECT_EQ(image.Start, start);
    EXPECT_EQ(image.Stop, start + static_cast<int>(bytes.size()) - 1);
    ASSERT_EQ(image.Data.size(), start + bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.Data.begin() + start));
    EXPECT_TRUE(std::all_of(image.Data.begin(), image.Data.begin() + start,
                            [](uint8_t b) { return b == 0xFF; }));
  }

  fs::path dir_;
};

TEST_P(ObjcopyImageTest, ImagesAtZeroAndAtAHigherAddress) {
  const Bytes bytes = Random(3000, 1);
  ExpectLoaded(Convert(bytes, 0), bytes, 0);
  ExpectLoaded(Convert(bytes, 0x1000), bytes, 0x1000);
}

TEST_P(ObjcopyImageTest, TheWholeAddressSpaceAndASingleByte) {
  const Bytes full = Random(65536, 2);
  ExpectLoaded(Convert(full, 0), full, 0);
  const Bytes one = Random(1, 3);
  ExpectLoaded(Convert(one, 0), one, 0);
  // At the very top the range starts a block lower, so that its one block ends at FFFF.
  const TImage top = ReadImage(Convert(one, 0xFFFF));
  EXPECT_EQ(top.Start, 0xFF80);
  EXPECT_EQ(top.Stop, 0xFFFF);
  ASSERT_EQ(top.Data.size(), 0x10000u);
  EXPECT_EQ(top.Data[0xFFFF], one[0]);
  EXPECT_TRUE(std::all_of(top.Data.begin(), top.Data.begin() + 0xFFFF,
                          [](uint8_t b) { return b == 0xFF; }));
}

TEST_P(ObjcopyImageTest, TheContentAloneTellsTheFormat) {
  const Bytes bytes = Random(700, 4);
  const std::string named = Convert(bytes, 0x200);
  const std::string bare = (dir_ / "firmware").string();
  fs::copy_file(named, bare);
  ExpectLoaded(bare, bytes, 0x200);
}

TEST_P(ObjcopyImageTest, AGapIsFilledWithFFAsObjcopyFillsIt) {
  // Two sections with a gap between them; objcopy's --gap-fill binary of the same object is what
  // the buffer must hold over the range.
  const std::string low = WriteBinary("low.bin", Random(300, 5));
  const std::string high = WriteBinary("high.bin", Random(200, 6));
  const std::string object = (dir_ / "two.o").string();
  Objcopy("-I binary -O elf32-i386 -B i386 " + low + " " + object);
  Objcopy("--add-section .high=" + high +
          " --set-section-flags .high=alloc,load,contents,data"
          " --change-section-address .high=0x3000 " +
          object);
  const std::string records = (dir_ / (std::string("two") + GetParam().extension)).string();
  const std::string filled = (dir_ / "filled.bin").string();
  Objcopy("--change-addresses 0x800 " + std::string(GetParam().options) + " " + object + " " +
          records);
  Objcopy("--change-addresses 0x800 -O binary --gap-fill 0xFF " + object + " " + filled);
  const Bytes expected = ReadBinary(filled);
  ASSERT_EQ(expected.size(), 0x3000u + 200);

  const TImage image = ReadImage(records);
  EXPECT_EQ(image.Start, 0x800);
  EXPECT_EQ(image.Stop, 0x800 + 0x3000 + 199);
  ASSERT_EQ(image.Data.size(), 0x800u + expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.Data.begin() + 0x800));
}

TEST_P(ObjcopyImageTest, DataBeyondTheDevicesAddressesIsRefused) {
  const std::string far = Convert(Random(16, 7), 0x08000000);
  try {
    ReadImage(far);
    FAIL() << "loaded";
  } catch (const EImageFile& e) {
    EXPECT_NE(std::string(e.what()).find(
                  "record at 08000000 lies outside the device's addresses 0000–FFFF"),
              std::string::npos)
        << e.what();
  }
  // Running over FFFF part-way is refused as well, not wrapped round to 0000.
  EXPECT_THROW(ReadImage(Convert(Random(64, 8), 0xFFF0)), EImageFile);
}

INSTANTIATE_TEST_SUITE_P(Formats, ObjcopyImageTest, ::testing::ValuesIn(kConversions),
                         [](const ::testing::TestParamInfo<Conversion>& param_info) {
                           std::string name = param_info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace orvix
