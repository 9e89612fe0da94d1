// Port identity through SetupAPI, as far as Wine's goes. Wine's COM ports are no Plug and Play
// devices, so the test registers Ports-class devices of its own for two of the mapped ports, as
// a USB driver would, and removes them at the end.
#include <windows.h>
// After windows.h: these need its types.
#include <initguid.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "serial/port_identity.h"
#include "serial/setup_check.h"

// In setupapi since Windows Vista; MinGW's header leaves it out, its import library has it.
extern "C" WINSETUPAPI BOOL WINAPI SetupDiSetDevicePropertyW(HDEVINFO, PSP_DEVINFO_DATA,
                                                           const DEVPROPKEY*, DEVPROPTYPE,
                                                           const BYTE*, DWORD, DWORD);

namespace orvix {
namespace {

std::vector<std::string> MappedPorts() {
  std::vector<std::string> names;
  if (const char* mapped = std::getenv("ORVIX_WINE_PORTS")) {
    std::istringstream in(mapped);
    for (std::string n; in >> n;) names.push_back(n);
  }
  return names;
}

const TPortIdentity* Find(const std::vector<TPortIdentity>& ports, const std::string& name) {
  for (const auto& p : ports)
    if (p.Name == name) return &p;
  return nullptr;
}

// A Ports-class device as a USB-serial driver leaves it: instance id, registry properties and
// the PortName (and FTDI's LatencyTimer) in its device parameters.
class FakeUsbPort {
 public:
  FakeUsbPort(const std::string& instance_id, const std::string& port_name) {
    set_ = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    EXPECT_NE(set_, INVALID_HANDLE_VALUE);
    device_.cbSize = sizeof device_;
    created_ = SetupDiCreateDeviceInfoA(set_, instance_id.c_str(), &GUID_DEVCLASS_PORTS, nullptr,
                                        nullptr, 0, &device_) &&
               SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr);
    EXPECT_TRUE(created_) << instance_id << ": error " << GetLastError();
    HKEY key = SetupDiCreateDevRegKeyA(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                       nullptr);
    EXPECT_NE(key, INVALID_HANDLE_VALUE);
    if (key != INVALID_HANDLE_VALUE) {
      RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port_name.c_str()),
                     static_cast<DWORD>(port_name.size() + 1));
      key_ = key;
    }
  }
  ~FakeUsbPort() {
    if (key_) RegCloseKey(key_);
    if (created_) SetupDiRemoveDevice(set_, &device_);
    SetupDiDestroyDeviceInfoList(set_);
  }
  FakeUsbPort(const FakeUsbPort&) = delete;
  FakeUsbPort& operator=(const FakeUsbPort&) = delete;

  void Property(DWORD property, const std::string& text) {
    EXPECT_TRUE(SetupDiSetDeviceRegistryPropertyA(set_, &device_, property,
                                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                                  static_cast<DWORD>(text.size() + 1)))
        << "property " << property << ": error " << GetLastError();
  }
  bool BusReportedDescription(const std::wstring& text) {
    return SetupDiSetDevicePropertyW(set_, &device_, &DEVPKEY_Device_BusReportedDeviceDesc,
                                     DEVPROP_TYPE_STRING,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), 0);
  }
  void Parameter(const char* name, DWORD value) {
    ASSERT_TRUE(key_);
    RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_{};
  HKEY key_ = nullptr;
  bool created_ = false;
};

TEST(PortIdentityWine, PortsSetupApiDoesNotKnowKeepNameAndPath) {
  const auto mapped = MappedPorts();
  if (mapped.empty()) GTEST_SKIP() << "ORVIX_WINE_PORTS is not set: run through scripts/wine-tests.sh";
  const auto ports = ListPortIdentities();
  for (const auto& name : mapped) {
    const TPortIdentity* p = Find(ports, name);
    ASSERT_NE(p, nullptr) << name;
    EXPECT_EQ(p->Path, "\\\\.\\" + name);
    EXPECT_EQ(p->Vid, std::nullopt) << name;
    EXPECT_EQ(p->FriendlyName, std::nullopt) << name;
    EXPECT_EQ(p->ById, std::nullopt) << name;
  }
}

