#include "app/port_chooser.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <algorithm>

#include "app/placement/ini_file.h"

namespace orvix {
namespace {

// What tells this port from the others: where it leads and what the adapter says of itself.
QString PortItemText(const TPortIdentity& port) {
  QStringList parts;
  // Windows' "\\.\COM3" only repeats the name; a Linux device path tells which adapter it is.
  if (!port.Path.empty() && port.Path != port.Name && port.Path != R"(\\.\)" + port.Name)
    parts << QString::fromStdString(port.Path);
  if (const std::string description = PortDescription(port); !description.empty())
    parts << QString::fromStdString(description);
  const QString name = QString::fromStdString(port.Name);
  return parts.isEmpty() ? name : name + QStringLiteral(" — ") + parts.join(QStringLiteral(", "));
}

// Set on the items of ports the machine has now.
constexpr int kPresentRole = Qt::UserRole + 1;

}  // namespace

TPortChooser::TPortChooser(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("cbPort"));
  // The items are listed when the list opens: at start the program opens no port list at all,
  // so a slow or broken device map cannot hold the window up.
  Fill({}, std::nullopt);
}

std::optional<std::string> TPortChooser::ChosenPort() const {
  const QString port = currentData().toString();
  if (port.isEmpty()) return std::nullopt;
  return port.toStdString();
}

void TPortChooser::Choose(const std::optional<std::string>& port) {
  // Only the ports the machine has are kept; an absent one is put back below if it is chosen.
  for (int i = count() - 1; i >= 1; --i)
    if (!itemData(i, kPresentRole).toBool()) removeItem(i);
  if (!port) {
    setCurrentIndex(0);
    return;
  }
  const QString name = QString::fromStdString(*port);
  if (const int found = findData(name); found > 0) {
    setCurrentIndex(found);
    return;
  }
  addItem(QCoreApplication::translate("TPortChooser", "%1 (absent)").arg(name), name);
  setCurrentIndex(count() - 1);
}

void TPortChooser::Refresh() {
  std::vector<TPortIdentity> ports;
  try {
    ports = ListPorts();
  } catch (const std::exception&) {
    // A broken device map is told when a run lists the ports; the chooser keeps what it has.
    return;
  }
  Fill(ports, ChosenPort());
}

void TPortChooser::Fill(const std::vector<TPortIdentity>& ports,
                        const std::optional<std::string>& chosen) {
  const QSignalBlocker quiet(this);
  clear();
  addItem(QCoreApplication::translate("TPortChooser", "All ports"), QString());
  for (const TPortIdentity& port : ports) {
    addItem(PortItemText(port), QString::fromStdString(port.Name));
    setItemData(count() - 1, true, kPresentRole);  // present on the machine
  }
  Choose(chosen);
  // The list may be wider than the field: the descriptions are what tells the ports apart.
  int widest = width();
  for (int i = 0; i < count(); ++i)
    widest =
        std::max(widest, fontMetrics().horizontalAdvance(itemText(i)) + 2 * iconSize().width());
  view()->setMinimumWidth(widest);
}

void TPortChooser::ReadChoice(const TIniFile& ini) {
  const std::string port = ini.ReadString(kIniSection, kIniKey, "");
  const QSignalBlocker quiet(this);
  Choose(port.empty() ? std::nullopt : std::optional<std::string>(port));
}

void TPortChooser::WriteChoice(TIniFile& ini) const {
  ini.WriteString(kIniSection, kIniKey, ChosenPort().value_or(""));
}

void TPortChooser::showPopup() {
  Refresh();
  QComboBox::showPopup();
}

}  // namespace orvix
