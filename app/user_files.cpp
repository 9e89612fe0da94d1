#include "app/user_files.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "app/placement/placement_record.h"
#include "runtime/file_name.h"

namespace fs = std::filesystem;

namespace orvix {
namespace {

constexpr const char* kFrameLogName = "out.txt";

// A set, non-empty variable. The XDG base directories also ask that a relative path be ignored.
std::optional<fs::path> FolderFrom(const EnvironmentLookup& env, const std::string& name,
                                   bool must_be_absolute) {
  const std::optional<std::string> value = env(name);
  if (!value || value->empty()) return std::nullopt;
  fs::path folder(*value);
  if (must_be_absolute && !folder.is_absolute()) return std::nullopt;
  return folder;
}

std::optional<fs::path> UserFolder(FilePlatform platform, const EnvironmentLookup& env,
                                   const char* xdg_name, const char* under_home,
                                   const char* windows_name) {
  if (platform == FilePlatform::kWindows) {
    const std::optional<fs::path> base = FolderFrom(env, windows_name, false);
    if (!base) return std::nullopt;
    return *base / "Orvix";
  }
  if (std::optional<fs::path> base = FolderFrom(env, xdg_name, true)) return *base / "orvix";
  const std::optional<fs::path> home = FolderFrom(env, "HOME", true);
  if (!home) return std::nullopt;
  return *home / under_home / "orvix";
}

std::string RandomSuffix() {
  std::random_device rd;
  return std::to_string(rd()) + std::to_string(rd());
}

}  // namespace

std::optional<fs::path> UserConfigFolder(FilePlatform platform, const EnvironmentLookup& env) {
  return UserFolder(platform, env, "XDG_CONFIG_HOME", ".config", "APPDATA");
}

std::optional<fs::path> UserStateFolder(FilePlatform platform, const EnvironmentLookup& env) {
  return UserFolder(platform, env, "XDG_STATE_HOME", ".local/state", "LOCALAPPDATA");
}

UserFiles ChooseUserFiles(const fs::path& executable, FilePlatform platform,
                          const EnvironmentLookup& env,
                          const std::function<bool(const fs::path&)>& can_write_beside,
                          const std::function<bool(const fs::path&)>& exists) {
  const fs::path beside_ini = PathFromUtf8(PlacementIniFileName(Utf8FromPath(executable)));
  const fs::path beside_log = executable.parent_path() / kFrameLogName;
  UserFiles files{beside_ini, beside_log, std::nullopt};

  // With no folder of the user's to go to, the files stay beside the executable and the write
  // reports the failure, naming the file.
  if (!can_write_beside(beside_ini)) {
    if (const std::optional<fs::path> config = UserConfigFolder(platform, env)) {
      files.IniFile = *config / beside_ini.filename();
      if (exists(beside_ini)) files.IniSeed = beside_ini;
    }
  }
  if (!can_write_beside(beside_log)) {
    if (const std::optional<fs::path> state = UserStateFolder(platform, env))
      files.FrameLog = *state / kFrameLogName;
  }
  return files;
}

UserFiles LocateUserFiles(const fs::path& executable) {
#ifdef _WIN32
  constexpr FilePlatform platform = FilePlatform::kWindows;
#else
  constexpr FilePlatform platform = FilePlatform::kPosix;
#endif
  const EnvironmentLookup env = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  };
  const auto exists = [](const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec);
  };
  return ChooseUserFiles(executable, platform, env, CanWriteAt, exists);
}

bool CanWriteAt(const fs::path& file) {
  std::error_code ec;
  if (fs::exists(file, ec)) {
    // A file left writable in a folder that is not can still be rewritten where it lies.
    const std::ofstream existing(file, std::ios::binary | std::ios::app);
    return static_cast<bool>(existing);
  }
  // Permission bits do not tell it all (a read-only mount, Windows folder rights, root): try.
  fs::path probe = file;
  probe += ".~" + RandomSuffix();
  bool made = false;
  {
    const std::ofstream out(probe, std::ios::binary | std::ios::out);
    made = static_cast<bool>(out);
  }
  if (made) fs::remove(probe, ec);
  return made;
}

void MakeFolderFor(const fs::path& file) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
}

void PrepareIniFile(const UserFiles& files) {
  MakeFolderFor(files.IniFile);
  if (!files.IniSeed) return;
  std::error_code ec;
  if (!fs::copy_file(*files.IniSeed, files.IniFile, fs::copy_options::skip_existing, ec)) return;
  // The copy keeps a read-only file's mode; the user's own file must take the next save.
  fs::permissions(files.IniFile, fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add, ec);
}

}  // namespace orvix
