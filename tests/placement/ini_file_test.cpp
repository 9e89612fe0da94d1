#include "app/placement/ini_file.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/placement/placement_record.h"
#include "tests/support/temp_folder.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;
using orvix::testing::ReadWholeFile;

TEST(IniText, FindsKeysWithParenthesesWhateverTheirCaseAndBlanks) {
  const std::string text =
      "\xEF\xBB\xBF[Other]\r\nNormPos(1280x1024)=9,9,9,9\r\n"
      "[tfmmain]\r\n; NormPos(1280x1024)=8,8,8,8\r\n"
      "  normpos(1280X1024)  =  1,2,3,4  \r\nQuoted=\"  a b \"\r\n[TfmMain]\r\nLate=1\r\n";
  EXPECT_EQ(FindIniValue(text, "TfmMain", "NormPos(1280x1024)"), "1,2,3,4");
  EXPECT_EQ(FindIniValue(text, "Other", "NormPos(1280x1024)"), "9,9,9,9");
  EXPECT_EQ(FindIniValue(text, "TfmMain", "Quoted"), "  a b ");
  // Only the first section of a name counts, as with the Windows profile functions.
  EXPECT_EQ(FindIniValue(text, "TfmMain", "Late"), std::nullopt);
  EXPECT_EQ(FindIniValue(text, "Missing", "NormPos(1280x1024)"), std::nullopt);
}

TEST(IniText, WritingAKeyChangesOnlyItsOwnLineAndKeepsTheLineEnds) {
  const std::string crlf =
      "; notes\r\n[TfmMain]\r\nFlags = 5 ; old\r\nCustom=x\r\n\r\n[Tail]\r\nk=v";
  EXPECT_EQ(SetIniValue(crlf, "TfmMain", "flags", "0", "\n"),
            "; notes\r\n[TfmMain]\r\nflags=0\r\nCustom=x\r\n\r\n[Tail]\r\nk=v");
  EXPECT_EQ(SetIniValue(crlf, "TfmMain", "NormPos(800x600)", "1,2,3,4", "\n"),
            "; notes\r\n[TfmMain]\r\nFlags = 5 ; old\r\nCustom=x\r\nNormPos(800x600)=1,2,3,4\r\n"
            "\r\n[Tail]\r\nk=v");
  EXPECT_EQ(SetIniValue(crlf, "Tail", "k2", "w", "\n"), crlf + "\r\nk2=w\r\n");
  EXPECT_EQ(SetIniValue("[A]\nx=1\n", "TfmMain", "Visible", "0", "\r\n"),
            "[A]\nx=1\n[TfmMain]\nVisible=0\n");
  EXPECT_EQ(SetIniValue("", "TfmMain", "Visible", "0", "\r\n"), "[TfmMain]\r\nVisible=0\r\n");
}

TEST(IniText, RefusesNamesAndValuesThatWouldBreakTheFile) {
  EXPECT_THROW(SetIniValue("", "TfmMain", "a=b", "1", "\n"), std::invalid_argument);
  EXPECT_THROW(SetIniValue("", "TfmMain", "", "1", "\n"), std::invalid_argument);
  EXPECT_THROW(SetIniValue("", "Tfm]Main", "a", "1", "\n"), std::invalid_argument);
  EXPECT_THROW(SetIniValue("", "TfmMain", "a", "1\r\n[Evil]", "\n"), std::invalid_argument);
}

TEST(IniNumbers, ReadsDecimalAndBothHexadecimalFormsWithinThirtyTwoBits) {
  // clang-format off
  const std::pair<const char*, int32_t> readable[] = {
      {"0", 0},     {"-12", -12},    {"+7", 7},        {"$1F", 31},
      {"0x1f", 31}, {"0X10", 16},    {"-$10", -16},    {"$FFFFFFFF", -1},
      {"2147483647", INT32_MAX},     {"-2147483648", INT32_MIN}};
  // clang-format on
  for (const auto& [text, value] : readable) EXPECT_EQ(ParseIniInteger(text), value) << text;
  for (const char* text : {"2147483648", "$100000000", "", "$", "0x", "12a", " 1", "1.5", "--1"})
    EXPECT_EQ(ParseIniInteger(text), std::nullopt) << text;
}

TEST(IniNumbers, PositionValuesSplitOnRunsOfCommasAndBlanks) {
  using P = std::array<std::optional<int32_t>, 4>;
  EXPECT_EQ(ParsePositionNumbers(",, 10 ,20\t30,,40,50"), (P{10, 20, 30, 40}));
  EXPECT_EQ(ParsePositionNumbers("120,80"), (P{120, 80, std::nullopt, std::nullopt}));
  EXPECT_EQ(ParsePositionNumbers("x,-5 $10 0x10"), (P{std::nullopt, -5, 16, 16}));
  EXPECT_EQ(ParsePositionNumbers(""), (P{}));
  EXPECT_EQ(FormatPositionNumbers(-1, -1, -3, 4), "-1,-1,-3,4");
}

