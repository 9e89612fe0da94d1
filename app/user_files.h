// Where the window program keeps the files it writes: the placement ini file and the frame log.
// Beside the executable, as always, while that folder (or the file already there) can be
// written; otherwise in the user's own folders, so that an installed program in /usr/bin or
// "Program Files" still remembers its place and still logs.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace orvix {

enum class FilePlatform { kPosix, kWindows };

// A variable of the environment, or nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

struct UserFiles {
  std::filesystem::path IniFile;   // "<executable name>.ini"
  std::filesystem::path FrameLog;  // "out.txt"
  // When the ini file is the user's own but a file lies beside the executable too: the file to
  // start from, so that what was put there is read before anything is written.
  std::optional<std::filesystem::path> IniSeed;
};

// The user's folders for the program: $XDG_CONFIG_HOME/orvix and $XDG_STATE_HOME/orvix (each
// defaulting under $HOME as the XDG base directories do) on POSIX, %APPDATA%\Orvix and
// %LOCALAPPDATA%\Orvix on Windows. Nothing when the environment names no such place.
std::optional<std::filesystem::path> UserConfigFolder(FilePlatform platform,
                                                      const EnvironmentLookup& env);
std::optional<std::filesystem::path> UserStateFolder(FilePlatform platform,
                                                     const EnvironmentLookup& env);

// The choice itself, with the file system's answers given: `can_write_beside` tells for a
// file beside the executable whether it can be written there; `exists` whether a file is there.
UserFiles ChooseUserFiles(const std::filesystem::path& executable, FilePlatform platform,
                          const EnvironmentLookup& env,
                          const std::function<bool(const std::filesystem::path&)>& can_write_beside,
                          const std::function<bool(const std::filesystem::path&)>& exists);

// The same for this process, on this machine's file system and environment.
UserFiles LocateUserFiles(const std::filesystem::path& executable);

// Whether `file` can be written where it lies: it exists and opens for writing, or its folder
// takes a new file.
bool CanWriteAt(const std::filesystem::path& file);

// Makes the folder that holds `file`. A failure is left for the write that follows to report,
// naming the file.
void MakeFolderFor(const std::filesystem::path& file);

// Makes the ini file's folder and, on the first start with a file beside the executable, copies
// that file there.
void PrepareIniFile(const UserFiles& files);

}  // namespace orvix
