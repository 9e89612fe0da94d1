// The window placement record and the texts it is stored as. The numbering and layout are the
// Windows ones, so the Windows build and this one read each other's files.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvix {

// Show commands, in the window system's numbering.
enum TShowCommand : int32_t {
  swHide = 0,
  swShowNormal = 1,
  swShowMinimized = 2,
  swShowMaximized = 3,
  swShowNoActivate = 4,
  swShow = 5,
  swMinimize = 6,
  swShowMinNoActive = 7,
  swShowNA = 8,
  swRestore = 9,
};

// Flags word: use the stored minimised position; restore a minimised window to maximised.
constexpr int32_t wpfSetMinPosition = 1;
constexpr int32_t wpfRestoreToMaximized = 2;

struct TPlacementPoint {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TPlacementPoint&) const = default;
};

struct TPlacementRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool operator==(const TPlacementRect&) const = default;
};

// Positions are in workspace coordinates: relative to the top-left corner of the primary
// screen's work area. The rectangle is the window's outer (frame) rectangle.
struct TWindowPlacement {
  int32_t Flags = 0;
  int32_t ShowCmd = swHide;
  TPlacementPoint MinPosition{-1, -1};
  TPlacementPoint MaxPosition{-1, -1};
  TPlacementRect NormalPosition;
};

// Up to four numbers separated by commas or blanks (a run counts as one, leading ones are
// skipped). A missing or unreadable number is empty.
std::array<std::optional<int32_t>, 4> ParsePositionNumbers(std::string_view text);

// "%d,%d,%d,%d".
std::string FormatPositionNumbers(int32_t a, int32_t b, int32_t c, int32_t d);

// "(%dx%d)": keys carrying it hold the place for one screen size.
std::string ScreenSizeSuffix(int32_t width, int32_t height);

// The placement file of an executable: its folder, then its file name with the extension
// replaced by ".ini".
std::string PlacementIniFileName(const std::string& executable_path);

}  // namespace orvix
