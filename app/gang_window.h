// The gang run's window: every board on the bench programmed at once, one row a port whose device
// answered, and the count at the end. The engine is the flasher's --all (TGangRun); this window
// only shows what it reports. It stays open at the end so the technician can read every row, and
// "Again" programs the next set of boards with the same settings.
#pragma once

#include <QDialog>
#include <QTimer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/user_dialogs.h"
#include "exchange/gang.h"

class QProgressBar;
class QTableWidgetItem;
class Ui_TfrmGang;

namespace orvix {

class TfrmGang final : public QDialog, public TRunEvents {
  Q_OBJECT

 public:
  // Builds the window over `owner` and starts the first gang run with what `settings` gives:
  // discovery ends once `expect` devices have answered, at "Done", or when no port is left to
  // ping. "Again" asks `settings` anew. The count goes to `status`. A failure to start raises;
  // the window is then never shown.
  TfrmGang(QWidget& owner, TStatusSink& status, TUserDialogs& dialogs, TSettingsSource settings,
           int expect);
  ~TfrmGang() override;

  void bbStopClick();
  void bbDoneClick();
  void bbAgainClick();

  // The run under way; null once it has ended (its ports are closed then).
  TGangRun* Gang() { return gang_.get(); }
  bool Running() const { return gang_ != nullptr; }
  // Runs of this window's last gang that finished, and the devices that answered.
  int Finished() const { return finished_; }
  int Devices() const { return static_cast<int>(rows_.size()); }

  // What the count says, in the window's language: "3 из 4 устройств запрограммированы".
  static QString CountText(int finished, int of);
  // The colour a failed row is marked with.
  static QColor FailedColour();

  // TRunEvents
  void DeviceFound(const std::string& port) override;
  void Progress(const std::string& port, int done, int total) override;
  void BadReply(const std::string& port, TBadReply what) override;
  void RunEnded(const TRunResult& result) override;

  // The close box or Esc: a run under way is stopped first, and the status bar is left alone.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct TRow {
    int Index = 0;
    QProgressBar* Bar = nullptr;
  };
  void StartGang();
  void ShowFound();
  void Watch();
  void Finish();
  TRow* RowOf(const std::string& port);
  QTableWidgetItem& Cell(const TRow& row, int column);
  void MarkFailed(const TRow& row);
  void EnableButtons();

  std::unique_ptr<Ui_TfrmGang> ui_;
  QWidget& owner_;
  TStatusSink& status_;
  TUserDialogs& dialogs_;
  const TSettingsSource settings_;
  const int expect_;
  std::map<std::string, TRow> rows_;
  int finished_ = 0;
  bool stopped_ = false;
  bool leaving_ = false;  // the user closed the window: nothing more reaches the status bar
  QTimer watch_;
  std::unique_ptr<TGangRun> gang_;  // last: torn down while the rows still exist
};

}  // namespace orvix
