#include "app/placement/placement_store.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWidget>
#include <stdexcept>

#include "app/placement/form_position.h"
#include "app/placement/ini_file.h"
#include "app/placement/window_placement.h"
#include "runtime/message_loop.h"

namespace orvix {
namespace {

// The position keys carry the screen size so that each screen keeps its own place; the plain
// key holds the place last saved at any size.
std::string ReadPositionText(const TIniFile& ini, const std::string& section,
                             const std::string& key, const std::string& suffix) {
  std::string text = ini.ReadString(section, key + suffix, "");
  if (text.empty()) text = ini.ReadString(section, key, "");
  return text;
}

std::string CurrentScreenSuffix() {
  const TScreenSize size = PrimaryScreenSize();
  return ScreenSizeSuffix(size.Width, size.Height);
}

class PassingClose {
 public:
  explicit PassingClose(bool& flag) : flag_(flag) { flag_ = true; }
  ~PassingClose() { flag_ = false; }
  PassingClose(const PassingClose&) = delete;
  PassingClose& operator=(const PassingClose&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TPlacementStore::TPlacementStore(QWidget* owner) : owner_(owner) {
  if (!owner_) return;
  if (owner_->isWindow()) options_ = {fpState, fpPosition};
  owner_->installEventFilter(this);
}

TPlacementStore::~TPlacementStore() {
  if (owner_) owner_->removeEventFilter(this);
}

QWidget& TPlacementStore::Window() const {
  if (!owner_) throw std::logic_error("the window placement store has no window");
  return *owner_;
}

std::string TPlacementStore::Section() const {
  if (!ini_section_.empty()) return ini_section_;
  const std::string name = Window().metaObject()->className();
  const size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

bool TPlacementStore::eventFilter(QObject* watched, QEvent* event) {
  if (watched != owner_) return false;
  // A spontaneous show is the window coming back from minimised, not the window being shown.
  if (event->type() == QEvent::Show && !event->spontaneous()) {
    FormShow();
  } else if (event->type() == QEvent::Close && !passing_close_) {
    FormCloseQuery(static_cast<QCloseEvent*>(event));
    return true;  // the window has had it already
  }
  return false;
}

void TPlacementStore::FormShow() {
  if (active_) RunGuarded([this] { RestoreFormPlacement(); });
}

void TPlacementStore::FormCloseQuery(QCloseEvent* event) {
  {
    PassingClose passing(passing_close_);
    QCoreApplication::sendEvent(owner_, event);
  }
  if (event->isAccepted() && active_ && owner_ && owner_->isWindow() && owner_->windowHandle())
    RunGuarded([this] { SaveFormPlacement(); });
}

void TPlacementStore::FormDestroy() {
  if (!active_ || saved_) return;
  destroying_ = true;
  RunGuarded([this] { SaveFormPlacement(); });
  destroying_ = false;
}

void TPlacementStore::RestoreFormPlacement() {
  QWidget& window = Window();
  saved_ = false;
  bool version_passed = false;
  {
    const TIniFile ini(ini_file_name_);
    const std::string section = Section();
    version_passed = ini.ReadInteger(section, "FormVersion", 0) >= version_;
    if (version_passed) {
      TWindowPlacement placement = GetWindowPlacement(window);
      // Applying the record must not show a window that is not on the screen yet.
      if (!IsWindowVisible(window)) placement.ShowCmd = swHide;
      if (options_.contains(fpPosition)) RestorePosition(ini, placement);
      if (options_.contains(fpState)) RestoreState(ini);
    }
    restored_ = true;
    if (version_passed && OnRestorePlacement) OnRestorePlacement();
  }
  AdjustMaximizedPosition();
}

void TPlacementStore::RestorePosition(const TIniFile& ini, TWindowPlacement& placement) {
  QWidget& window = Window();
  const std::string section = Section();
  const std::string suffix = CurrentScreenSuffix();
  placement.Flags = ini.ReadInteger(section, "Flags", placement.Flags);

  const std::string min_max = ReadPositionText(ini, section, "MinMaxPos", suffix);
  const auto mm = ParsePositionNumbers(min_max);
  placement.MinPosition = {mm[0].value_or(0), mm[1].value_or(0)};
  placement.MaxPosition = {mm[2].value_or(0), mm[3].value_or(0)};

  const std::string normal = ReadPositionText(ini, section, "NormPos", suffix);
  const auto np = ParsePositionNumbers(normal);
  TPlacementRect& r = placement.NormalPosition;
  const int32_t width = r.Right - r.Left;
  const int32_t height = r.Bottom - r.Top;
  r = {np[0].value_or(r.Left), np[1].value_or(r.Top), np[2].value_or(r.Right),
       np[3].value_or(r.Bottom)};

  const bool found = !min_max.empty() || !normal.empty();
  const int32_t pixels_per_inch = ScreenPixelsPerInch();
  // At another pixel density the stored place would put a scaled window somewhere else.
  if (!found || ini.ReadInteger(section, "PixelsPerInch", pixels_per_inch) != pixels_per_inch)
    return;
  const TPlacementRect stored = r;
  if (!HasSizeableFrame(window)) {
    r.Right = r.Left + width;
    r.Bottom = r.Top + height;
  }
  if (r.Right <= r.Left) return;
  const TPosition position = FormPosition(window);
  if (position == poScreenCenter || position == poDesktopCenter)
    SetFormPosition(window, poDesigned);
  SetWindowPlacement(window, placement);
  KeepNormalRect(window, stored);
}

void TPlacementStore::RestoreState(const TIniFile& ini) {
  QWidget& window = Window();
  TWindowState state = FormPosition(window) == poDefault ? wsMaximized : wsNormal;
  switch (ini.ReadInteger(Section(), "ShowCmd", swHide)) {
    case swShowNormal:
    case swShow:
    case swRestore:
      state = wsNormal;
      break;
    case swShowMinimized:
    case swMinimize:
    case swShowMinNoActive:
      state = wsMinimized;
      break;
    case swShowMaximized:
      state = wsMaximized;
      break;
    default:
      break;
  }
  if (state == wsMinimized && IsApplicationMainWindow(window)) {
    // The whole application starts minimised, once its windows are up.
    SetWindowState(window, wsNormal);
    PostMinimizeApplication();
    return;
  }
  SetWindowState(window, state);
  window.update();
}

void TPlacementStore::AdjustMaximizedPosition() {
  QWidget& window = Window();
  TWindowPlacement placement = GetWindowPlacement(window);
  if (!IsWindowVisible(window)) placement.ShowCmd = swHide;
  const TPlacementPoint border = FrameBorderSize(window);
  placement.MaxPosition = {-border.X, -border.Y};
  SetWindowPlacement(window, placement);
  // The border is known only once the window is framed: until then it counts as none.
  AgainWhenFramed(window, [store = QPointer<TPlacementStore>(this)] {
    if (store && store->owner_) store->AdjustMaximizedPosition();
  });
}

void TPlacementStore::SaveFormPlacement() {
  if (!restored_ && active_) return;
  QWidget& window = Window();
  TIniFile ini(ini_file_name_);
  const std::string section = Section();
  ini.WriteInteger(section, "FormVersion", version_);
  if (options_.contains(fpState) || options_.contains(fpPosition)) {
    TWindowPlacement p = GetWindowPlacement(window);
    if (IsApplicationMainWindow(window) && IsApplicationMinimized()) p.ShowCmd = swShowMinimized;
    const std::string suffix = CurrentScreenSuffix();
    ini.WriteInteger(section, "Flags", p.Flags);
    ini.WriteInteger(section, "ShowCmd", p.ShowCmd);
    ini.WriteInteger(section, "PixelsPerInch", ScreenPixelsPerInch());
    const std::string min_max =
        FormatPositionNumbers(p.MinPosition.X, p.MinPosition.Y, p.MaxPosition.X, p.MaxPosition.Y);
    ini.WriteString(section, "MinMaxPos" + suffix, min_max);
    ini.WriteString(section, "MinMaxPos", min_max);
    const TPlacementRect& r = p.NormalPosition;
    const std::string normal = FormatPositionNumbers(r.Left, r.Top, r.Right, r.Bottom);
    ini.WriteString(section, "NormPos" + suffix, normal);
    ini.WriteString(section, "NormPos", normal);
    ini.WriteString(section, "Visible", destroying_ ? "1" : "0");
  }
  if (OnSavePlacement) OnSavePlacement();
  saved_ = true;
}

}  // namespace orvix