TEST(IniNumbers, PlacementFileLiesBesideTheExecutable) {
  EXPECT_EQ(PlacementIniFileName("/opt/orvix/orvix"), "/opt/orvix/orvix.ini");
  EXPECT_EQ(PlacementIniFileName("/opt/a.b/prog.exe"), "/opt/a.b/prog.ini");
}

class IniFileTest : public ::testing::Test {
 protected:
  const orvix::testing::TempFolder folder_{"orvix-ini"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndEachWriteReachesTheFileAtOnce) {
  TIniFile ini((dir_ / "orvix.ini").string());
  EXPECT_EQ(ini.ReadString("TfmMain", "NormPos", "none"), "none");
  EXPECT_EQ(ini.ReadInteger("TfmMain", "ShowCmd", 7), 7);
  ini.WriteInteger("TfmMain", "ShowCmd", 2);
  EXPECT_EQ(ReadWholeFile(dir_ / "orvix.ini"), "[TfmMain]\nShowCmd=2\n");
  ini.WriteString("TfmMain", "NormPos(800x600)", "1,2,3,4");
  EXPECT_EQ(TIniFile(ini.FileName()).ReadString("TfmMain", "NormPos(800x600)", ""), "1,2,3,4");
  EXPECT_EQ(ini.ReadInteger("TfmMain", "ShowCmd", 7), 2);
}

TEST_F(IniFileTest, RewritingKeepsPermissionsAndLinksAndLeavesNoTemporaryFiles) {
  const fs::path real = dir_ / "real.ini";
  const fs::path link = dir_ / "orvix.ini";
  std::ofstream(real, std::ios::binary) << "[A]\r\nx=1\r\n";
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(real, link);
  TIniFile(link.string()).WriteString("A", "x", "2");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(real), "[A]\r\nx=2\r\n");
  EXPECT_EQ(fs::status(real).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(IniFileTest, FailuresNameTheFile) {
  std::ofstream(dir_ / "plain-file") << "not a folder";
  const std::string unwritable = (dir_ / "plain-file" / "orvix.ini").string();
  try {
    TIniFile(unwritable).WriteInteger("TfmMain", "FormVersion", 0);
    ADD_FAILURE() << "the write did not fail";
  } catch (const EIniFile& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + unwritable);
  }
  fs::create_directory(dir_ / "folder.ini");
  try {
    TIniFile((dir_ / "folder.ini").string()).ReadString("TfmMain", "Flags", "");
    ADD_FAILURE() << "the read did not fail";
  } catch (const EIniFile& e) {
    EXPECT_EQ(std::string(e.what()),
              "Unable to read " + (dir_ / "folder.ini").string() + ": Is a directory");
  }
}

TEST_F(IniFileTest, GarbageAndHugeLinesAreReadPastAndKeptByteForByte) {
  using namespace std::string_literals;
  std::string garbage = "\x00\xFF\x01[unclosed\n=no key\n\r\n[]\n;[TfmMain]\nx"s;
  garbage += std::string(4 << 20, 'x') + "\n";  // a 4 MiB line
  garbage += "[TfmMain]\nFlags=7\n\x7F\x80 no equals sign\n";
  std::ofstream(dir_ / "orvix.ini", std::ios::binary) << garbage;
  TIniFile ini((dir_ / "orvix.ini").string());
  EXPECT_EQ(ini.ReadInteger("TfmMain", "Flags", -1), 7);
  EXPECT_EQ(ini.ReadString("TfmMain", "no equals sign", "none"), "none");
  // A new key goes at the end of its section, after whatever else the section holds.
  ini.WriteInteger("TfmMain", "ShowCmd", 1);
  EXPECT_TRUE(ReadWholeFile(dir_ / "orvix.ini") == garbage + "ShowCmd=1\n");
  ini.WriteInteger("TfmMain", "Flags", 8);
  std::string expected = garbage + "ShowCmd=1\n";
  expected.replace(expected.find("Flags=7"), 7, "Flags=8");
  EXPECT_TRUE(ReadWholeFile(dir_ / "orvix.ini") == expected);
}

TEST_F(IniFileTest, WithoutWritePermissionTheFileStaysAsItWas) {
  const fs::path file = dir_ / "orvix.ini";
  const std::string text = "[TfmMain]\r\nFlags=0\r\n";
  std::ofstream(file, std::ios::binary) << text;
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Root writes any file: the write is tried by a child that has become nobody (65534), who
  // must reach the file through the test's folder, made private.
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  std::string error;
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(out[0]);
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
         ::setresuid(65534, 65534, 65534) != 0))
      ::_exit(2);
    std::string what = "written";
    try {
      TIniFile(file.string()).WriteInteger("TfmMain", "Flags", 3);
    } catch (const EIniFile& e) {
      what = e.what();
    }
    ::_exit(::write(out[1], what.data(), what.size()) == static_cast<ssize_t>(what.size()) ? 0 : 3);
  }
  ::close(out[1]);
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) error.append(buffer, n);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(error, "Unable to write to " + file.string());
  EXPECT_EQ(ReadWholeFile(file), text);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace orvix
