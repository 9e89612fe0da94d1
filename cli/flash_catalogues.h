// The flasher's catalogues, translations/orvix-flash_LANG.ts compiled in at build time.
#pragma once

#include <vector>

#include "runtime/language.h"

namespace orvix {

const std::vector<TCatalogue>& FlashCatalogues();

}  // namespace orvix
