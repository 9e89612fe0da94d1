// The port chooser below the main window's fields: every port, as the program always pinged, or
// one port the user names, so that a second board or another answering device is never taken
// instead. The choice lives in an ini section of its own, beside the window's placement.
#pragma once

#include <QComboBox>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/port_identity.h"

namespace orvix {

class TIniFile;

class TPortChooser : public QComboBox {
  Q_OBJECT

 public:
  static constexpr char kIniSection[] = "Port";
  static constexpr char kIniKey[] = "Name";  // empty: every port

  explicit TPortChooser(QWidget* parent = nullptr);

  // The port a run pings; nothing: every port of the machine.
  std::optional<std::string> ChosenPort() const;
  // A port the machine does not have now is kept, and shown as absent.
  void Choose(const std::optional<std::string>& port);

  // The machine's ports again, the choice kept. The list is read each time it opens, so a board
  // plugged in later shows up.
  void Refresh();

  void ReadChoice(const TIniFile& ini);
  void WriteChoice(TIniFile& ini) const;

  // Where the ports come from; tests put a list of their own here.
  std::function<std::vector<TPortIdentity>()> ListPorts = &ListPortIdentities;

  void showPopup() override;

 private:
  void Fill(const std::vector<TPortIdentity>& ports, const std::optional<std::string>& chosen);
};

}  // namespace orvix
