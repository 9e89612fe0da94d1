#include "serial/win32/registry_ports.h"

#include <cstring>

#include "serial/port_list.h"
#include "serial/serial_error.h"

namespace orvix {
namespace {

constexpr DWORD kNameChars = 256;
constexpr DWORD kDataBytes = 256;

class TRegKey {
 public:
  explicit TRegKey(HKEY key) : key_(key) {}
  ~TRegKey() { RegCloseKey(key_); }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  HKEY Get() const { return key_; }

 private:
  HKEY key_;
};

// The reported length counts the terminating zero. Data stored without one (a writer that gave
// the bare text length) keeps its last character rather than naming another port: COM12 must
// not turn into COM1.
std::string TextOf(const BYTE* data, DWORD length) {
  const char* text = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(text, 0, length);
  return zero ? std::string(text, static_cast<const char*>(zero)) : std::string(text, length);
}

}  // namespace

std::vector<std::string> RegistryPortNames(HKEY root, const char* subkey) {
  HKEY opened = nullptr;
  LONG result = RegOpenKeyExA(root, subkey, 0, KEY_READ, &opened);
  if (result != ERROR_SUCCESS) throw ESerialPort(ecPortList, static_cast<int>(result));
  TRegKey key(opened);

  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[kNameChars];
    BYTE data[kDataBytes];
    DWORD name_length = kNameChars;
    DWORD data_length = kDataBytes;
    result =
        RegEnumValueA(key.Get(), index, name, &name_length, nullptr, nullptr, data, &data_length);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) throw ESerialPort(ecPortList, static_cast<int>(result));
    names.push_back(TextOf(data, data_length));
  }
  return names;
}

std::vector<std::string> PlatformPortNames() {
  return RegistryPortNames(HKEY_LOCAL_MACHINE, kSerialCommKey);
}

void RaiseOpenPortLimit() {}

std::string PortDevicePath(const std::string& port) {
  return "\\\\.\\" + port;
}

}  // namespace orvix
