#include "runtime/language.h"

namespace orvix {

std::optional<std::string> SystemUiLanguage() { return std::nullopt; }

}  // namespace orvix
