#include "tools/devsim/sim_options.h"

#include <stdexcept>

#include "link/frame.h"
#include "runtime/language.h"

namespace orvix::devsim {

bool FrameSelector::Matches(uint8_t frame_command, int count_of_kind, int count_of_all) const {
  if (command != 0 && command != frame_command) return false;
  const int place = command == 0 ? count_of_all : count_of_kind;
  return from_nth_on ? place >= nth : place == nth;
}

namespace {

std::string SelectorName(const std::string& text) {
  return FormatText(Tr("devsim", "frame selector '%1'"), {text});
}

uint8_t ParseKind(const std::string& kind, const std::string& whole) {
  if (kind == "any") return 0;
  if (kind == "ping") return cmdPing;
  if (kind == "block") return cmdWriteBlock;
  if (kind == "checksum") return cmdChecksum;
  if (kind.empty() || kind.find_first_not_of("0123456789") != std::string::npos) {
    throw EBadOption({"devsim",
                      ORVIX_TEXT("devsim",
                                 "frame selector '%1': unknown kind '%2' (ping, block, "
                                 "checksum, any, or a command number)"),
                      {whole, kind},
                      {}});
  }
  return static_cast<uint8_t>(ParseNumber(kind, SelectorName(whole), 1, 255));
}

}  // namespace

int ParseNumber(const std::string& text, const std::string& what, int low, int high) {
  size_t used = 0;
  long value = 0;
  try {
    value = std::stol(text, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < low || value > high) {
    throw EBadOption({"devsim",
                      ORVIX_TEXT("devsim", "%1: '%2' is not a number from %3 to %4"),
                      {what, text, std::to_string(low), std::to_string(high)},
                      {}});
  }
  return static_cast<int>(value);
}

FrameSelector ParseFrameSelector(const std::string& text) {
  FrameSelector selector;
  const size_t colon = text.find(':');
  selector.command = ParseKind(text.substr(0, colon), text);
  if (colon == std::string::npos) {
    selector.from_nth_on = true;
    return selector;
  }
  std::string place = text.substr(colon + 1);
  if (!place.empty() && place.back() == '+') {
    selector.from_nth_on = true;
    place.pop_back();
  }
  selector.nth = ParseNumber(place, SelectorName(text), 1, 1 << 30);
  return selector;
}

}  // namespace orvix::devsim
