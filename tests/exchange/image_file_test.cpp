#include "exchange/image_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#endif

#include <filesystem>
#include <fstream>

#include "runtime/file_name.h"

namespace orvix {
namespace {
namespace fs = std::filesystem;

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvix-image-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, size_t size) {
    fs::path p = dir_ / name;
    std::ofstream out(p, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
    return p.string();
  }
  std::string ErrorOf(const std::string& path) {
    try {
      LoadImageFile(path);
    } catch (const EImageFile& e) {
      return e.what();
    }
    return "";
  }
#ifndef _WIN32
  // Root reads every file: the load runs in a child that has given root up for nobody (65534).
  std::string ErrorAsNobody(const std::string& path) {
    int out[2];
    if (::pipe(out) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(out[0]);
      if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
          ::setresuid(65534, 65534, 65534) != 0)
        ::_exit(2);
      const std::string error = ErrorOf(path);
      const ssize_t written = ::write(out[1], error.data(), error.size());
      ::_exit(written == static_cast<ssize_t>(error.size()) ? 0 : 3);
    }
    ::close(out[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) error.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? error : "the child failed";
  }
#endif
  fs::path dir_;
};

TEST_F(ImageFileTest, ReadsTheWholeFileByteForByte) {
  auto image = LoadImageFile(Write("a.bin", 65536));
  ASSERT_EQ(image.size(), 65536u);
  for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(image[i], static_cast<uint8_t>(i * 7));
  EXPECT_TRUE(LoadImageFile(Write("empty.bin", 0)).empty());
  EXPECT_EQ(LoadImageFile(Write("one.bin", 1)).size(), 1u);
}

TEST_F(ImageFileTest, RefusesAFileTooLargeToAddressNamingItAndItsSize) {
  std::string path = Write("big.bin", 65537);
  EXPECT_EQ(ErrorOf(path), "File \"" + path +
                               "\" is too large: 65537 bytes, the device takes at most 65536 "
                               "bytes");
}

TEST_F(ImageFileTest, UnusablePathsNameTheFileAndTheCause) {
  std::string missing = (dir_ / "missing.bin").string();
  EXPECT_EQ(ErrorOf(missing), "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(ErrorOf(dir_.string()), "Cannot open file \"" + dir_.string() + "\". Is a directory");
#ifndef _WIN32
  std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf(fifo), "Cannot open file \"" + fifo + "\". Not a regular file");
#endif
}

// Unix permissions, users and device files: the Windows build has none of them.
#ifndef _WIN32
TEST_F(ImageFileTest, AnUnreadableFileIsRefusedWithTheCause) {
  const std::string path = Write("locked.bin", 10);
  fs::permissions(path, fs::perms::none);
  EXPECT_EQ(::geteuid() == 0 ? ErrorAsNobody(path) : ErrorOf(path),
            "Cannot open file \"" + path + "\". Permission denied");
}

TEST_F(ImageFileTest, DevicesAreRefusedWithoutReadingThem) {
  // Read whole, /dev/zero would never end.
  EXPECT_EQ(ErrorOf("/dev/zero"), "Cannot open file \"/dev/zero\". Not a regular file");
  const std::string link = (dir_ / "zero.bin").string();
  fs::create_symlink("/dev/zero", link);
  EXPECT_EQ(ErrorOf(link), "Cannot open file \"" + link + "\". Not a regular file");
}
#endif

// Names are UTF-8 text; on Windows they must not reach the file system byte by byte.
TEST_F(ImageFileTest, ACyrillicNameOpensAndIsShownAsWritten) {
  const fs::path folder = dir_ / PathFromUtf8("Прошивки");
  fs::create_directories(folder);
  std::ofstream(folder / PathFromUtf8("образ.bin"), std::ios::binary) << "abc";
  const std::string name = Utf8FromPath(folder) + "/образ.bin";
  EXPECT_EQ(LoadImageFile(name), (std::vector<uint8_t>{'a', 'b', 'c'}));

  const std::string missing = Utf8FromPath(folder / PathFromUtf8("нет.bin"));
  EXPECT_EQ(ErrorOf(missing), "Cannot open file \"" + missing + "\". No such file or directory");
}

TEST_F(ImageFileTest, RelativeNamesAreShownInFull) {
  fs::path old = fs::current_path();
  fs::current_path(dir_);
  std::string error = ErrorOf("nothing-here.bin");
  fs::current_path(old);
  EXPECT_EQ(error, "Cannot open file \"" + (dir_ / "nothing-here.bin").string() +
                       "\". No such file or directory");
}

}  // namespace
}  // namespace orvix
