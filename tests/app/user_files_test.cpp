// Where the window program's ini file and frame log go, installed or run from its build folder.
#include "app/user_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "tests/support/temp_folder.h"

namespace orvix {
namespace {

namespace fs = std::filesystem;
using orvix::testing::ReadWholeFile;

class Machine {
 public:
  std::map<std::string, std::string> env;
  std::set<fs::path> writable;  // files beside the executable that can be written
  std::set<fs::path> present;

  UserFiles Choose(const fs::path& executable, FilePlatform platform = FilePlatform::kPosix) const {
    return ChooseUserFiles(
        executable, platform,
        [this](const std::string& name) -> std::optional<std::string> {
          const auto it = env.find(name);
          if (it == env.end()) return std::nullopt;
          return it->second;
        },
        [this](const fs::path& file) { return writable.contains(file); },
        [this](const fs::path& file) { return present.contains(file); });
  }
};

TEST(UserFilesChoice, AWritableProgramFolderKeepsBothFilesBesideTheExecutable) {
  Machine m;
  m.env = {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/home/ann/cfg"}};
  m.writable = {"/opt/orvix/orvix.ini", "/opt/orvix/out.txt"};
  m.present = {"/opt/orvix/orvix.ini"};
  const UserFiles files = m.Choose("/opt/orvix/orvix");
  EXPECT_EQ(files.IniFile, fs::path("/opt/orvix/orvix.ini"));
  EXPECT_EQ(files.FrameLog, fs::path("/opt/orvix/out.txt"));
  EXPECT_FALSE(files.IniSeed);
}

TEST(UserFilesChoice, AReadOnlyProgramFolderSendsThemToTheXdgFolders) {
  Machine m;
  m.env = {{"HOME", "/home/ann"},
           {"XDG_CONFIG_HOME", "/home/ann/cfg"},
           {"XDG_STATE_HOME", "/var/tmp/state"}};
  const UserFiles files = m.Choose("/usr/bin/orvix");
  EXPECT_EQ(files.IniFile, fs::path("/home/ann/cfg/orvix/orvix.ini"));
  EXPECT_EQ(files.FrameLog, fs::path("/var/tmp/state/orvix/out.txt"));
  EXPECT_FALSE(files.IniSeed) << "no file beside the executable to start from";
}

TEST(UserFilesChoice, XdgFoldersDefaultUnderHomeWhenUnsetEmptyOrRelative) {
  Machine m;
  m.env = {{"HOME", "/home/ann"}};
  EXPECT_EQ(m.Choose("/usr/bin/orvix").IniFile, fs::path("/home/ann/.config/orvix/orvix.ini"));
  EXPECT_EQ(m.Choose("/usr/bin/orvix").FrameLog, fs::path("/home/ann/.local/state/orvix/out.txt"));
  for (const std::string& bad : {std::string(), std::string("relative/cfg")}) {
    m.env["XDG_CONFIG_HOME"] = bad;
    m.env["XDG_STATE_HOME"] = bad;
    EXPECT_EQ(m.Choose("/usr/bin/orvix").IniFile, fs::path("/home/ann/.config/orvix/orvix.ini"))
        << "XDG_CONFIG_HOME='" << bad << "'";
    EXPECT_EQ(m.Choose("/usr/bin/orvix").FrameLog,
              fs::path("/home/ann/.local/state/orvix/out.txt"));
  }
}

TEST(UserFilesChoice, WithNowhereElseToGoTheFilesStayBesideAndTheWriteReportsIt) {
  Machine m;
  const UserFiles files = m.Choose("/usr/bin/orvix");
  EXPECT_EQ(files.IniFile, fs::path("/usr/bin/orvix.ini"));
  EXPECT_EQ(files.FrameLog, fs::path("/usr/bin/out.txt"));
  m.env = {{"HOME", "relative"}};
  EXPECT_EQ(m.Choose("/usr/bin/orvix").IniFile, fs::path("/usr/bin/orvix.ini"));
}

TEST(UserFilesChoice, AFileBesideTheExecutableIsWhereTheUsersFileStartsFrom) {
  Machine m;
  m.env = {{"HOME", "/home/ann"}};
  m.present = {"/usr/bin/orvix.ini"};
  const UserFiles files = m.Choose("/usr/bin/orvix");
  EXPECT_EQ(files.IniFile, fs::path("/home/ann/.config/orvix/orvix.ini"));
  ASSERT_TRUE(files.IniSeed);
  EXPECT_EQ(*files.IniSeed, fs::path("/usr/bin/orvix.ini"));
}

TEST(UserFilesChoice, EachFileIsJudgedOnItsOwn) {
  // An administrator left a writable ini file in a read-only folder: it is rewritten in place,
  // while a new out.txt cannot be made there.
  Machine m;
  m.env = {{"HOME", "/home/ann"}};
  m.writable = {"/srv/tools/orvix.ini"};
  m.present = {"/srv/tools/orvix.ini"};
  const UserFiles files = m.Choose("/srv/tools/orvix");
  EXPECT_EQ(files.IniFile, fs::path("/srv/tools/orvix.ini"));
  EXPECT_FALSE(files.IniSeed);
  EXPECT_EQ(files.FrameLog, fs::path("/home/ann/.local/state/orvix/out.txt"));
}

TEST(UserFilesChoice, TheIniFileIsNamedAfterTheExecutable) {
  Machine m;
  m.env = {{"HOME", "/home/ann"}};
  EXPECT_EQ(m.Choose("/usr/bin/orvix-test").IniFile,
            fs::path("/home/ann/.config/orvix/orvix-test.ini"));
}

TEST(UserFilesChoice, WindowsUsesAppDataAndLocalAppData) {
  Machine m;
  m.env = {{"APPDATA", "C:/Users/Ann/AppData/Roaming"},
           {"LOCALAPPDATA", "C:/Users/Ann/AppData/Local"},
           {"XDG_CONFIG_HOME", "/home/ann/cfg"},
           {"HOME", "/home/ann"}};
  const UserFiles files = m.Choose("C:/Program Files/Orvix/orvix.exe", FilePlatform::kWindows);
  EXPECT_EQ(files.IniFile, fs::path("C:/Users/Ann/AppData/Roaming") / "Orvix" / "orvix.ini");
  EXPECT_EQ(files.FrameLog, fs::path("C:/Users/Ann/AppData/Local") / "Orvix" / "out.txt");
  m.env.erase("LOCALAPPDATA");
  EXPECT_EQ(m.Choose("C:/Program Files/Orvix/orvix.exe", FilePlatform::kWindows).FrameLog,
            fs::path("C:/Program Files/Orvix/out.txt"))
      << "without LOCALAPPDATA the log stays beside and its write reports the failure";
}

class UserFilesOnDisk : public ::testing::Test {
 protected:
  const orvix::testing::TempFolder folder_{"orvix-user-files"};
  const fs::path& dir_ = folder_.Path();
};

TEST_F(UserFilesOnDisk, AWritableFolderTakesANewFileAndTheProbeLeavesNothingBehind) {
  EXPECT_TRUE(CanWriteAt(dir_ / "orvix.ini"));
  EXPECT_TRUE(fs::is_empty(dir_));
  EXPECT_FALSE(CanWriteAt(dir_ / "missing" / "orvix.ini"));
  fs::create_directory(dir_ / "a-folder.ini");
  EXPECT_FALSE(CanWriteAt(dir_ / "a-folder.ini")) << "a folder in the file's place";
}

TEST_F(UserFilesOnDisk, TheFirstStartCopiesTheFileBesideTheExecutableAsAWritableFile) {
  const fs::path seed = dir_ / "bin" / "orvix.ini";
  fs::create_directories(seed.parent_path());
  const std::string text = "; kept\r\n[Other]\r\nA=1\r\n[TfmMain]\r\nShowCmd=3\r\n";
  std::ofstream(seed, std::ios::binary) << text;
  fs::permissions(seed, fs::perms(0444));
  const UserFiles files{dir_ / "config" / "orvix" / "orvix.ini", dir_ / "out.txt", seed};

  PrepareIniFile(files);
  EXPECT_EQ(ReadWholeFile(files.IniFile), text);
  EXPECT_NE(fs::status(files.IniFile).permissions() & fs::perms::owner_write, fs::perms::none);

  // From then on the user's own file is the one read: a later start does not copy over it.
  std::ofstream(files.IniFile, std::ios::binary | std::ios::trunc) << "[TfmMain]\nShowCmd=1\n";
  PrepareIniFile(files);
  EXPECT_EQ(ReadWholeFile(files.IniFile), "[TfmMain]\nShowCmd=1\n");
}

TEST_F(UserFilesOnDisk, TheFolderIsMadeEvenWithNothingToCopy) {
  const UserFiles files{dir_ / "config" / "orvix" / "orvix.ini", dir_ / "out.txt", std::nullopt};
  PrepareIniFile(files);
  EXPECT_TRUE(fs::is_directory(dir_ / "config" / "orvix"));
  EXPECT_FALSE(fs::exists(files.IniFile)) << "the file itself comes with the first save";
  MakeFolderFor(dir_ / "state" / "orvix" / "out.txt");
  EXPECT_TRUE(fs::is_directory(dir_ / "state" / "orvix"));
}

}  // namespace
}  // namespace orvix
