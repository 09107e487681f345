#pragma once

// Chord symbols in MusicXML: a <harmony> element (root, kind, bass, the degrees that tell the
// sheet's qualities apart, and a <frame> for a guitar diagram) written before the note it
// belongs to, and read back into a chord symbol. Private to the MusicXML writer and reader.

#include "theory/chord_symbol.h"

#include <optional>
#include <pugixml.hpp>
#include <string_view>

namespace tonvela::musicxml {

// A guitar shape to draw over the symbol: the fingering string of the chord library and its
// start fret.
struct FrameShape {
    std::string_view fingering;
    int startFret = 1;
};

// Appends <harmony> to `measure`. The kind's text attribute
// is the sheet's own suffix, so other programs show the symbol as the sheet writes it.
void writeHarmony(pugi::xml_node measure, const ChordSymbol& symbol, const std::optional<FrameShape>& frame);

// What a <harmony> reads as. `approximate` is set when the file's kind is one the sheet has no
// quality for and the nearest was taken. Nothing for "no chord" (kind none) and for an element
// without a usable root.
std::optional<ChordSymbol> readHarmony(const pugi::xml_node& harmony, bool& approximate);

} // namespace tonvela::musicxml