TEST(PortIdentityWine, UsbFieldsComeFromTheDevicesSetupApiKnows) {
  const auto mapped = MappedPorts();
  if (mapped.size() < 2) GTEST_SKIP() << "needs two ports in ORVIX_WINE_PORTS";
  FakeUsbPort arduino("USB\\VID_2341&PID_0043\\85036313530351E0E1A1", mapped[0]);
  arduino.Property(SPDRP_FRIENDLYNAME, "Arduino Uno (" + mapped[0] + ")");
  arduino.Property(SPDRP_MFG, "Arduino LLC (www.arduino.cc)");
  arduino.Property(SPDRP_SERVICE, "usbser");
  arduino.Property(SPDRP_LOCATION_INFORMATION, "Port_#0002.Hub_#0001");
  EXPECT_TRUE(arduino.BusReportedDescription(L"Arduino Uno"));
  FakeUsbPort ftdi("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", mapped[1]);
  ftdi.Property(SPDRP_FRIENDLYNAME, "USB Serial Port (" + mapped[1] + ")");
  ftdi.Property(SPDRP_MFG, "FTDI");
  ftdi.Property(SPDRP_SERVICE, "FTSER2K");
  ftdi.Parameter("LatencyTimer", 16);

  const auto ports = ListPortIdentities();
  const TPortIdentity* a = Find(ports, mapped[0]);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->FriendlyName, "Arduino Uno (" + mapped[0] + ")");
  EXPECT_EQ(a->Manufacturer, "Arduino LLC (www.arduino.cc)");
  EXPECT_EQ(a->Driver, "usbser");
  EXPECT_EQ(a->Vid, 0x2341);
  EXPECT_EQ(a->Pid, 0x0043);
  EXPECT_EQ(a->Serial, "85036313530351E0E1A1");
  EXPECT_EQ(a->Location, "Port_#0002.Hub_#0001");
  EXPECT_EQ(a->Product, "Arduino Uno");

  const TPortIdentity* f = Find(ports, mapped[1]);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Vid, 0x0403);
  EXPECT_EQ(f->Pid, 0x6001);
  EXPECT_EQ(f->Serial, "A50285BI");
  EXPECT_EQ(f->Driver, "FTSER2K");
  EXPECT_EQ(f->LatencyTimerMs, 16);
  EXPECT_EQ(PortDescription(*f), "FTDI, A50285BI");

  // The other mapped ports are still listed, without USB fields.
  for (size_t i = 2; i < mapped.size(); ++i) {
    const TPortIdentity* p = Find(ports, mapped[i]);
    ASSERT_NE(p, nullptr) << mapped[i];
    EXPECT_EQ(p->Vid, std::nullopt) << mapped[i];
  }
}

// The check opens each port: one Windows does not have is missing, and an FTDI adapter whose
// driver keeps a latency timer above 1 ms is told how to lower it. (Wine opens a mapped port
// whose link leads nowhere, so the missing one is a name nothing maps.)
TEST(SetupCheckWine, MissingPortsAndTheFtdiLatencySetting) {
  const auto mapped = MappedPorts();
  if (mapped.size() < 3) GTEST_SKIP() << "needs three ports in ORVIX_WINE_PORTS";
  FakeUsbPort ftdi("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", mapped[2]);
  ftdi.Parameter("LatencyTimer", 16);
  std::vector<TPortIdentity> ports;
  for (const auto& p : ListPortIdentities())
    if (p.Name == mapped[2]) ports.push_back(p);
  ASSERT_EQ(ports.size(), 1u);
  TPortIdentity absent;
  absent.Name = "COM199";
  absent.Path = "\\\\.\\COM199";
  ports.push_back(absent);

  const auto findings = CheckSetup(ports);
  std::string seen;
  for (const auto& f : findings) seen += f.Kind + " " + FindingLine(f) + "\n";
  ASSERT_EQ(findings.size(), 2u) << seen;
  EXPECT_EQ(findings[0].Kind, "latency") << seen;
  EXPECT_EQ(findings[0].Port, mapped[2]);
  EXPECT_NE(EnglishText(findings[0].Remedy).find("\"Latency Timer (msec)\" to 1"),
            std::string::npos);
  EXPECT_EQ(findings[1].Kind, "missing") << seen;
  EXPECT_EQ(findings[1].Port, "COM199");
}

}  // namespace
}  // namespace orvix
