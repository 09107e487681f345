#pragma once

#include "platform/load_result.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tonvela {

class SheetDocument;

// An importer of another kind of file (MIDI, MusicXML): reads the file's bytes into the
// sheet's tracks, or refuses them leaving the sheet as it was.
using SheetImportFunction = LoadResult (*)(std::string_view data, SheetDocument& sheet);

// Reads a file of at most `maxBytes` and imports it into a new sheet whose caption is the
// file's name and whose path stays empty, so a save asks where to put the sheet instead of
// overwriting the imported file; the sheet is not marked modified. `sheet` receives the new
// sheet when the import succeeds and is left alone otherwise.
LoadResult importAsNewSheet(const std::string& path, std::size_t maxBytes, SheetImportFunction import,
                            std::unique_ptr<SheetDocument>& sheet);

} // namespace tonvela
