// Texts a user reads, kept as their English source and arguments until a front end words them in
// the user's language. The core raises its errors this way, so that no layer below the front
// ends needs a catalogue; what() stays the English text for logs and for code that only prints.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Marks a source text for the catalogues' extraction (lupdate reads it as QT_TRANSLATE_NOOP)
// without translating it where it stands.
#define ORVIX_TEXT(context, source) source

namespace orvix {

struct TText {
  const char* Context = "";
  const char* Source = "";  // English, with %1 .. %9 where the arguments go
  std::vector<std::string> Args;
  // Follows the worded text as it is, in no language of ours: the system's own error text.
  std::string Tail;
};

// The pattern with %1 .. %9 replaced by the arguments, as Qt's arg() does for the window; any
// other percent sign, and a number with no argument, stays as it is.
std::string FormatText(std::string_view pattern, const std::vector<std::string>& args);
// The text in English: its source with its arguments.
std::string EnglishText(const TText& text);

class ETextError : public std::runtime_error {
 public:
  explicit ETextError(TText text);
  const TText& Text() const { return text_; }

 private:
  TText text_;
};

}  // namespace orvix
