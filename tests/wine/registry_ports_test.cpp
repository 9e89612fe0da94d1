// The registry walk behind ListSerialPorts, over a scratch key of the test's own, and the list
// the machine's serial device map gives.
#include "serial/win32/registry_ports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "serial/port_list.h"
#include "serial/serial_error.h"

namespace orvix {
namespace {

using Names = std::vector<std::string>;

// HKCU\Software\Orvix tests\<process id>, removed again at the end.
class ScratchKey : public ::testing::Test {
 protected:
  ScratchKey() : path_("Software\\Orvix tests\\" + std::to_string(GetCurrentProcessId())) {
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  ~ScratchKey() override {
    RegCloseKey(key_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }

  // Stores exactly `size` bytes of text as the value's data.
  void Put(const std::string& name, const std::string& text, size_t size) {
    ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
  }
  // The usual way: the text with its terminating zero.
  void Put(const std::string& name, const std::string& text) { Put(name, text, text.size() + 1); }

  Names Read() { return RegistryPortNames(HKEY_CURRENT_USER, path_.c_str()); }

  // The ESerialPort a read raises (code 0 when it raised nothing).
  ESerialPort ReadError() {
    try {
      Read();
    } catch (const ESerialPort& e) {
      return e;
    }
    return ESerialPort(0);
  }

  std::string path_;
  HKEY key_ = nullptr;
};

TEST_F(ScratchKey, EveryValueGivesItsDataWhateverItsName) {
  EXPECT_EQ(Read(), Names{});
  Put("\\Device\\Serial0", "COM1");
  Put("\\Device\\VCP0", "COM10");
  Put("anything", "LPT1");
  Put("empty", "", 0);
  Names got = Read();
  std::sort(got.begin(), got.end());  // the registry's own order is not ours to promise
  EXPECT_EQ(got, (Names{"", "COM1", "COM10", "LPT1"}));
}

TEST_F(ScratchKey, DataWithoutItsTerminatingZeroKeepsItsLastCharacter) {
  Put("bare", "COM12", 5);
  EXPECT_EQ(Read(), Names{"COM12"});
}

TEST_F(ScratchKey, AValueTooLargeForTheBuffersFailsTheWholeWalk) {
  Put("a", "COM1");
  Put("b", "COM" + std::string(300, '7'));
  Put("c", "COM2");
  auto e = ReadError();
  EXPECT_EQ(e.MessageCode(), 23);
  EXPECT_EQ(e.SystemCode(), ERROR_MORE_DATA);
  EXPECT_STREQ(e.what(), "Registry error (win error code: 234)");

  RegDeleteValueA(key_, "b");
  Put("COM" + std::string(300, 'x'), "COM3");  // a name past 256 characters
  EXPECT_EQ(ReadError().SystemCode(), ERROR_MORE_DATA);
}

TEST_F(ScratchKey, AMissingKeyIsRegistryErrorWithTheRegistrysResult) {
  const std::string missing = path_ + "\\missing";
  try {
    RegistryPortNames(HKEY_CURRENT_USER, missing.c_str());
    FAIL() << "no exception";
  } catch (const ESerialPort& e) {
    EXPECT_EQ(e.MessageCode(), 23);
    EXPECT_EQ(e.SystemCode(), ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(e.what(), "Registry error (win error code: 2)");
  }
}

// The ports scripts/wine-tests.sh mapped to pseudo-terminals, listed in ORVIX_WINE_PORTS.
TEST(MachinePortList, ListsTheMappedPortsInNumberOrder) {
  const char* mapped = std::getenv("ORVIX_WINE_PORTS");
  if (!mapped) GTEST_SKIP() << "ORVIX_WINE_PORTS is not set: run through scripts/wine-tests.sh";
  Names ports{"old entry"};
  ListSerialPorts(ports);
  std::istringstream names(mapped);
  Names expected;
  for (std::string name; names >> name;) expected.push_back(name);
  ASSERT_FALSE(expected.empty());
  // Wine lists its own COM1 beside them; every mapped one must be there, in order.
  Names ours;
  for (const auto& name : ports)
    if (std::find(expected.begin(), expected.end(), name) != expected.end()) ours.push_back(name);
  EXPECT_EQ(ours, expected);
  for (size_t i = 1; i < ports.size(); ++i)
    EXPECT_LT(ComparePortNumbers(ports, static_cast<int>(i - 1), static_cast<int>(i)), 0)
        << ports[i - 1] << " before " << ports[i];
}

}  // namespace
}  // namespace orvix
