#pragma once

#include <string_view>

namespace tonvela {

// Whether a locale name ("en_US.UTF-8", "fr_CA", "C") names a territory where letter paper is
// the custom (the United States, Canada, Mexico and the other countries whose printers load
// Letter by default). A name without a territory is taken as A4.
bool localeNameUsesLetterPaper(std::string_view localeName);

// Whether the user's paper locale asks for letter paper: LC_ALL, then LC_PAPER, then LANG, the
// first one set deciding, as the C library picks the paper category.
bool localeUsesLetterPaper();

} // namespace tonvela
