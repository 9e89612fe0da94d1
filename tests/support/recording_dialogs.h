// The windows' dialogs for tests: nothing waits for a user. The test answers the file dialog,
// message and error boxes are recorded, and a run goes to the real exchange window unless the
// test puts its own in place.
#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/user_dialogs.h"

namespace orvix::testing {

class RecordingDialogs : public TScreenDialogs {
 public:
  std::optional<QString> ChooseFile(QWidget* /*parent*/, const TOpenDialog& settings) override {
    file_dialog = settings;
    return file_answer;
  }
  int RunExchange(QWidget& owner, TStatusSink& status, TExchangeSettings settings) override {
    ++runs;
    last_settings = settings;
    if (run_exchange) return run_exchange();
    last_result = TScreenDialogs::RunExchange(owner, status, std::move(settings));
    return *last_result;
  }
  int RunGang(QWidget& owner, TStatusSink& status, TSettingsSource settings, int expect) override {
    ++gang_runs;
    last_expect = expect;
    last_result = TScreenDialogs::RunGang(owner, status, std::move(settings), expect);
    return *last_result;
  }
  void ShowMessage(QWidget& parent, const QString& text) override {
    messages.push_back(text);
    if (on_message) on_message(parent, text);
    if (real_boxes) TScreenDialogs::ShowMessage(parent, text);
  }
  void ShowError(const QString& message) override {
    errors.push_back(message);
    if (real_boxes) TScreenDialogs::ShowError(message);
  }
  QString PortDescription(const QString& port_name) override {
    described.push_back(port_name);
    return port_descriptions.value(port_name);
  }

  std::optional<QString> file_answer;      // what the file dialog answers; nothing: cancelled
  std::optional<TOpenDialog> file_dialog;  // the settings it was last shown with
  std::function<int()> run_exchange;       // instead of the exchange window, when set
  int runs = 0;
  std::optional<TExchangeSettings> last_settings;  // what the last run was started with
  std::optional<int> last_result;  // of the last real exchange or gang window that was shown
  int gang_runs = 0;
  int last_expect = 0;      // of the last gang run
  bool real_boxes = false;  // also show the boxes, for a test that answers them itself
  QStringList messages;
  std::function<void(QWidget& parent, const QString& text)> on_message;
  QStringList errors;
  QMap<QString, QString> port_descriptions;  // what PortDescription answers; absent: ""
  QStringList described;                     // the ports it was asked about
};

// A widget of a window by its object name; a missing one fails the test that asked for it.
template <typename Widget>
Widget& Child(const QObject& window, const char* name) {
  auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) throw std::logic_error(std::string("no widget named ") + name);
  return *widget;
}

}  // namespace orvix::testing
