#include "tests/support/mock_tree.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvix::testing {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::pair<std::string, std::string> KeyValue(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) throw std::runtime_error("no '=' in " + text);
  return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace

std::string DeviceDescriptions() {
  return ORVIX_SOURCE_DIR "/tests/serial/devices";
}

MockTree::MockTree() {
  char templ[] = "/tmp/orvix-tree-XXXXXX";
  if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
  root_ = templ;
  fs::create_directories(fs::path(root_) / "sys" / "class" / "tty");
  fs::create_directories(fs::path(root_) / "dev");
}

MockTree::~MockTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

TSysRoots MockTree::Roots() const {
  return {root_ + "/sys", root_ + "/dev"};
}

void MockTree::Write(const std::string& relative, const std::string& text) {
  const fs::path p = fs::path(root_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

void MockTree::Load(const std::string& description,
                    const std::map<std::string, std::string>& nodes) {
  std::ifstream in(DeviceDescriptions() + "/" + description);
  if (!in) throw std::runtime_error("cannot read " + description);
  const fs::path sys = fs::path(root_) / "sys";
  const fs::path dev = fs::path(root_) / "dev";
  fs::path device;
  std::string uevent;
  auto finish = [&] {
    if (!device.empty()) std::ofstream(device / "uevent") << uevent;
    uevent.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 3 || line[1] != ':') continue;
    const char kind = line[0];
    const std::string rest = line.substr(3);
    if (kind == 'P') {
      finish();
      device = sys / rest.substr(1);
      fs::create_directories(device);
    } else if (kind == 'A') {
      const auto [name, value] = KeyValue(rest);
      std::ofstream(device / name) << value << "\n";
    } else if (kind == 'L') {
      const auto [name, target] = KeyValue(rest);
      fs::create_symlink(target, device / name);
    } else if (kind == 'N') {
      const auto node = nodes.find(rest);
      if (node != nodes.end())
        fs::create_symlink(node->second, dev / rest);
      else
        std::ofstream(dev / rest);
    } else if (kind == 'E') {
      uevent += rest + "\n";
      const auto [name, value] = KeyValue(rest);
      if (name == "SUBSYSTEM") {
        const fs::path cls = sys / "class" / value;
        fs::create_directories(cls);
        fs::create_symlink(fs::relative(device, cls), cls / device.filename());
      } else if (name == "DEVLINKS") {
        for (const auto& link : Words(value)) {
          const fs::path where = dev / fs::path(link).lexically_relative("/dev");
          fs::create_directories(where.parent_path());
          fs::create_symlink(fs::relative(dev / device.filename(), where.parent_path()), where);
        }
      }
    }
  }
  finish();
}

}  // namespace orvix::testing
