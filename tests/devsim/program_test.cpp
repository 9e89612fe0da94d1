// orvix-devsim as a process, the way scripts and process-level tests use it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/far_end.h"
#include "tests/support/frames.h"
#include "tests/support/record_lines.h"

namespace orvix::devsim {
namespace {

using namespace orvix::testing;

// orvix-devsim with these arguments, in English (the lines read here are its English ones).
class Program : public ChildProcess {
 public:
  explicit Program(std::vector<std::string> args, const char* language = "en")
      : ChildProcess(WithProgram(std::move(args)), {std::string("ORVIX_LANG=") + language}) {}

  std::string Line() { return ReadLine(std::chrono::seconds(30)); }

 private:
  static std::vector<std::string> WithProgram(std::vector<std::string> args) {
    args.insert(args.begin(), ORVIX_DEVSIM_PROGRAM);
    return args;
  }
};

std::string PathOf(const std::string& map_entry) {
  return map_entry.substr(map_entry.find('=') + 1);
}

TEST(DevSimProgram, ServesOneRunReportsItAndSavesTheImage) {
  const std::string saved = ::testing::TempDir() + "devsim_saved.bin";
  std::remove(saved.c_str());
  Program program({"--name", "COM4", "--timeout", "30", "--save", saved});
  const std::string entry = program.Line();
  ASSERT_EQ(entry.rfind("COM4=/dev/pts/", 0), 0u) << entry;

  Bytes image(300);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i ^ 0x5C);
  FarEnd host(PathOf(entry));
  for (uint16_t address : {0x0000, 0x0080, 0x0100}) {
    host.Send(Block(2, address, image));
    EXPECT_EQ(host.Read(7), Answer(2, cmdWriteBlock, address));
  }
  host.Send(Checksum(2, Sum(image)));
  EXPECT_EQ(host.Read(7), Answer(2, cmdChecksum));

  const ProcessResult r = program.Wait();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("wrote 0000-017F in 3 block frames"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("matched (0000-012B)"), std::string::npos) << r.out;
  std::ifstream file(saved, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(file), {}), image);
}

TEST(DevSimProgram, AChecksumThatDoesNotMatchExitsWithOne) {
  Program program({"--timeout", "30"});
  FarEnd host(PathOf(program.Line()));
  const Bytes image(128, 0x11);
  host.Send(Block(0, 0, image));
  host.Read(7);
  host.Send(Checksum(0, 0x1234));
  host.Read(7);
  const ProcessResult r = program.Wait();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("did not match (memory sums to 0880)"), std::string::npos) << r.out;
}

TEST(DevSimProgram, ATerminationSignalEndsItWithoutARun) {
  Program program({"--timeout", "30"});
  FarEnd host(PathOf(program.Line()));
  host.Send(Block(0, 0, Bytes(128, 0x01)));
  host.Read(7);
  program.Signal(SIGTERM);
  const ProcessResult r = program.Wait();
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.out.find("no complete run: wrote 0000-007F in 1 block frames"), std::string::npos)
      << r.out;
}

void WriteIntelHex(const std::string& path, uint16_t address, const Bytes& data) {
  std::ofstream(path) << testing::IntelHexLine(0, address, data) << "\n"
                      << testing::kIntelHexEnd << "\n";
}

// Programs `data` at `address` as the programmer would, against a simulator expecting `file`.
int ProgramAgainst(const std::string& file, uint16_t address, const Bytes& data,
                   std::string& output) {
  Program program({"--timeout", "30", "--expect", file});
  FarEnd host(PathOf(program.Line()));
  Bytes image(address, 0xFF);
  image.insert(image.end(), data.begin(), data.end());
  host.Send(Block(0, address, image));
  host.Read(7);
  host.Send(Checksum(0, Sum(data)));
  host.Read(7);
  const ProcessResult r = program.Wait();
  output = r.out;
  return r.exit_code;
}

TEST(DevSimProgram, ExpectComparesTheMemoryWithARecordFileOverItsRange) {
  const std::string file = ::testing::TempDir() + "devsim_expect.hex";
  const Bytes data{1, 2, 3, 4, 5};
  WriteIntelHex(file, 0x1000, data);
  std::string output;
  EXPECT_EQ(ProgramAgainst(file, 0x1000, data, output), 0);
  EXPECT_NE(output.find("memory equals " + file + " over 1000-1004"), std::string::npos) << output;

  // The checksum matches what was written, but not what the file says.
  EXPECT_EQ(ProgramAgainst(file, 0x1000, Bytes{1, 2, 9, 4, 5}, output), 1);
  EXPECT_NE(output.find("memory differs from " + file +
                        " over 1000-1004: 1 bytes, the first at 1002 (09, the file has 03)"),
            std::string::npos)
      << output;
  std::remove(file.c_str());
}

TEST(DevSimProgram, AnExpectFileThatCannotBeLoadedIsAUsageError) {
  const std::string file = ::testing::TempDir() + "devsim_cut.hex";
  std::ofstream(file) << ":0100000001FE\n";
  Program program({"--expect", file});
  const ProcessResult r = program.Wait();
  EXPECT_EQ(r.exit_code, 64);
  EXPECT_NE(r.err.find(file + ":1: "), std::string::npos) << r.err;
  std::remove(file.c_str());
}

TEST(DevSimProgram, BadUsageNamesTheProblem) {
  Program program({"--drop", "blok:1"});
  EXPECT_EQ(program.Wait().exit_code, 64);
}

}  // namespace
}  // namespace orvix::devsim
