#pragma once

// The guitar diagrams of chord symbols as other programs take them: LilyPond's fret strings,
// and the LilyPond export format that writes them.

#include "theory/chord_symbol.h"

#include <optional>
#include <string>

namespace tonvela {

class ExportFormats;

// The chord library's shape of a symbol (guitarShapeForChordSymbol) as LilyPond writes a fret
// diagram: from the lowest string to the highest, "x" muted, "o" open, else the fret
// ("x;3;2;o;1;o;" for C). Nothing when the library has no shape for it.
std::optional<std::string> lilypondFretDiagram(const ChordSymbol& symbol);

// Registers LilyPond (.ly) with the chord library's diagrams, in place of the score's own row
// (which cannot reach the library): a sheet that shows chord diagrams gets its shapes.
void addHarmonyExportFormats(ExportFormats& formats);

} // namespace tonvela
