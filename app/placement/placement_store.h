// TPlacementStore: the window reopens where the user left it. Restores the window's place and
// state from an ini file when it is shown and saves them when it closes.
//
// Hooks: the store watches its window through an event filter, so the window's own showEvent and
// closeEvent keep running. The show event restores before the window's showEvent; the close
// query saves after the window's closeEvent has accepted. Qt has no destroy event that comes
// while a window can still be read, so the window's destructor calls FormDestroy() itself.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "app/placement/placement_record.h"

class QCloseEvent;
class QWidget;

namespace orvix {

class TIniFile;

enum TPlacementOption { fpState, fpPosition, fpActiveControl };
using TPlacementOptions = std::set<TPlacementOption>;

class TPlacementStore : public QObject {
 public:
  // `owner` is the window whose placement is kept. The window holds the store as a member (not
  // as a Qt child), so the store is still there when the window's destructor calls FormDestroy().
  // Options default to position and state for a window owner, to none otherwise.
  explicit TPlacementStore(QWidget* owner);
  ~TPlacementStore() override;

  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  const std::string& IniFileName() const { return ini_file_name_; }
  void SetIniFileName(std::string name) { ini_file_name_ = std::move(name); }
  // Empty: the section is named after the window's class, without its namespace.
  const std::string& IniSection() const { return ini_section_; }
  const TPlacementOptions& Options() const { return options_; }
  // Stored placements older than this are not applied.
  int32_t Version() const { return version_; }

  std::function<void()> OnSavePlacement;
  std::function<void()> OnRestorePlacement;  // after a restore that passed the version check

  // Both raise on failure; the hooks report what they raise through HandleException.
  void RestoreFormPlacement();
  void SaveFormPlacement();

  // The window's destroy event: call it first thing in the window's destructor. Saves, with
  // "Visible" 1, when nothing was saved since the last restore (the window was not closed).
  void FormDestroy();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& Window() const;
  std::string Section() const;
  void FormShow();
  void FormCloseQuery(QCloseEvent* event);
  void RestorePosition(const TIniFile& ini, TWindowPlacement& placement);
  void RestoreState(const TIniFile& ini);
  void AdjustMaximizedPosition();

  QPointer<QWidget> owner_;
  bool active_ = true;
  std::string ini_file_name_;
  std::string ini_section_;
  TPlacementOptions options_;
  int32_t version_ = 0;
  bool restored_ = false;
  bool saved_ = false;
  bool destroying_ = false;
  bool passing_close_ = false;  // while the close event goes on to the window itself
};

}  // namespace orvix
