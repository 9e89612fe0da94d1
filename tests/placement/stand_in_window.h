// A window standing in for the main window in the placement tests: the same class name, fixed
// size, desktop centring and placement store hook-up as TfmMain.
#pragma once

#include <QCloseEvent>
#include <QShowEvent>
#include <QWidget>
#include <string>

#include "app/placement/form_position.h"
#include "app/placement/placement_store.h"

namespace orvix {

class TfmMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfmMain(const std::string& ini_file_name) : PlacementStore(this) {
    setFixedSize(385, 114);
    SetFormPosition(*this, poDesktopCenter);
    PlacementStore.SetIniFileName(ini_file_name);
  }
  ~TfmMain() override { PlacementStore.FormDestroy(); }

  TPlacementStore PlacementStore;
  bool RefuseClose = false;

 protected:
  void showEvent(QShowEvent* event) override {
    PlaceAtShowing(*this);
    QWidget::showEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (RefuseClose) event->ignore();
  }
};

}  // namespace orvix
