#include <windows.h>

#include "runtime/language.h"

namespace orvix {

std::optional<std::string> SystemUiLanguage() {
  switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_RUSSIAN:
      return "ru";
    case LANG_ENGLISH:
      return "en";
    default:
      return "other";
  }
}

}  // namespace orvix
