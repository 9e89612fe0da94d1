// Runs the setup check over the ports named on the command line and prints "KIND<TAB>LINE" for
// each finding. The tests start it as another user; --listed-group GID adds a group the account
// is listed in without the session having it, as right after `usermod -aG`.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "serial/setup_check.h"

int main(int argc, char** argv) {
  using namespace orvix;
  TCheckEnvironment env;
  std::vector<TPortIdentity> ports;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--listed-group" && i + 1 < argc) {
      TAccount account = CurrentAccount();
      account.ListedGroups.push_back(static_cast<uint32_t>(std::atoi(argv[++i])));
      env.Account = account;
      continue;
    }
    TPortIdentity port;
    port.Name = arg.substr(0, arg.find('='));
    port.Path = arg.substr(arg.find('=') + 1);
    ports.push_back(port);
  }
  for (const auto& f : CheckSetup(ports, env))
    std::printf("%s\t%s\n", f.Kind.c_str(), FindingLine(f).c_str());
  return 0;
}
