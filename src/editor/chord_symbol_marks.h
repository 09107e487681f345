#pragma once

// How chord symbols stand above a staff: their font, the room a symbol needs before the next
// note (layout gives a root at least that much, as it does for a syllable), and how high above
// the staff's top line they are written.

#include "drawing/canvas.h"

#include <string_view>

namespace tonvela {

class SheetDocument;

// The font chord symbols are drawn in at a zoom (device height).
Font chordSymbolFont(float zoom);

// The room, in sheet units, a symbol needs before the next one at the zoom: its width and a
// gap, so two symbols on neighbouring notes never run into each other.
int chordSymbolRoom(std::string_view text, float zoom);

// How far above a row's top staff line the top of a chord symbol's text lies, sheet units:
// clear of the measure number and of notes on the first ledger lines above the staff.
int chordSymbolRise(const SheetDocument& sheet);

} // namespace tonvela
