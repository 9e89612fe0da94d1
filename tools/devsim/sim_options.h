// What the simulated device does on the line: the number it answers to and the faults it
// injects, chosen once per run.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace orvix::devsim {

// A bad option or value, in words the program's catalogue translates; what() is the English.
class EBadOption : public std::invalid_argument {
 public:
  explicit EBadOption(TText text)
      : std::invalid_argument(EnglishText(text)), text_(std::move(text)) {}
  const TText& Text() const { return text_; }

 private:
  TText text_;
};

// Picks received frames by command and by their place among the frames of that command.
struct FrameSelector {
  uint8_t command = 0;       // 0: frames of any command
  int nth = 1;               // 1 picks the first frame of that kind
  bool from_nth_on = false;  // every frame from the nth on, not the nth alone

  // count_of_kind and count_of_all include the frame being judged.
  bool Matches(uint8_t frame_command, int count_of_kind, int count_of_all) const;
};

// A fault on the replies to the selected frames; `value` is the fault's parameter.
struct ReplyFault {
  FrameSelector frames;
  int value = 0;
};

struct SimOptions {
  // Unset: answer every device number, replying with the number the host sent. Set: behave as
  // the device with this number on a shared line, which ignores frames for other numbers.
  std::optional<uint8_t> device;
  // A partial frame from the host is dropped when it has not completed within this time.
  int frame_timeout_ms = 500;

  std::vector<FrameSelector> drop;              // no reply at all
  std::vector<FrameSelector> corrupt_checksum;  // the reply's checksum byte is wrong
  std::vector<ReplyFault> other_device;         // reply with device `value`; -1: the host's + 1
  std::vector<ReplyFault> reply_command;        // reply with command `value`
  std::vector<ReplyFault> garbage;              // `value` noise bytes ending in 0xD1, no reply
  std::vector<ReplyFault> delay;                // reply `value` ms late
  // The reply goes out a second time, `value` ms after the first, in a write of its own.
  std::vector<ReplyFault> twice;
  int split_bytes = 0;   // write each reply in pieces of this many bytes; 0: in one piece
  int split_gap_ms = 0;  // pause between the pieces
  bool echo = false;     // every received byte goes straight back, as on a looped-back line
  bool silent = false;   // the device writes nothing; echoed bytes still go back
  // After each block frame the device is busy this long, as a microcontroller writing its flash:
  // bytes that arrive meanwhile are lost, and the block's reply goes out when it is over.
  int busy_after_block_ms = 0;
  // Close the line when the block frame after this many arrives; negative: never.
  int hang_up_after_blocks = -1;
  // The device hears nothing (no reply, nothing stored, nothing counted) until this long after
  // it started, as a board put into the fixture later.
  int answer_after_ms = 0;
  // Line rate in both directions at 10 bits a byte; 0: bytes move as fast as the system allows.
  int baud = 0;
  // Serve a paced line at the lowest real-time priority where the system allows it, as a device
  // with a processor of its own would keep its time on a busy machine. Refused: normal priority.
  bool realtime = false;
};

// A whole decimal number from low to high; throws std::invalid_argument naming `what` and the
// text otherwise.
int ParseNumber(const std::string& text, const std::string& what, int low, int high);

// "block:3" (the third block frame), "checksum:1+" (every checksum frame), "ping", "any:2".
// A kind alone picks every frame of that kind. Kinds: ping, block, checksum, any, or a command
// number 1 to 255. Throws std::invalid_argument naming the text.
FrameSelector ParseFrameSelector(const std::string& text);

}  // namespace orvix::devsim
