// Port identity on Windows: the Ports class of SetupAPI knows each port's device, its friendly
// name and its USB parent; the registry's serial device map stays the list of ports, so a port
// SetupAPI does not know (or a SetupAPI that fails) still lists with its name and path.
#include <windows.h>
// After windows.h: these need its types.
#include <initguid.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>

#include "serial/port_identity.h"
#include "serial/port_list.h"

namespace orvix {
namespace {

class TDeviceSet {
 public:
  TDeviceSet() : set_(SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT)) {}
  ~TDeviceSet() {
    if (Valid()) SetupDiDestroyDeviceInfoList(set_);
  }
  TDeviceSet(const TDeviceSet&) = delete;
  TDeviceSet& operator=(const TDeviceSet&) = delete;
  bool Valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO Get() const { return set_; }

 private:
  HDEVINFO set_;
};

std::optional<std::string> NonEmpty(std::string text) {
  while (!text.empty() && text.back() == '\0') text.pop_back();
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> RegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  char text[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                         reinterpret_cast<BYTE*>(text), sizeof text - 1, nullptr))
    return std::nullopt;
  return NonEmpty(text);
}

std::optional<std::string> Narrow(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::nullopt;
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return NonEmpty(out);
}

// The product string the USB device itself reports (Windows 7 and later).
std::optional<std::string> BusReportedDescription(HDEVINFO set, SP_DEVINFO_DATA& device) {
  DEVPROPTYPE type = 0;
  wchar_t text[256] = {};
  if (!SetupDiGetDevicePropertyW(set, &device, &DEVPKEY_Device_BusReportedDeviceDesc, &type,
                                 reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t),
                                 nullptr, 0) ||
      type != DEVPROP_TYPE_STRING)
    return std::nullopt;
  return Narrow(text);
}

std::optional<std::string> InstanceId(DEVINST node) {
  char id[MAX_DEVICE_ID_LEN + 1] = {};
  if (CM_Get_Device_IDA(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return std::nullopt;
  return NonEmpty(id);
}

std::optional<std::string> NodeLocation(DEVINST node) {
  char text[256] = {};
  ULONG size = sizeof text - 1;
  if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_LOCATION_INFORMATION, nullptr, text, &size,
                                        0) != CR_SUCCESS)
    return std::nullopt;
  return NonEmpty(text);
}

void ReadDeviceParameters(HDEVINFO set, SP_DEVINFO_DATA& device, std::string& port_name,
                          TPortIdentity& port) {
  HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return;
  char name[64] = {};
  DWORD size = sizeof name - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ)
    port_name = name;
  // FTDI's driver keeps its latency timer here.
  DWORD latency = 0;
  size = sizeof latency;
  if (RegQueryValueExA(key, "LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&latency),
                       &size) == ERROR_SUCCESS &&
      type == REG_DWORD)
    port.LatencyTimerMs = static_cast<int>(latency);
  RegCloseKey(key);
}

// USB fields from the port's own instance id, completed from its parent's: the serial number
// of a composite device's interface or an FTDI bus port is in the USB device above it.
void ReadUsbFields(HDEVINFO set, SP_DEVINFO_DATA& device, TPortIdentity& port) {
  const auto own = InstanceId(device.DevInst);
  if (!own) return;
  TUsbInstanceId id = ParseInstanceId(*own);
  DEVINST parent = 0;
  std::optional<std::string> parent_id;
  if (CM_Get_Parent(&parent, device.DevInst, 0) == CR_SUCCESS) parent_id = InstanceId(parent);
  if (parent_id) {
    const TUsbInstanceId above = ParseInstanceId(*parent_id);
    if (above.Vid && above.Pid && (!id.Vid || (above.Vid == id.Vid && above.Pid == id.Pid))) {
      id.Vid = above.Vid;
      id.Pid = above.Pid;
      if (above.Serial) id.Serial = above.Serial;
    }
  }
  if (!id.Vid) return;
  port.Vid = id.Vid;
  port.Pid = id.Pid;
  port.Serial = id.Serial;
  port.Product = BusReportedDescription(set, device);
  port.Location = RegistryProperty(set, device, SPDRP_LOCATION_INFORMATION);
  if (!port.Location && parent_id) port.Location = NodeLocation(parent);
}

struct TKnownPort {
  std::string PortName;
  TPortIdentity Identity;
};

std::vector<TKnownPort> SetupApiPorts() {
  std::vector<TKnownPort> ports;
  TDeviceSet set;
  if (!set.Valid()) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set.Get(), i, &device); ++i) {
    TKnownPort known;
    ReadDeviceParameters(set.Get(), device, known.PortName, known.Identity);
    if (known.PortName.empty()) continue;
    TPortIdentity& port = known.Identity;
    port.FriendlyName = RegistryProperty(set.Get(), device, SPDRP_FRIENDLYNAME);
    port.Manufacturer = RegistryProperty(set.Get(), device, SPDRP_MFG);
    port.Driver = RegistryProperty(set.Get(), device, SPDRP_SERVICE);
    ReadUsbFields(set.Get(), device, port);
    ports.push_back(std::move(known));
  }
  return ports;
}

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::vector<TPortIdentity> ListPortIdentities() {
  std::vector<std::string> names;
  ListSerialPorts(names);
  const auto known = SetupApiPorts();
  std::vector<TPortIdentity> ports;
  for (const auto& name : names) {
    auto match = std::find_if(known.begin(), known.end(),
                              [&](const TKnownPort& k) { return SameName(k.PortName, name); });
    TPortIdentity port = match != known.end() ? match->Identity : TPortIdentity{};
    port.Name = name;
    port.Path = PortDevicePath(name);
    ports.push_back(std::move(port));
  }
  return ports;
}

}  // namespace orvix
